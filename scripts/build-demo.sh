#!/usr/bin/env bash
# Builds the programs the demos run, quarn and quarn-sim, into build/demo; prints the build's log only
# when it fails. Run from the repository root, after scripts/install-deps.sh demo.
set -euo pipefail
echo "building quarn and quarn-sim into build/demo ..."
mkdir -p build/demo
log=build/demo/build.log
if ! { cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TESTS=OFF &&
       cmake --build build/demo -j"$(nproc)" --target quarn quarn-sim; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
