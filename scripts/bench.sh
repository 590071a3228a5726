#!/usr/bin/env bash
# Builds the benchmarks into build/bench and runs them all: the codec per byte, library calls over ptys
# against two bare baselines (one byte a call, and one write with reads of whatever is there), streams
# over ptys against the one-byte baseline, a stream paced at 115200 baud, and the CPU a call spends
# waiting for a silent reader. Prints the medians and ratios; BENCHMARKS.md explains them. The JSON
# reports stay in build/bench/results.
# Usage: scripts/bench.sh   (from anywhere)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/bench"
results="$build/results"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 --target quarn_bench_codec quarn_bench_pty quarn_bench_wait quarn_bench_paced > /dev/null
mkdir -p "$results"
bin="$build/bench"

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"

# Medians of repetitions, interleaved at random, so a burst of other work on a shared machine hits
# every figure alike instead of spoiling one.
run_bench() {
  local program=$1 report=$2 repetitions=$3
  "$bin/$program" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_out="$results/$report.json" \
    --benchmark_out_format=json > "$results/$report.txt" 2>&1
}

echo
echo "codec on the fake port (per byte; the fake alone rows are the fake port's own share):"
run_bench quarn_bench_codec codec 3
python3 "$top/bench/summarize.py" codec "$results/codec.json"

echo
echo "exchanges and streams on ptys (library against the bare baselines in the same iterations):"
run_bench quarn_bench_pty pty 5
python3 "$top/bench/summarize.py" pty "$results/pty.json"

echo
"$bin/quarn_bench_paced" --seconds 5
"$bin/quarn_bench_wait"
echo "load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
