#!/usr/bin/env bash
# Runs a Windows program under wine the way a Windows user runs it against a reader on a COM port: the
# wine prefix's device link (e.g. .../dosdevices/com7) is pointed at the reader's pty first, and the port
# goes to the program as its first argument (COM7). The program's CRLF lines come out as plain lines.
# ARCH (i686 or x86_64) picks the wine loader (tests/win32/wine_host.sh).
#   run_on_com.sh ARCH PTY DEVICE_LINK PROGRAM.exe [ARG]...
set -euo pipefail
arch=$1
pty=$2
link=$3
program=$4
shift 4
# shellcheck source=tests/win32/wine_host.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_host.sh"
wine_host_decide
wine_runs "$arch" || { echo "$arch programs do not run here: $x86NotRun"; exit 1; }
ln -sfn "$pty" "$link"
port=$(basename "$link" | tr '[:lower:]' '[:upper:]')
# The wine server opens the device itself and, a session leader, takes the pty for its controlling
# terminal; when the reader then ends and the pty hangs up, a server still idling broke the next
# program's connection to it. So the server ends with the program, before the reader does.
status=0
"$(wine_loader "$arch")" "$program" "$port" "$@" | tr -d '\r' || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
