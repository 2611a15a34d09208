#!/usr/bin/env bash
# Runs a Windows program under Wine as the operators' German Windows would
# (locale 1031, code page 1252), headless, in a Wine prefix inside build/.
# Usage: scripts/wine-run.sh PROGRAM.exe [ARGS...]; exits with its exit code.
# With QEL_WINE_PID_FILE set, the id of the program's process is written there.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QEL_WINEPREFIX:-$ROOT/build/wine-prefix}
export WINEDEBUG=-all
# Mono and Gecko are neither present nor wanted (the first start would offer
# to install them), and the tests need no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine derives the Windows locale and the ANSI code page from the C library's
# locale; LC_ALL would override LANG, so both name the German locale.
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
unset DISPLAY WAYLAND_DISPLAY

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

READY=$WINEPREFIX/.qel-ready

# Creates the prefix once. Tests may start in parallel, so creation runs under
# a lock and every caller re-checks after taking it.
create_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$READY" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    # The registry files are written only once the server has finished.
    wineserver -w
    # The null display driver shows message boxes without any X server; an
    # unmanaged X11 driver avoids a delay on each closing box when an X server
    # is used after all.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$READY"
  fi
  flock -u 9
  exec 9>&-
}

[ -f "$READY" ] || create_prefix

# Wine's background processes (wineserver, services, explorer) inherit the
# program's standard output and error and outlive it by a few seconds. A
# caller reading those through a pipe (CTest) would wait for them, so the
# program writes into files, and tail, which ends with the program, copies
# them out as they grow (a test that hangs still shows how far it came).
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
err=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$out" "$err"' EXIT

# A background job would read from /dev/null; the program keeps the
# caller's standard input (the command-line host reads answers from it), or
# reads /dev/null when the caller has none open.
{ exec 3<&0; } 2>/dev/null || exec 3</dev/null
wine "$@" <&3 3<&- >"$out" 2>"$err" &
program=$!
# The Windows program's own process (wine becomes it), for a caller that
# must end it from outside by its id.
if [ -n "${QEL_WINE_PID_FILE:-}" ]; then echo "$program" >"$QEL_WINE_PID_FILE"; fi
exec 3<&-
tail -s 0.05 -n +1 --pid=$program -f "$out" &
tail -s 0.05 -n +1 --pid=$program -f "$err" >&2 &
status=0
wait $program || status=$?
wait
exit "$status"
