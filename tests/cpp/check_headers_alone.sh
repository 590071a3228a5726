#!/usr/bin/env bash
# Compiles each header of the C++ API alone, as the first and only include of a translation unit, with
# -std=c++17 -Wall -Wextra -Wpedantic -Werror: a header that leans on another's includes, or warns, fails.
#   check_headers_alone.sh CXX INCLUDE_DIR
set -euo pipefail
cxx=$1
include=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

count=0
failed=0
for header in "$include"/quarn/*.h; do
  name=quarn/$(basename "$header")
  printf '#include "%s"\n' "$name" >"$scratch/alone.cpp"
  if ! "$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$include" "$scratch/alone.cpp" \
      2>"$scratch/errors"; then
    echo "FAIL: $name does not compile alone:"
    cat "$scratch/errors"
    failed=1
  fi
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no headers under $include/quarn"; exit 1; }
echo "$count headers compiled alone"
exit "$failed"
