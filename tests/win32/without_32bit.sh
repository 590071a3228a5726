#!/usr/bin/env bash
# Runs a command as on a host whose kernel runs no 32-bit programs (IA-32 emulation off): in a mount
# namespace of its own, the i386 dynamic loader and every 32-bit program of wine are covered by copies
# that name no machine, so executing one fails with ENOEXEC ("Exec format error") as it does there.
# For trying the Windows ring's no-32-bit path on a host that has 32-bit support; needs root.
#   bash tests/win32/without_32bit.sh COMMAND [ARG]...
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: bash tests/win32/without_32bit.sh COMMAND [ARG]..." >&2
  exit 2
fi
if [ "${1:-}" != "--inside" ]; then
  exec unshare --mount --propagation private bash "${BASH_SOURCE[0]}" --inside "$@"
fi
shift

# An ELF file of the 32-bit class for machine 3 (i386).
is_i386_elf() {
  local bytes
  bytes=$(od -An -tx1 -N 20 "$1" 2>/dev/null | tr -d ' \n')
  [ "${bytes:0:10}" = 7f454c4601 ] && [ "${bytes:36:4}" = 0300 ]
}

covers=$(mktemp -d)
trap 'rm -rf "$covers"' EXIT
targets=()
[ -e /lib/ld-linux.so.2 ] && targets+=("$(readlink -f /lib/ld-linux.so.2)")
for file in /usr/lib/wine/*; do
  [ -f "$file" ] && is_i386_elf "$file" && targets+=("$file")
done
for target in "${targets[@]}"; do
  cover=$covers/$(echo "$target" | tr / _)
  cp "$target" "$cover"
  # e_machine 0: the kernel finds no handler for the file and answers ENOEXEC.
  printf '\0\0' | dd of="$cover" bs=1 seek=18 conv=notrunc status=none
  mount --bind "$cover" "$target"
done
echo "without 32-bit programs: covered ${#targets[@]} files (${targets[*]})" >&2
"$@"
