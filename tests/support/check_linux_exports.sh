#!/usr/bin/env bash
# The dynamic symbols a Linux library defines must be exactly the names its .def lists, no more.
set -euo pipefail
library=$1
def=$2
expected=$(grep -E '^\s+[A-Za-z]' "$def" | awk '{print $1}' | LC_ALL=C sort)
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWiV]$/ {print $3}' | sed 's/@.*//' | LC_ALL=C sort)
if [ "$expected" != "$actual" ]; then
  echo "exported names differ from the .def:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) names, as the .def lists"
