#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and builds the consumer program against it the two ways an
# application would: a CMake project with find_package(Quarn_API), and a plain compile with pkg-config.
# Each must run with the installed library, not the build tree's. Also checks the library's SONAME
# links and that no test program is installed.
#   check_install.sh BUILD_DIR C_COMPILER
set -euo pipefail
build=$(cd "$1" && pwd)
cc=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scratch=$build/install-check
prefix=$scratch/prefix

fail() { echo "install check: $*" >&2; exit 1; }
# The consumers must find the library through the installed tree alone.
unset LD_LIBRARY_PATH

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "cmake --install failed"; }
libdir=$prefix/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$libdir/cmake/Quarn_API/Quarn_APIConfigVersion.cmake")
major=${version%%.*}
[ -n "$version" ] || fail "no version in the CMake package"

# ---- What lies in the tree ----
cmp -s "$prefix/include/quarn_api.h" "$here/../../include/quarn_api.h" || fail "the installed header differs"
[ "$(readlink "$libdir/libQuarn_API.so")" = "libQuarn_API.so.$major" ] || fail "libQuarn_API.so does not link to .so.$major"
[ "$(readlink "$libdir/libQuarn_API.so.$major")" = "libQuarn_API.so.$version" ] || fail "libQuarn_API.so.$major does not link to .so.$version"
[ -f "$libdir/libQuarn_API.so.$version" ] || fail "no libQuarn_API.so.$version"
soname=$(readelf -d "$libdir/libQuarn_API.so.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libQuarn_API.so.$major" ] || fail "SONAME is '$soname'"
strays=$(find "$prefix" -type f \( -name '*test*' -o -name '*fuzz*' -o -name '*.a' \) -printf '%P\n')
[ -z "$strays" ] || fail "installed files that belong to the build: $strays"
for program in "$prefix"/bin/*; do
  [ -e "$program" ] || continue
  case $(basename "$program") in
    quarn) env -u LD_LIBRARY_PATH "$program" --help >/dev/null || fail "the installed quarn does not start" ;;
    quarn-sim) ;;
    *) fail "unexpected program installed: $program" ;;
  esac
done

# Runs a consumer and checks it took the library from the installed tree.
run_consumer() {
  local program=$1 libraries
  libraries=$(ldd "$program")
  grep -qF "=> $libdir/libQuarn_API.so.$major " <<<"$libraries" ||
    { echo "$libraries"; fail "$program does not load $libdir/libQuarn_API.so.$major"; }
  "$program" || fail "$program failed (status $?)"
}

# ---- The CMake package ----
cmake -S "$here/cmake_consumer" -B "$scratch/cmake-build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
  -DQUARN_EXPECTED_VERSION="$version" >"$scratch/cmake-consumer.log" 2>&1 &&
  cmake --build "$scratch/cmake-build" >>"$scratch/cmake-consumer.log" 2>&1 ||
  { cat "$scratch/cmake-consumer.log"; fail "the CMake consumer did not build"; }
run_consumer "$scratch/cmake-build/consumer"

# ---- pkg-config, looking at the scratch tree alone ----
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH=
[ "$(pkg-config --modversion quarn_api)" = "$version" ] || fail "pkg-config gives version $(pkg-config --modversion quarn_api)"
# shellcheck disable=SC2046  # the flags are meant to split into words
"$cc" -std=c99 -Wall -Wextra -Werror -pedantic -o "$scratch/pkg-config-consumer" "$here/consumer.c" \
  $(pkg-config --cflags --libs quarn_api) || fail "the pkg-config consumer did not build"
LD_LIBRARY_PATH=$libdir run_consumer "$scratch/pkg-config-consumer"

echo "install check: version $version, CMake and pkg-config consumers built and passed"
