#!/usr/bin/env bash
# Installs what building and testing Quarn_API needs on Debian 12: the native toolchain and GoogleTest,
# the mingw-w64 cross compilers and wine for the Windows ring, CLI11, nlohmann-json and the Paho MQTT C
# client (with the OpenSSL headers its CMake package names) for the tool, mosquitto and openssl for the
# service ring's broker and certificates, clang for the fuzzers and sanitizers. Run as root; does
# nothing for packages already there.
set -euo pipefail

# Usage: install-deps.sh [demo]   (demo: only what building the tool and the virtual reader needs)
packages=(cmake g++ make libcli11-dev nlohmann-json3-dev libpaho-mqtt-dev libssl-dev)
if [ "${1:-}" != "demo" ]; then
  packages+=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev python3
             g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64
             pkgconf llvm lld mosquitto mosquitto-clients openssl)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}"
  echo "install them with: sudo dpkg --add-architecture i386 && sudo apt-get update && sudo apt-get install -y ${missing[*]}"
  exit 1
fi
echo "installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
