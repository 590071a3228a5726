#!/usr/bin/env bash
# The README's "Running unattended" demo: the virtual reader with tags that come and go, a mosquitto of
# its own on 127.0.0.1, `quarn watch` delivering to it, and `mosquitto_sub` showing what arrives: tags
# arriving and departing, and the reader unplugged once and found again. Everything it starts it stops.
# Usage: bash scripts/demo-unattended.sh        (from anywhere; it builds into build/demo)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/install-deps.sh demo
if ! command -v mosquitto_sub >/dev/null || ! { command -v mosquitto || [ -x /usr/sbin/mosquitto ]; } >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y mosquitto mosquitto-clients >/dev/null
  else
    echo "the demo needs a broker and its clients: sudo apt-get install -y mosquitto mosquitto-clients"
    exit 1
  fi
fi
mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)

bash scripts/build-demo.sh

work=$(mktemp -d)
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT
now_ms() { echo $(($(date +%s%N) / 1000000)); }
started=$(now_ms)
# A line about what happens now, with the time since the virtual reader started.
say() {
  local ms=$(($(now_ms) - started))
  printf '\n== %d.%d s: %s\n' $((ms / 1000)) $((ms % 1000 / 100)) "$*"
}
until_ms() {
  local left=$(($1 - ($(now_ms) - started)))
  [ "$left" -le 0 ] || sleep "$((left / 1000)).$(printf '%03d' $((left % 1000)))"
}

# A broker on a free port of 127.0.0.1: the first that a listener takes.
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 40000))
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$work/mosquitto.conf"
  "$mosquitto" -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
  broker=$!
  sleep 0.3
  kill -0 "$broker" 2>/dev/null && break
done
pids+=("$broker")

# Tag A stays in the field; B passes through from 1.5 s to 4 s; C comes at 8 s and leaves at 9.5 s
# (on the reader's clock, which starts with it).
cat >"$work/field.txt" <<'EOF'
tag E20034120000000000000001
tag E20034120000000000000002 enters 1.5 leaves 4
tag E20034120000000000000003 enters 8 leaves 9.5
EOF
build/demo/sim/quarn-sim --scenario "$work/field.txt" --link "$work/dock-1" --replug-after 1 >"$work/sim.out" &
sim=$!
pids+=("$sim")
for _ in $(seq 50); do [ -e "$work/dock-1" ] && break; sleep 0.1; done
started=$(now_ms)

echo "broker on 127.0.0.1:$port, virtual reader behind $work/dock-1"
echo
echo "\$ mosquitto_sub -h 127.0.0.1 -p $port -t 'quarn/+/events' -t 'quarn/+/status' -v &"
mosquitto_sub -h 127.0.0.1 -p "$port" -t 'quarn/+/events' -t 'quarn/+/status' -v > >(tee "$work/events.txt") &
pids+=($!)
mosquitto_sub -h 127.0.0.1 -p "$port" -t 'quarn/+/reads' >"$work/reads.txt" &
pids+=($!)
sleep 0.3
echo "\$ quarn watch --reader $work/dock-1 --events 1 --mqtt mqtt://127.0.0.1:$port --stdout none &"
build/demo/tools/quarn/quarn watch --reader "$work/dock-1" --events 1 --mqtt "mqtt://127.0.0.1:$port" \
  --status-interval 60 --stdout none &
watch=$!
pids+=("$watch")

until_ms 6000
say "unplugging the reader (quarn-sim gets SIGUSR1; it is back 1 s later on a new terminal)"
kill -USR1 "$sim"
until_ms 11500
say "stopping the watch (SIGTERM)"
kill -TERM "$watch"
wait "$watch" && echo "quarn watch exited with status 0"
sleep 0.5
received=$(grep -c . "$work/reads.txt" || true)
read_by_watch=$(grep '"cause":"stopped"' "$work/events.txt" | grep -o '"reads":[0-9]*' | cut -d: -f2)
echo
echo "reads: the watch read ${read_by_watch:-?}, a subscriber of quarn/+/reads received $received"
