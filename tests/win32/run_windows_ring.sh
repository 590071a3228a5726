#!/usr/bin/env bash
# The Windows ring: cross-builds Quarn_API.dll and the Windows test program for 32-bit and 64-bit
# Windows, checks both export tables against the .def and the 32-bit DLL's calling conventions in its
# code, and runs the program for both under wine with a COM port that the wine prefix maps to a
# pseudo-terminal, the scripted peer behind it. Then the C++ API: its test program, linked with the
# static quarn_cpp, against the virtual reader; the C and C++ examples; and the Windows package.
#
#   bash tests/win32/run_windows_ring.sh NATIVE_BUILD_DIR
#
# The prefix is a 64-bit one on every host, and the x64 programs run with the 64-bit loader. The x86
# programs run only where the host runs 32-bit programs (tests/win32/wine_host.sh decides; set
# QUARN_WINE_NO_32BIT=1 to take the other path anywhere); elsewhere the ring says what it left out.
#
# The cross builds go to build/win-i686 and build/win-x86_64, the wine prefix to build/win-wine, the
# peer into NATIVE_BUILD_DIR/win32-ring. The virtual reader quarn-sim is built in NATIVE_BUILD_DIR
# (configured there first when it is not yet) and serves COM7 with the field of sim_field.scenario.
# Without mingw-w64 or wine the ring is skipped with a message, and without quarn-sim the virtual
# reader group is, except when CI is set: then either is a failure.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bash tests/win32/run_windows_ring.sh NATIVE_BUILD_DIR" >&2
  exit 2
fi
started=$SECONDS
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$(mkdir -p "$1" && cd "$1" && pwd)
jobs=${QUARN_JOBS:-2}
architectures=(i686 x86_64)

say() { echo "windows ring: $*"; }

# Parts that did not run on this host and why; the closing line counts them.
notRun=()
notRunBecause=()
note_left_out() {
  notRun+=("${1%% (*}")
  [[ " ${notRunBecause[*]} " == *" $2 "* ]] || notRunBecause+=("$2")
}
leave_out() {
  note_left_out "$1" "$2"
  say "$1: not run, $2"
}

# ---- Tools ----
# shellcheck source=tests/win32/wine_host.sh
source "$repo/tests/win32/wine_host.sh"
wine_host_decide
missing=()
for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wineserver cmake c++ python3; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -n "$wine64" ] || missing+=(wine64)
install="dpkg --add-architecture i386 && apt-get update &&"
install+=" apt-get install g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 python3"
if [ ${#missing[@]} -ne 0 ]; then
  if [ -n "${CI:-}" ]; then
    say "FAILED: missing ${missing[*]}; CI must run this ring: $install"
    exit 1
  fi
  say "skipped: missing ${missing[*]}; install: $install"
  exit 0
fi
if [ -n "$wineMissing" ]; then
  # A host that refuses 32-bit programs is no install fault; a missing or broken 32-bit loader is.
  if [ -n "${CI:-}" ]; then
    say "FAILED: missing $wineMissing; CI must run the x86 programs where the host can: $install"
    exit 1
  fi
  say "missing $wineMissing; the x86 programs will not run"
fi
if [ -n "$x86NotRun" ]; then
  say "x86 programs under wine: not run, $x86NotRun"
else
  say "x86 programs under wine with $wine32, x64 programs with $wine64"
fi

# ---- The virtual reader (Linux side) ----
# Built before the cross builds, so that CI learns of a missing sim at once.
sim=$native/sim/quarn-sim
simBuildLog=$native/quarn-sim.build.log
simMissing=
if [ ! -f "$repo/sim/CMakeLists.txt" ]; then
  simMissing="the sources in sim/ are not in this tree"
else
  say "building quarn-sim in $native"
  : >"$simBuildLog"
  if [ ! -f "$native/CMakeCache.txt" ] &&
     ! cmake -S "$repo" -B "$native" -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TOOLS=OFF >>"$simBuildLog" 2>&1; then
    simMissing="configuring $native failed"
  elif ! cmake --build "$native" -j "$jobs" --target quarn-sim >>"$simBuildLog" 2>&1; then
    simMissing="building the target quarn-sim in $native failed"
  elif [ ! -x "$sim" ]; then
    simMissing="the build left no $sim"
  fi
  [ -n "$simMissing" ] && tail -20 "$simBuildLog"
fi
if [ -n "$simMissing" ]; then
  if [ -n "${CI:-}" ]; then
    say "FAILED: no virtual reader: $simMissing (log: $simBuildLog); CI must run the virtual reader group"
    exit 1
  fi
  say "the virtual reader group will be skipped: $simMissing (log: $simBuildLog)"
  sim=
fi

# ---- Cross builds and export tables ----
# The package's folder name of an architecture, as the programs name themselves.
folder_of() {
  case "$1" in
    i686) echo x86 ;;
    *) echo x64 ;;
  esac
}
objdump_for() {
  if command -v "$1-w64-mingw32-objdump" >/dev/null 2>&1; then echo "$1-w64-mingw32-objdump"; else echo objdump; fi
}
exampleTargets=()
[ -f "$repo/examples/CMakeLists.txt" ] &&
  exampleTargets=(example_inventory example_read_write example_lock_unlock example_firmware_update
                  example_cpp_inventory example_cpp_read_write example_cpp_lock)
for arch in "${architectures[@]}"; do
  dir=$repo/build/win-$arch
  say "building $arch in $dir"
  if ! cmake -S "$repo" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-$arch-w64-mingw32.cmake" \
         -DCMAKE_BUILD_TYPE=Release >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    say "FAILED: configuring $arch"
    exit 1
  fi
  if ! cmake --build "$dir" -j "$jobs" --target quarn_dll_test quarn_cpp_test "${exampleTargets[@]}"; then
    say "FAILED: building $arch"
    exit 1
  fi
  if ! bash "$repo/tests/win32/check_dll_exports.sh" "$dir/Quarn_API.dll" "$repo/src/exports/Quarn_API.def" \
         "$(objdump_for "$arch")"; then
    say "FAILED: export table of the $arch DLL"
    exit 1
  fi
done

# ---- The 32-bit calling conventions, from the code ----
# Proven on every host, whether or not the x86 program below runs: each export's returns pop what the
# header's prototype declares. The self-test first shows the proof fails where the two disagree.
conventions=(python3 "$repo/tests/win32/check_x86_conventions.py" --def "$repo/src/exports/Quarn_API.def"
             --header "$repo/include/quarn_api.h" --objdump "$(objdump_for i686)")
if ! "${conventions[@]}" --self-test "$repo/build/win-i686/Quarn_API.dll" ||
   ! "${conventions[@]}" "$repo/build/win-i686/Quarn_API.dll"; then
  say "FAILED: calling conventions of the i686 DLL"
  exit 1
fi

# ---- The scripted peer (Linux side) ----
peer=$native/win32-ring/win32_com_peer
peerSources=("$repo/tests/win32/com_peer.cpp" "$repo/tests/support/raw_pty.cpp" "$repo/tests/win32/com_script.h"
             "$repo/tests/support/raw_pty.h")
stale=
for source in "${peerSources[@]}"; do [ "$source" -nt "$peer" ] && stale=1; done
if [ ! -x "$peer" ] || [ -n "$stale" ]; then
  mkdir -p "$(dirname "$peer")"
  if ! c++ -std=c++17 -O1 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -I "$repo/tests/support" -o "$peer" \
       "${peerSources[0]}" "${peerSources[1]}"; then
    say "FAILED: building the scripted peer"
    exit 1
  fi
fi

# ---- Wine, headless, in a prefix of its own ----
wineRoot=$repo/build/win-wine
export WINEPREFIX=$wineRoot/prefix
export WINEARCH=win64
export WINEDEBUG=-all
export DISPLAY=
unset WAYLAND_DISPLAY
# No Mono or Gecko installers: nothing here needs them, and they would wait for a display.
export WINEDLLOVERRIDES="mscoree=;mshtml="
wineLog=$wineRoot/wine.log
mkdir -p "$wineRoot"
: >"$wineLog"
peerPid=
peerLog=$wineRoot/peer.log
links=("$WINEPREFIX/dosdevices/com5" "$WINEPREFIX/dosdevices/com12")
simPid=
simPortName=COM7
simLink=$WINEPREFIX/dosdevices/com7
simOut=$wineRoot/sim.out
simLog=$wineRoot/sim.log
# The C++ program's held port: a plain file, on which wine keeps the share mode (tests/win32/cpp_open_checks.cpp).
heldPortName=COM13
heldLink=$WINEPREFIX/dosdevices/com13
heldFile=$wineRoot/held-port

stop_peer() {
  if [ -n "$peerPid" ]; then
    kill -TERM "$peerPid" 2>/dev/null
    wait "$peerPid"
    peerStatus=$?
    peerPid=
  fi
}
stop_sim() {
  if [ -n "$simPid" ]; then
    kill -TERM "$simPid" 2>/dev/null
    wait "$simPid"
    simStatus=$?
    simPid=
  fi
}
# Starts quarn-sim with a fresh field and maps COM7 to the device path it prints first.
start_sim() {
  : >"$simOut"
  "$sim" --scenario "$repo/tests/win32/sim_field.scenario" --trace >"$simOut" 2>"$simLog" &
  simPid=$!
  for _ in $(seq 50); do
    [ "$(wc -l <"$simOut")" -ge 1 ] && break
    kill -0 "$simPid" 2>/dev/null || break
    sleep 0.1
  done
  local device
  device=$(head -n 1 "$simOut")
  if [ -z "$device" ] || [ ! -e "$device" ]; then
    cat "$simLog"
    say "FAILED: quarn-sim printed no device path"
    return 1
  fi
  ln -sfn "$device" "$simLink"
}
finish() {
  stop_peer
  stop_sim
  wineserver -k >/dev/null 2>&1
  rm -f "${links[@]}" "$simLink" "$heldLink"
}
trap finish EXIT

# A 64-bit prefix; the x86 programs also need its 32-bit system files, which only a host that runs
# 32-bit programs puts there.
prefix_ready() {
  grep -q '^#arch=win64' "$WINEPREFIX/system.reg" 2>/dev/null || return 1
  wine_runs i686 || return 0
  [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}
if ! prefix_ready; then
  say "creating the 64-bit wine prefix $WINEPREFIX (the first start takes a while)"
  rm -rf "$WINEPREFIX"
  if ! timeout 150 "$wine64" wineboot -i >>"$wineLog" 2>&1 || ! timeout 60 wineserver -w >>"$wineLog" 2>&1; then
    tail -20 "$wineLog"
    say "FAILED: wineboot did not finish"
    rm -rf "$WINEPREFIX"
    exit 1
  fi
fi

failed=()
for arch in "${architectures[@]}"; do
  if ! wine_runs "$arch"; then
    leave_out "x86 DLL under wine (the test program: exports, stack pointer, COM port, virtual reader)" "$x86NotRun"
    continue
  fi
  : >"$peerLog"
  "$peer" --link "${links[0]}" --link "${links[1]}" >"$peerLog" 2>&1 &
  peerPid=$!
  for _ in $(seq 50); do
    grep -q '^ready' "$peerLog" && break
    sleep 0.1
  done
  if ! grep -q '^ready' "$peerLog"; then
    cat "$peerLog"
    say "FAILED: the scripted peer did not start"
    exit 1
  fi

  simArguments=()
  if [ -n "$sim" ]; then
    start_sim || exit 1
    simArguments=(--sim "$simPortName")
  fi

  say "running the $arch test program under wine"
  timeout 120 "$(wine_loader "$arch")" "$repo/build/win-$arch/quarn_dll_test.exe" COM5 COM12 "${simArguments[@]}" \
    2>>"$wineLog"
  programStatus=$?
  # The server ends before the peer and the reader do: it holds their ptys as its controlling terminal,
  # and their hang-up would reach a server still idling (tests/win32/run_on_com.sh).
  wineserver -k >/dev/null 2>&1
  peerStatus=0
  simStatus=0
  stop_peer
  stop_sim
  sed 's/^/  peer: /' "$peerLog"
  if [ "$programStatus" -ne 0 ] || [ "$peerStatus" -ne 0 ] || [ "$simStatus" -ne 0 ]; then
    [ "$programStatus" -ne 0 ] && [ "$programStatus" -ne 1 ] && tail -20 "$wineLog"
    [ -n "$sim" ] && tail -40 "$simLog" | sed 's/^/  quarn-sim: /'
    failed+=("$arch (program $programStatus, peer $peerStatus, quarn-sim $simStatus)")
  fi
done

# Every stream the C++ program started must have been stopped by the stop command, the very next command
# the virtual reader received after the start (LOG: its trace). One check per stream started.
check_stream_stops() {
  local label=$1 log=$2
  awk -v label="$label" '
    / -> 0x[0-9A-F]+ (StartInventory|StartInventoryWithParameter|StartReadDataFromMultiTag) / {
      if (owed) { failed++; print "  FAIL a stream started before the last one was stopped: " $0 }
      owed = 1; starts++; next
    }
    / -> / {
      if (owed && $0 !~ / StopOperation /) { failed++; print "  FAIL not the stop after a stream start: " $0 }
      owed = 0
    }
    END {
      if (owed) { failed++; print "  FAIL the last stream was never stopped" }
      printf "%s: %d checks, %d failed\n", label, starts, failed
      exit failed > 0
    }' "$log"
}

# The C++ API: the static quarn_cpp in a program of its own (tests/win32/cpp_test.cpp), against port
# names that do not open, a held port and the virtual reader on COM7, with a fresh field.
for arch in "${architectures[@]}"; do
  if ! wine_runs "$arch"; then
    leave_out "x86 C++ API under wine (the C++ test program: open failures, the virtual reader)" "$x86NotRun"
    continue
  fi
  cppArguments=(--held "$heldPortName")
  if [ -n "$sim" ]; then
    start_sim || exit 1
    cppArguments+=(--sim "$simPortName")
  fi
  : >"$heldFile"
  ln -sfn "$heldFile" "$heldLink"
  say "running the $arch C++ test program under wine"
  timeout 120 "$(wine_loader "$arch")" "$repo/build/win-$arch/quarn_cpp_test.exe" "${cppArguments[@]}" 2>>"$wineLog" |
    tr -d '\r'
  programStatus=${PIPESTATUS[0]}
  wineserver -k >/dev/null 2>&1
  simStatus=0
  stop_sim
  stopsStatus=0
  if [ -n "$sim" ] && ! check_stream_stops "$(folder_of "$arch")-cpp-stops" "$simLog"; then
    stopsStatus=1
  fi
  if [ "$programStatus" -ne 0 ] || [ "$simStatus" -ne 0 ] || [ "$stopsStatus" -ne 0 ]; then
    [ "$programStatus" -ne 0 ] && [ "$programStatus" -ne 1 ] && tail -20 "$wineLog"
    [ -n "$sim" ] && tail -40 "$simLog" | sed 's/^/  quarn-sim: /'
    failed+=("$arch C++ (program $programStatus, quarn-sim $simStatus, stops $stopsStatus)")
  fi
done

# The example programs as built for Windows, each against a virtual reader of its own on COM7, with the
# checks the native ring makes of their output (examples/run_against_sim.sh starts and stops the reader).
# The C ones with the checks below, the C++ ones with their native tests' own (native_example_tests.py).
declare -A exampleChecks=([win-examples]=0 [win-cpp-examples]=0)
declare -A exampleFailures=([win-examples]=0 [win-cpp-examples]=0)
# Runs one example command (GROUP, a name for the log, then the command); counts it in GROUP.
run_example_command() {
  local group=$1 name=$2
  shift 2
  exampleChecks[$group]=$((exampleChecks[$group] + 1))
  if ! "$@" >"$wineRoot/example.log" 2>&1; then
    exampleFailures[$group]=$((exampleFailures[$group] + 1))
    sed 's/^/  example: /' "$wineRoot/example.log"
    say "FAILED: $name"
  fi
}
run_example() {
  local arch=$1 exe=$2 options=()
  shift 2
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  run_example_command win-examples "$(basename "$exe") $*" bash "$repo/examples/run_against_sim.sh" --sim "$sim" \
    "${options[@]}" -- bash "$repo/tests/win32/run_on_com.sh" "$arch" @PORT@ "$simLink" "$exe" "$@"
}
# The folders of the compiler's runtime DLLs (libstdc++, libgcc, winpthread) in Windows form, for
# WINEPATH: the C++ examples are linked as examples/CMakeLists.txt links them, against those DLLs.
mingw_runtime_path() {
  local arch=$1 dll folders=()
  for dll in libstdc++-6.dll libwinpthread-1.dll; do
    folders+=("$(wine_path "$(dirname "$("$arch-w64-mingw32-g++-posix" -print-file-name=$dll)")")")
  done
  (IFS=';' && echo "${folders[*]}")
}
# The C++ examples' native tests (examples.cpp.*), each run with the Windows build of its example.
run_cpp_examples() {
  local arch=$1 commands line words
  if ! commands=$(python3 "$repo/tests/win32/native_example_tests.py" "$native" '^examples\.cpp\.' "$arch" \
                    "$repo/build/win-$arch/examples" "$simLink"); then
    exampleChecks[win-cpp-examples]=$((exampleChecks[win-cpp-examples] + 1))
    exampleFailures[win-cpp-examples]=$((exampleFailures[win-cpp-examples] + 1))
    say "FAILED: the C++ examples' native tests in $native"
    return
  fi
  while IFS= read -r line; do
    eval "words=(${line#* })"
    run_example_command win-cpp-examples "$arch ${line%% *}" "${words[@]}"
  done <<<"$commands"
}
if [ -n "$sim" ] && [ ${#exampleTargets[@]} -ne 0 ]; then
  tag=E20034120000000000000001
  image=$wineRoot/example_firmware.bin
  printf 'QFW1QS0203251201%s' "$(printf 'firmware image payload %.0s' $(seq 120))" >"$image"
  imagePath=$(wine_path "$image")
  for arch in "${architectures[@]}"; do
    if ! wine_runs "$arch"; then
      leave_out "x86 examples under wine (C and C++)" "$x86NotRun"
      continue
    fi
    say "running the $arch examples under wine against the virtual reader on $simPortName"
    examples=$repo/build/win-$arch/examples
    # The programs find Quarn_API.dll in the build folder, as they would beside them in an application.
    WINEPATH=$(wine_path "$repo/build/win-$arch")
    export WINEPATH
    run_example "$arch" "$examples/inventory.exe" --sim-arg --epc --sim-arg $tag \
      --expect "^EPC: $tag$" --expect "stopped after 20 reports of 1 distinct tags" --
    run_example "$arch" "$examples/read_write.exe" --sim-arg --epc --sim-arg $tag \
      --expect "^user @0 after:  CAFEF00D$" --expect "^read-back matches$" -- CAFEF00D 0
    run_example "$arch" "$examples/lock_unlock.exe" --sim-arg --epc --sim-arg "$tag access=12345678" \
      --expect "refused, error code 0x04, memory locked" --expect "lock payload 030C00" -- 12345678
    run_example "$arch" "$examples/firmware_update.exe" \
      --expect "^sent 2776 bytes in 3 blocks$" --expect "^version now: 515330323033$" -- "$imagePath"
    WINEPATH+=";$(mingw_runtime_path "$arch")"
    run_cpp_examples "$arch"
  done
  unset WINEPATH
  for group in win-examples win-cpp-examples; do
    echo "$group: ${exampleChecks[$group]} checks, ${exampleFailures[$group]} failed"
    [ "${exampleFailures[$group]}" -eq 0 ] || failed+=("$group")
  done
fi

# The package a Windows developer takes, linked as mingw and as MSVC link it (check_distribution.sh); its
# parts left out come back as its lines "...: not run, ...".
distLog=$wineRoot/distribution.log
bash "$repo/tests/win32/check_distribution.sh" "$wineRoot/dist-check" | tee "$distLog"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed+=("distribution")
while IFS= read -r line; do
  note_left_out "${line%%: not run, *}" "${line#*: not run, }"
done < <(sed -n 's/^windows distribution: \(.*: not run, .*\)$/\1/p' "$distLog")

elapsed=$((SECONDS - started))
if [ ${#failed[@]} -ne 0 ]; then
  say "FAILED: ${failed[*]} after ${elapsed} s"
  exit 1
fi
[ -n "$sim" ] || leave_out "the virtual reader group" "$simMissing"
leftOut="nothing left out"
if [ ${#notRun[@]} -ne 0 ]; then
  parts=parts
  [ ${#notRun[@]} -eq 1 ] && parts=part
  leftOut="${#notRun[@]} $parts left out: $(printf '%s, ' "${notRun[@]}" | sed 's/, $//')"
  leftOut+=" ($(printf '%s; ' "${notRunBecause[@]}" | sed 's/; $//'))"
fi
say "passed for ${architectures[*]} in ${elapsed} s, $leftOut"
