#!/usr/bin/env bash
# The export table of a Windows DLL must be exactly the uncommented rows of its .def: the same names,
# undecorated, with the same ordinals, nothing else; a row "Second = First @n" must share First's
# address. The DLL may import only system DLLs, never the compiler's runtime DLLs.
#   check_dll_exports.sh DLL DEF [OBJDUMP]
set -euo pipefail
dll=$1
def=$2
objdump=${3:-objdump}

dump=$("$objdump" -p "$dll")

# "ordinal name" and "name target" pairs from the .def.
expected=$(awk '/^[ \t]+[A-Za-z_]/ {
    ordinal = ""; for (i = 1; i <= NF; ++i) if ($i ~ /^@[0-9]+$/) ordinal = substr($i, 2)
    print ordinal, $1 }' "$def" | LC_ALL=C sort)
shared=$(awk '/^[ \t]+[A-Za-z_]/ && $2 == "=" { print $1, $3 }' "$def")

# objdump lists the address table by index ("[   4] +base[  11] 1500 Export RVA") and the names by index
# into it ("[   4] UhfClosePort"); ordinal = index + base.
table=$(awk '
  /^Export Address Table -- Ordinal Base/ { base = $NF; inTable = 1; next }
  /^\[Ordinal\/Name Pointer\] Table/ { inTable = 0; inNames = 1; next }
  /^[ \t]*$/ { inTable = 0; inNames = 0; next }
  inTable && /Export RVA|Forwarder RVA/ {
    index_ = $2; sub(/\]$/, "", index_)
    if ($0 ~ /Forwarder/) forwarded[index_] = 1
    rva[index_] = $(NF - 2); next }
  inNames {
    index_ = $2; sub(/\]$/, "", index_)
    print index_ + base, $NF, (index_ in rva ? rva[index_] : "missing"), (index_ in forwarded ? "forwarded" : "") 
    named[index_] = 1 }
  END { for (i in rva) if (!(i in named)) print i + base, "(no name)", rva[i], "" }
' <<<"$dump" | LC_ALL=C sort)

actual=$(awk '{ print $1, $2 }' <<<"$table" | LC_ALL=C sort)
failed=0
if [ "$expected" != "$actual" ]; then
  echo "exports of $dll differ from $def (< .def, > DLL):"
  diff <(echo "$expected") <(echo "$actual") || true
  failed=1
fi
if grep -q forwarded <<<"$table"; then
  echo "forwarded exports in $dll:"; grep forwarded <<<"$table"
  failed=1
fi
while read -r second first; do
  [ -n "$second" ] || continue
  a=$(awk -v n="$second" '$2 == n { print $3 }' <<<"$table")
  b=$(awk -v n="$first" '$2 == n { print $3 }' <<<"$table")
  if [ -z "$a" ] || [ "$a" != "$b" ]; then
    echo "$second must be the entry of $first: addresses '${a}' and '${b}'"
    failed=1
  fi
done <<<"$shared"

imports=$(awk '/DLL Name:/ { print $3 }' <<<"$dump" | LC_ALL=C sort -u)
for name in $imports; do
  case "${name,,}" in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "$dll imports $name: only system DLLs may be needed"; failed=1 ;;
  esac
done

if [ "$failed" -ne 0 ]; then exit 1; fi
echo "$(wc -l <<<"$actual") exports as the .def lists, shared entries intact, imports: $(echo $imports)"
