# shellcheck shell=bash
# Which wine runs which Windows program on this host; sourced by the Windows ring's scripts, with or
# without set -e.
#
# Every wine prefix is a 64-bit one and every x64 program runs with the 64-bit loader, on every host. The
# x86 programs run with the 32-bit loader, in the same prefix, where the host runs 32-bit programs at all:
# some run 64-bit user code only (IA-32 emulation off), and there executing any i386 program, the 32-bit
# wine loader included, fails with ENOEXEC ("Exec format error"). QUARN_WINE_NO_32BIT=1 takes that path
# on any host. Debian's `wine` is a wrapper that always executes the 32-bit loader when it is installed,
# and so are winepath and wineboot; the 64-bit loader is /usr/lib/wine/wine64, not on PATH.
#
# wine_host_decide sets wine64 (the 64-bit loader), wine32 (the 32-bit one, or empty), x86NotRun (why the
# x86 programs are not run; empty when they are) and wineMissing (what the install lacks, which CI must
# have; empty when nothing).

wine_host_first_program() {
  local program
  for program in "$@"; do
    if [[ $program == /* ]]; then
      [ -x "$program" ] && { echo "$program"; return; }
    else
      command -v "$program" 2>/dev/null && return
    fi
  done
  return 0
}

# "qemu-i386" when a binfmt_misc entry hands i386 programs to qemu-user: they start there, but 32-bit
# wine does not work under it.
wine_host_i386_emulator() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/qemu-i386*; do
    [ -f "$entry" ] && [ "$(head -n 1 "$entry")" = enabled ] && { basename "$entry"; return; }
  done
  return 0
}

wine_host_decide() {
  wine64=$(wine_host_first_program wine64 /usr/lib/wine/wine64 /usr/lib64/wine/wine64 /opt/wine-stable/bin/wine64)
  wine32=$(wine_host_first_program /usr/lib/wine/wine /usr/lib32/wine/wine /opt/wine-stable/bin/wine)
  wineMissing=
  x86NotRun=
  [ -n "$wine64" ] || wineMissing="the 64-bit wine loader wine64 (apt-get install wine64)"
  local install="dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386"
  local emulator probe output status
  emulator=$(wine_host_i386_emulator)
  probe=${wine32:-/lib/ld-linux.so.2}
  if [ "${QUARN_WINE_NO_32BIT:-}" = 1 ]; then
    x86NotRun="QUARN_WINE_NO_32BIT=1 asks for the path of a host that runs no 32-bit programs"
    return
  fi
  if [ -n "$emulator" ]; then
    x86NotRun="this host runs 32-bit programs only through $emulator, and 32-bit wine does not work there"
    return
  fi
  if [ -e "$probe" ]; then
    # bash executes it itself: timeout's execvp would hand a file the kernel refuses to /bin/sh.
    status=0
    # shellcheck disable=SC2016
    output=$(LC_ALL=C timeout 20 bash -c 'exec "$0" --version' "$probe" 2>&1 </dev/null) || status=$?
    output=$(head -n 1 <<<"$output")
    if [ "$status" -eq 126 ] && [[ $output == *"Exec format error"* ]]; then
      x86NotRun="this host runs no 32-bit programs (executing $probe: Exec format error)"
      return
    fi
    if [ "$status" -ne 0 ]; then
      # Not the host's refusal but a broken install, which must show.
      x86NotRun="$probe does not start (--version exits with $status: $output)"
      wineMissing+="${wineMissing:+, }a working $probe"
      return
    fi
  fi
  if [ -z "$wine32" ]; then
    x86NotRun="the 32-bit wine loader is not installed"
    wineMissing+="${wineMissing:+, }the 32-bit wine loader ($install)"
  fi
}

# wine_loader ARCH: the loader for ARCH's programs, i686/x86 the 32-bit one, x86_64/x64 the 64-bit one.
wine_loader() {
  case "$1" in
    i686 | x86) echo "$wine32" ;;
    *) echo "$wine64" ;;
  esac
}

# wine_path UNIX_PATH: the Windows form of a path, without the 32-bit wrapper.
wine_path() {
  "$wine64" winepath -w "$1"
}

# Whether ARCH's programs run under wine here (wine_host_decide first).
wine_runs() {
  case "$1" in
    i686 | x86) [ -z "$x86NotRun" ] ;;
    *) return 0 ;;
  esac
}
