#!/usr/bin/env bash
# Runs a Windows program under wine the way a Windows user runs it against a reader on a COM port: the
# wine prefix's device link (e.g. .../dosdevices/com7) is pointed at the reader's pty first, and the port
# goes to the program as its first argument (COM7). The program's CRLF lines come out as plain lines.
#   run_on_com.sh PTY DEVICE_LINK PROGRAM.exe [ARG]...
set -euo pipefail
pty=$1
link=$2
program=$3
shift 3
ln -sfn "$pty" "$link"
port=$(basename "$link" | tr '[:lower:]' '[:upper:]')
# The wine server opens the device itself and, a session leader, takes the pty for its controlling
# terminal; when the reader then ends and the pty hangs up, a server still idling broke the next
# program's connection to it. So the server ends with the program, before the reader does.
status=0
wine "$program" "$port" "$@" | tr -d '\r' || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
