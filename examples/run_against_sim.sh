#!/usr/bin/env bash
# Runs one example against a virtual reader of its own and checks its exit status and what it printed.
#   run_against_sim.sh --sim QUARN_SIM [--sim-arg ARG]... [--status N] [--expect REGEX]... -- EXAMPLE [ARG]...
# @PORT@ in an example argument becomes the reader's pty path.
set -euo pipefail

sim=""
simArgs=()
expectedStatus=0
patterns=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --sim) sim=$2 ;;
    --sim-arg) simArgs+=("$2") ;;
    --status) expectedStatus=$2 ;;
    --expect) patterns+=("$2") ;;
    *) echo "unknown option $1"; exit 2 ;;
  esac
  shift 2
done
shift
[ -n "$sim" ] && [ $# -gt 0 ] || { echo "usage: see the head of $0"; exit 2; }

workDir=$(mktemp -d)
# Made before the reader starts: the background job opens its redirections only when it runs, and the
# wait below must not find the file missing.
: >"$workDir/sim.out"
"$sim" "${simArgs[@]}" >"$workDir/sim.out" 2>"$workDir/sim.err" &
simPid=$!
# Whatever happens below, the reader does not outlive the test.
trap 'kill -TERM "$simPid" 2>/dev/null || true; wait "$simPid" 2>/dev/null || true; rm -rf "$workDir"' EXIT

# The reader prints its pty path as one line once it serves.
port=""
for _ in $(seq 50); do
  port=$(head -n 1 "$workDir/sim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the virtual reader printed no port:"; cat "$workDir/sim.err"; exit 1; }

command=()
for argument in "$@"; do command+=("${argument//@PORT@/$port}"); done
status=0
"${command[@]}" >"$workDir/example.out" 2>&1 || status=$?
cat "$workDir/example.out"

failed=0
if [ "$status" -ne "$expectedStatus" ]; then
  echo "FAIL: exit status $status, expected $expectedStatus"
  failed=1
fi
for pattern in "${patterns[@]}"; do
  grep -Eq -- "$pattern" "$workDir/example.out" || { echo "FAIL: no line matches: $pattern"; failed=1; }
done

# SIGTERM is the reader's clean end; anything but status 0 means it broke on the way.
kill -TERM "$simPid"
simStatus=0
wait "$simPid" || simStatus=$?
trap 'rm -rf "$workDir"' EXIT
if [ "$simStatus" -ne 0 ]; then
  echo "FAIL: the virtual reader ended with status $simStatus"
  failed=1
fi
exit "$failed"
