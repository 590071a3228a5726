#!/usr/bin/env bash
# Cross-builds Quarn_API.dll and the C++ API's static library for 32- and 64-bit Windows and lays out
# what a Windows developer takes: x86/ and x64/ each with the DLL, the mingw import library
# libQuarn_API.dll.a, the MSVC linker's Quarn_API.lib and the C++ API for mingw-w64 g++,
# libquarn_cpp.a; include/quarn_api.h and include/quarn/; Quarn_API.def; README-windows.md. Writes the
# folder Quarn_API-<version>-windows and its .zip into OUTPUT_DIR.
#   bash scripts/windows-dist.sh [OUTPUT_DIR]          (default build/dist)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$repo/build/dist}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=${QUARN_JOBS:-2}

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || { echo "windows-dist: missing $tool; run: bash scripts/install-deps.sh" >&2; exit 1; }
done
command -v llvm-dlltool >/dev/null || command -v llvm-dlltool-14 >/dev/null ||
  { echo "windows-dist: missing llvm-dlltool (for Quarn_API.lib); run: bash scripts/install-deps.sh" >&2; exit 1; }

stage=$out/stage
rm -rf "$stage"
for arch in i686 x86_64; do
  build=$repo/build/win-$arch
  # Configured as the Windows ring configures these folders, so both use one build.
  cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$build.configure.log"
  cmake --build "$build" -j "$jobs" --target Quarn_API quarn_cpp
  cmake --install "$build" --prefix "$stage/$arch" --strip >/dev/null
done

version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$stage/i686/lib/cmake/Quarn_API/Quarn_APIConfigVersion.cmake")
name=Quarn_API-$version-windows
package=$out/$name
rm -rf "$package" "$package.zip"
mkdir -p "$package/include" "$package/x86" "$package/x64"
for pair in i686:x86 x86_64:x64; do
  arch=${pair%%:*}
  folder=${pair##*:}
  # Without Quarn_API.lib the package would not serve MSVC, without libquarn_cpp.a not C++; cp fails then.
  cp "$stage/$arch/bin/Quarn_API.dll" "$stage/$arch/lib/libQuarn_API.dll.a" "$stage/$arch/lib/Quarn_API.lib" \
    "$stage/$arch/lib/libquarn_cpp.a" "$package/$folder/"
done
cp -R "$stage/i686/include/quarn_api.h" "$stage/i686/include/quarn" "$package/include/"
cp "$stage/i686/lib/Quarn_API.def" "$package/"
sed "s/@VERSION@/$version/g" "$repo/packaging/windows/README-windows.md" >"$package/README-windows.md"
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
rm -rf "$stage"
echo "windows-dist: $package and $package.zip"
