#!/usr/bin/env bash
# The Windows distribution as a Windows developer meets it: makes it with scripts/windows-dist.sh, then
# for each architecture checks the DLL's export table against the .def and builds the consumer program
# twice from the packaged header, linked only with a packaged import library: by mingw gcc with
# libQuarn_API.dll.a, and by clang as MSVC compiles (no C runtime, no Windows SDK here) and lld-link
# with Quarn_API.lib; the C++ consumer by mingw g++ from the packaged include/quarn/ and libquarn_cpp.a
# alone; and both once more by a CMake project through find_package(Quarn_API) against the cross-built
# tree installed. Each runs under wine with the DLL beside it and reports through its exit status;
# where the host runs no 32-bit programs (tests/win32/wine_host.sh), the x86 ones are built and linked
# only, and a line "...: not run, WHY" says so. The x86 DLL's calling conventions are checked in its
# code on every host.
# 32-bit stdcall is where this matters: the callers refer to _UhfGetPower@12, the DLL exports
# UhfGetPower, and only the import libraries join the two.
#   check_distribution.sh SCRATCH_DIR      (wine set up by the caller: WINEPREFIX and the rest)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=$(mkdir -p "$1" && cd "$1" && pwd)
out=$scratch/dist

say() { echo "windows distribution: $*"; }
# shellcheck source=tests/win32/wine_host.sh
source "$repo/tests/win32/wine_host.sh"
wine_host_decide
first_tool() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 && { echo "$tool"; return; }; done
}
dlltool=$(first_tool llvm-dlltool llvm-dlltool-14)
linker=$(first_tool lld-link lld-link-14)
# Skipped without them, as the ring skips without wine, except when CI must run it.
if [ -z "$dlltool" ] || [ -z "$linker" ] || ! command -v clang >/dev/null 2>&1; then
  if [ -n "${CI:-}" ]; then
    say "FAILED: needs llvm-dlltool, lld-link and clang; apt-get install llvm lld clang"
    exit 1
  fi
  say "skipped: needs llvm-dlltool, lld-link and clang; apt-get install llvm lld clang"
  exit 0
fi

rm -rf "$out"
if ! bash "$repo/scripts/windows-dist.sh" "$out" >"$scratch/dist.log" 2>&1; then
  tail -30 "$scratch/dist.log"
  say "FAILED: scripts/windows-dist.sh"
  exit 1
fi
package=$(echo "$out"/Quarn_API-*-windows)
[ -d "$package" ] && [ -f "$package.zip" ] || { say "FAILED: no package folder and zip in $out"; exit 1; }

checks=0
failures=0
# Runs one named check: a command whose status decides it.
check() {
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@" >"$scratch/check.log" 2>&1; then
    say "ok: $name$(tail -n 1 "$scratch/check.log" | sed 's/^./ (&/; s/.$/&)/')"
  else
    failures=$((failures + 1))
    sed 's/^/  /' "$scratch/check.log"
    say "FAILED: $name"
  fi
}

# The package must hold what README-windows.md promises, the zip the same files as the folder.
listed_files() { (cd "$package/.." && find "$(basename "$package")" -type f | LC_ALL=C sort); }
zipped_files() { cmake -E tar tf "$package.zip" | grep -v '/$' | LC_ALL=C sort; }
layout_complete() {
  local file
  for file in include/quarn_api.h Quarn_API.def README-windows.md \
              {x86,x64}/Quarn_API.dll {x86,x64}/libQuarn_API.dll.a {x86,x64}/Quarn_API.lib {x86,x64}/libquarn_cpp.a; do
    [ -f "$package/$file" ] || { echo "missing $file"; return 1; }
  done
  # Every header of the C++ API, and nothing else there.
  diff <(cd "$repo/include/quarn" && find . -type f | LC_ALL=C sort) \
       <(cd "$package/include/quarn" && find . -type f | LC_ALL=C sort) &&
    diff <(listed_files) <(zipped_files)
}
check "package layout and zip" layout_complete

# Runs a built program under wine where its architecture runs here; elsewhere linking it was the check.
run_program() {
  local folder=$1
  shift
  if wine_runs "$folder"; then
    "$(wine_loader "$folder")" "$@"
  else
    echo "built and linked, not run under wine"
  fi
}

# kernel32's ExitProcess, the one system call of the program built without a C runtime.
kernel32_library() {
  local machine=$1 exitProcess=$2 library=$3
  printf 'LIBRARY kernel32.dll\nEXPORTS\n    %s\n' "$exitProcess" >"$library.def"
  "$dlltool" -m "$machine" -k -d "$library.def" -l "$library"
}

mingw_consumer() {
  local gcc=$1 folder=$2 run=$3
  # No stdcall fix-up: a name must resolve through the import library exactly as the compiler wrote it.
  "$gcc" -std=c99 -Wall -Wextra -Werror -pedantic -O2 -I "$package/include" -o "$run/consumer-mingw.exe" \
    "$repo/tests/install/consumer.c" "$package/$folder/libQuarn_API.dll.a" -Wl,--disable-stdcall-fixup &&
    (cd "$run" && run_program "$folder" ./consumer-mingw.exe)
}

# The C++ API as a mingw-w64 g++ application takes it: the packaged headers and the static library
# alone, the compiler's runtime linked statically as README-windows.md advises.
mingw_cpp_consumer() {
  local gxx=$1 folder=$2 run=$3
  "$gxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror -O2 -I "$package/include" -o "$run/cpp-consumer-mingw.exe" \
    "$repo/tests/install/cpp_consumer.cpp" "$package/$folder/libquarn_cpp.a" -static &&
    (cd "$run" && run_program "$folder" ./cpp-consumer-mingw.exe)
}

msvc_consumer() {
  local target=$1 machine=$2 exitProcess=$3 folder=$4 run=$5
  kernel32_library "$machine" "$exitProcess" "$run/kernel32.lib" &&
    clang --target="$target" -ffreestanding -O1 -Wall -Wextra -Werror -DQUARN_CONSUMER_WITHOUT_CRT \
      -I "$package/include" -c "$repo/tests/install/consumer.c" -o "$run/consumer.obj" &&
    "$linker" /nologo /nodefaultlib /entry:ConsumerEntry /subsystem:console /out:"$run/consumer-msvc.exe" \
      "$run/consumer.obj" "$package/$folder/Quarn_API.lib" "$run/kernel32.lib" &&
    (cd "$run" && run_program "$folder" ./consumer-msvc.exe)
}

# A CMake project of a Windows developer: the cross-built tree installed, find_package(Quarn_API) and its
# imported targets, the C program run with the installed DLL, the C++ one linked with the runtime static.
installed_consumer() {
  local arch=$1 folder=$2 run=$3 version
  version=$(basename "$package" | sed 's/^Quarn_API-\(.*\)-windows$/\1/')
  cmake --install "$repo/build/win-$arch" --prefix "$run/prefix" &&
    cmake -S "$repo/tests/install/cmake_consumer" -B "$run/cmake-consumer" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-$arch-w64-mingw32.cmake" -DCMAKE_PREFIX_PATH="$run/prefix" \
      -DQUARN_EXPECTED_VERSION="$version" -DQUARN_EXPECT_CPP=ON -DCMAKE_EXE_LINKER_FLAGS=-static &&
    cmake --build "$run/cmake-consumer" &&
    cp "$run/cmake-consumer/consumer.exe" "$run/cmake-consumer/cpp_consumer.exe" "$run/prefix/bin/" &&
    (cd "$run/prefix/bin" && run_program "$folder" ./consumer.exe && run_program "$folder" ./cpp_consumer.exe)
}

for row in "x86 i686 i686-pc-windows-msvc i386 ExitProcess@4" \
           "x64 x86_64 x86_64-pc-windows-msvc i386:x86-64 ExitProcess"; do
  read -r folder arch target machine exitProcess <<<"$row"
  run=$scratch/run-$folder
  rm -rf "$run"
  mkdir -p "$run"
  cp "$package/$folder/Quarn_API.dll" "$run/"
  check "$folder export table" bash "$repo/tests/win32/check_dll_exports.sh" "$package/$folder/Quarn_API.dll" \
    "$package/Quarn_API.def" "$arch-w64-mingw32-objdump"
  [ "$folder" = x86 ] && check "x86 calling conventions in the code" python3 "$repo/tests/win32/check_x86_conventions.py" \
    "$package/x86/Quarn_API.dll" --def "$package/Quarn_API.def" --header "$package/include/quarn_api.h"
  check "$folder C program by mingw gcc, libQuarn_API.dll.a" mingw_consumer "$arch-w64-mingw32-gcc" "$folder" "$run"
  check "$folder C program by clang as MSVC, Quarn_API.lib" msvc_consumer "$target" "$machine" "$exitProcess" \
    "$folder" "$run"
  check "$folder C++ program by mingw g++, libquarn_cpp.a" mingw_cpp_consumer "$arch-w64-mingw32-g++-posix" "$folder" \
    "$run"
  check "$folder C and C++ programs by CMake with find_package, the installed tree" installed_consumer "$arch" \
    "$folder" "$run"
  wine_runs "$folder" || say "x86 package programs under wine (built and linked only): not run, $x86NotRun"
done

say "$(basename "$package") and its zip"
echo "windows-dist: $checks checks, $failures failed"
[ "$failures" -eq 0 ]
