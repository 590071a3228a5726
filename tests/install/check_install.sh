#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and builds the consumer programs against it the two ways an
# application would: a CMake project with find_package(Quarn_API), and a plain compile with pkg-config;
# the C program on the C library, the C++ program on the C++ API. Each must run with the installed
# library, not the build tree's. Also checks the libraries' SONAME links, the installed headers, and
# that no test program is installed.
#   check_install.sh BUILD_DIR C_COMPILER   (the C++ compiler is the build's own)
set -euo pipefail
build=$(cd "$1" && pwd)
cc=$2
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
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
diff -r "$prefix/include/quarn" "$here/../../include/quarn" >/dev/null || fail "the installed C++ headers differ"
for library in Quarn_API quarn_cpp; do
  [ "$(readlink "$libdir/lib$library.so")" = "lib$library.so.$major" ] || fail "lib$library.so does not link to .so.$major"
  [ "$(readlink "$libdir/lib$library.so.$major")" = "lib$library.so.$version" ] ||
    fail "lib$library.so.$major does not link to .so.$version"
  [ -f "$libdir/lib$library.so.$version" ] || fail "no lib$library.so.$version"
  soname=$(readelf -d "$libdir/lib$library.so.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$library.so.$major" ] || fail "lib$library's SONAME is '$soname'"
done
# The C++ library carries the core but not the C exports: an application may link both.
! nm -D --defined-only "$libdir/libquarn_cpp.so.$version" | grep -q ' Uhf' || fail "libquarn_cpp exports C names"
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

# Runs a consumer and checks it took the library (Quarn_API unless named) from the installed tree.
run_consumer() {
  local program=$1 library=${2:-Quarn_API} libraries
  libraries=$(ldd "$program")
  grep -qF "=> $libdir/lib$library.so.$major " <<<"$libraries" ||
    { echo "$libraries"; fail "$program does not load $libdir/lib$library.so.$major"; }
  "$program" || fail "$program failed (status $?)"
}

# ---- The CMake package ----
cmake -S "$here/cmake_consumer" -B "$scratch/cmake-build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DQUARN_EXPECTED_VERSION="$version" -DQUARN_EXPECT_CPP=ON \
  >"$scratch/cmake-consumer.log" 2>&1 &&
  cmake --build "$scratch/cmake-build" >>"$scratch/cmake-consumer.log" 2>&1 ||
  { cat "$scratch/cmake-consumer.log"; fail "the CMake consumer did not build"; }
run_consumer "$scratch/cmake-build/consumer"
run_consumer "$scratch/cmake-build/cpp_consumer" quarn_cpp

# ---- pkg-config, looking at the scratch tree alone ----
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH=
[ "$(pkg-config --modversion quarn_api)" = "$version" ] || fail "pkg-config gives version $(pkg-config --modversion quarn_api)"
# shellcheck disable=SC2046  # the flags are meant to split into words
"$cc" -std=c99 -Wall -Wextra -Werror -pedantic -o "$scratch/pkg-config-consumer" "$here/consumer.c" \
  $(pkg-config --cflags --libs quarn_api) || fail "the pkg-config consumer did not build"
LD_LIBRARY_PATH=$libdir run_consumer "$scratch/pkg-config-consumer"

[ "$(pkg-config --modversion quarn_cpp)" = "$version" ] || fail "pkg-config gives quarn_cpp version $(pkg-config --modversion quarn_cpp)"
# shellcheck disable=SC2046  # the flags are meant to split into words
"$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror -o "$scratch/pkg-config-cpp-consumer" "$here/cpp_consumer.cpp" \
  $(pkg-config --cflags --libs quarn_cpp) || fail "the pkg-config C++ consumer did not build"
LD_LIBRARY_PATH=$libdir run_consumer "$scratch/pkg-config-cpp-consumer" quarn_cpp

echo "install check: version $version, C and C++ consumers built by CMake and pkg-config and passed"
