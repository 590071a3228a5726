#!/usr/bin/env bash
# Sets up and runs every test ring of Quarn_API: unit (fake port), wire (ptys, the virtual reader, the
# command-line tool), the sanitized rings, and the Windows ring (the DLLs under wine).
# Usage: scripts/test-all.sh            (from anywhere; build folders go under build/)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
tests_passed=0
tests_failed=0
summary=()
logs=build/logs
mkdir -p "$logs"

# Adds the test counts a ring printed (ctest's closing line, or a plain "N passed, N failed" line).
count_tests() {
  local log=$1 line total failures
  while read -r line; do
    if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
      failures=${BASH_REMATCH[1]}
      total=${BASH_REMATCH[2]}
      tests_passed=$((tests_passed + total - failures))
      tests_failed=$((tests_failed + failures))
    elif [[ $line =~ ^[A-Za-z0-9-]+:\ ([0-9]+)\ checks,\ ([0-9]+)\ failed ]]; then
      tests_passed=$((tests_passed + BASH_REMATCH[1] - BASH_REMATCH[2]))
      tests_failed=$((tests_failed + BASH_REMATCH[2]))
    elif [[ $line =~ ^([A-Za-z-]+:\ )?([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
      tests_passed=$((tests_passed + BASH_REMATCH[2]))
      tests_failed=$((tests_failed + BASH_REMATCH[3]))
    fi
  done < "$log"
}

# Runs one ring; its name and result go into the summary.
ring() {
  local name=$1
  shift
  local start=$SECONDS
  local log="$logs/$(echo "$name" | tr ' ' '-').log"
  echo "=== ring: $name"
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  count_tests "$log"
  # A ring that ran only part of itself on this host says so in a closing "..., N parts left out: ...".
  local leftOut
  leftOut=$(grep -o -E '(nothing|[0-9]+ parts?) left out.*$' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    summary+=("$name: passed ($((SECONDS - start)) s)${leftOut:+, $leftOut}")
  else
    failed=$((failed + 1))
    summary+=("$name: FAILED ($((SECONDS - start)) s)")
  fi
}

build_native() {
  cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build/linux -j"$(nproc)"
}

run_ctest() {
  (cd build/linux && ctest -j"$(nproc)" --output-on-failure --timeout 120)
}

build_sanitized() {
  cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUARN_SANITIZE=ON -DQUARN_BUILD_TOOLS=OFF >/dev/null &&
    cmake --build build/sanitize -j"$(nproc)"
}

run_sanitized() {
  (cd build/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest -j"$(nproc)" --output-on-failure --timeout 180 -L 'unit|wire')
}

build_threads() {
  cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DQUARN_THREAD_SANITIZE=ON -DQUARN_BUILD_TOOLS=OFF >/dev/null &&
    cmake --build build/tsan -j"$(nproc)" --target quarn_wire_tests
}

run_threads() {
  TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/quarn_wire_tests --gtest_filter='Threads*:Soak*' --gtest_brief=1
}

build_fuzz() {
  cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARN_FUZZ=ON -DQUARN_BUILD_SIM=OFF -DQUARN_BUILD_TOOLS=OFF >/dev/null &&
    cmake --build build/fuzz -j"$(nproc)" --target receive_frame_fuzz export_reply_fuzz
}

# A bounded run of each target from its committed corpus; new inputs go to a scratch folder, and any
# finding fails the ring.
run_fuzz() {
  local target status=0
  for target in receive_frame export_reply; do
    local scratch="build/fuzz/scratch/$target"
    mkdir -p "$scratch"
    local log="build/fuzz/scratch/$target.log"
    if ! build/fuzz/fuzz/${target}_fuzz -max_total_time="${QUARN_FUZZ_SECONDS:-20}" -max_len=4200 \
      -artifact_prefix="build/fuzz/scratch/$target-" -print_final_stats=1 "$scratch" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
      status=1
      tail -40 "$log"
    fi
    echo "$target: $(grep -E '^Done' "$log" || echo 'no run')"
  done
  return $status
}

ring "native build" build_native
ring "unit and wire rings" run_ctest
if [ "${QUARN_SKIP_SANITIZE:-}" = "" ]; then
  ring "sanitized build" build_sanitized
  ring "sanitized unit and wire rings" run_sanitized
fi
if [ "${QUARN_SKIP_FUZZ:-}" = "" ]; then
  ring "thread-sanitized build" build_threads
  ring "threads and soak under ThreadSanitizer" run_threads
  ring "fuzz build" build_fuzz
  ring "bounded fuzzing" run_fuzz
fi
if [ -f tests/win32/run_windows_ring.sh ]; then
  ring "windows ring" bash tests/win32/run_windows_ring.sh "$top/build/linux"
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "rings: $passed of $((passed + failed)) passed"
echo "tests: $tests_passed passed, $tests_failed failed"
[ "$failed" -eq 0 ] && [ "$tests_failed" -eq 0 ]
