#!/usr/bin/env bash
# The README's first command: sets up, builds, and runs a short session of the quarn tool against the
# virtual reader, printing each command before its output.
# Usage: bash scripts/demo.sh        (from anywhere; it builds into build/demo)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/install-deps.sh demo
bash scripts/build-demo.sh

# One tag we know, with an access and a kill password, among two generated ones.
epc=E20034120000000000000001
password=12345678
sim_out=$(mktemp)
build/demo/sim/quarn-sim --epc "$epc access=$password kill=87654321" --tags 2 >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$sim_out"' EXIT

# quarn-sim prints its device path once the reader is listening.
port=
for _ in $(seq 50); do
  port=$(head -n 1 "$sim_out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "quarn-sim did not start"; exit 1; }
echo "virtual reader on $port (pid $sim_pid)"
export QUARN_PORT=$port

quarn() { build/demo/tools/quarn/quarn "$@"; }
run() {
  echo
  echo "\$ quarn $*"
  quarn "$@"
}

run info
run inventory --time 1
run read tid 0 6 --epc $epc
run write user 0 CAFEF00D --epc $epc
run read user 0 2 --epc $epc
run lock user=lock --epc $epc --password $password
if run write user 0 0BAD --epc $epc; then
  echo "the write went through: the lock did not hold"
  exit 1
else
  echo "(refused, exit status $?)"
fi
run write user 0 0BAD --epc $epc --password $password
run read user 0 2 --epc $epc
