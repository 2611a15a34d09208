#!/usr/bin/env bash
# Photographs the operator's dialogs as the real DLL shows them (the two
# questions, the progress window of a slow transfer, an error box and the
# error box of a sale in doubt) under Wine on a virtual X display, into
# docs/screenshots/. Run after `make build`; installs its own few extras.
# Usage: scripts/screenshots.sh
# The build trees can be chosen with QEL_NATIVE_DIR (kasse-sim) and
# QEL_WIN32_DIR (qelhost.exe beside QelConnect.dll).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
NATIVE_DIR=${QEL_NATIVE_DIR:-$ROOT/build/linux}
WIN32_DIR=${QEL_WIN32_DIR:-$ROOT/build/win32}
OUT=$ROOT/docs/screenshots
WORK=$ROOT/build/screenshots
# A prefix of its own: the tests' prefix uses the null display driver, which
# draws nothing.
export WINEPREFIX=$WORK/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8

# ImageMagick's import takes the pictures, xdotool finds the boxes, and
# Wine's own fonts (Tahoma, Marlett) make them look as on Windows.
EXTRA_PKGS=(imagemagick xdotool fonts-wine xvfb)
# How long to wait for a box or a program before giving up, in seconds.
WAIT_LIMIT=60
# The slow cash register's delay, and when its progress window is taken.
SLOW_ANSWER=4
PROGRESS_AFTER=1.2

say() { echo "screenshots: $*"; }
fail() { echo "screenshots: $*" >&2; exit 1; }

install_extras() {
  local missing=() p
  for p in "${EXTRA_PKGS[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  say "installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Wine names the Linux file system drive Z:.
winpath() { echo "Z:${1//\//\\}"; }

pids=()
cleanup() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

start_display() {
  local number_file=$WORK/display
  rm -f "$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
  pids+=($!)
  local waited=0
  until [ -s "$number_file" ]; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -lt $((WAIT_LIMIT * 10)) ] || fail "Xvfb did not start"
  done
  export DISPLAY=":$(head -1 "$number_file")"
}

# The X11 driver with unmanaged windows: Wine draws each box with its own
# frame and caption, as Windows does, since no window manager runs.
make_prefix() {
  [ -f "$WINEPREFIX/.qel-ready" ] && return
  say "creating the Wine prefix (once)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.qel-ready"
}

# Starts the simulator with the given answer options; sets SIM_PORT.
start_simulator() {
  local log=$WORK/kasse-sim-$1.log
  shift
  # The background job truncates the log only once it runs; a log of the
  # last run must not be taken for this one's.
  rm -f "$log"
  "$NATIVE_DIR/kasse-sim" --port 0 "$@" >"$log" 2>&1 &
  pids+=($!)
  local waited=0
  until [ -s "$log" ] && head -1 "$log" | grep -qx '[0-9][0-9]*'; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -lt $((WAIT_LIMIT * 10)) ] || fail "kasse-sim did not start: $(cat "$log")"
  done
  SIM_PORT=$(head -1 "$log")
}

# The working folder of a sale: the example configuration pointed at `port`.
prepare_folder() {
  local folder=$1 port=$2
  rm -rf "$folder"
  mkdir -p "$folder"
  sed "s#<url>[^<]*</url>#<url>http://127.0.0.1:$port/sap/bc/srt/rfc/sap/zqel_kasse</url>#" \
    "$ROOT/examples/QelConnect.xml" >"$folder/QelConnect.xml"
  cp "$ROOT/examples/Sales.ini" "$folder/"
}

# Waits until qelhost holds its `count`th box (its output shows the prompt).
wait_for_hold() {
  local output=$1 count=$2 waited=0
  until [ "$(grep -o 'held: Enter answers it' "$output" | wc -l)" -ge "$count" ]; do
    sleep 0.1
    waited=$((waited + 1))
    [ $waited -lt $((WAIT_LIMIT * 10)) ] || fail "no box $count appeared; qelhost said: $(cat "$output")"
  done
}

# Photographs the visible box whose caption starts with `caption`.
shoot() {
  local caption=$1 name=$2 window
  window=$(xdotool search --onlyvisible --name "^$caption" | tail -1)
  [ -n "$window" ] || fail "no window '$caption' to photograph"
  # The box is painted before qelhost holds it; this lets X catch up.
  sleep 0.5
  # Without time chunks a second run writes the same bytes.
  import -window "$window" -define png:exclude-chunks=date,time "PNG:$OUT/$name"
  say "took $name"
}

# Runs one sale of examples/sale.json held at every box, which ends with
# qelhost's exit code `expected` (0 done, 1 not completed, 4 in doubt); `plan`
# lists, per box, the caption to photograph and the file name, or "-" for
# none. The caption @progress stands for no box but the progress window,
# which is photographed a moment after the box before it was answered.
run_sale() {
  local folder=$1 expected=$2
  shift 2
  local output=$folder/qelhost.out fifo=$folder/answers
  mkfifo "$fifo"
  wine "$WIN32_DIR/qelhost.exe" --hold --answers ok,ok --workdir "$(winpath "$folder")" \
    "$(winpath "$ROOT/examples/sale.json")" <"$fifo" >"$output" 2>&1 &
  local host=$!
  pids+=($host)
  # Kept open for writing until the end, so that qelhost never reads the end
  # of its input between two answers.
  exec 4>"$fifo"
  local box=0 caption name
  while [ $# -gt 0 ]; do
    caption=$1 name=$2
    shift 2
    if [ "$caption" = @progress ]; then
      # The window shows after half a second and counts the seconds.
      sleep "$PROGRESS_AFTER"
      shoot Transaktionsfenster "$name"
      continue
    fi
    box=$((box + 1))
    wait_for_hold "$output" "$box"
    [ "$name" = - ] || shoot "$caption" "$name"
    echo >&4
  done
  exec 4>&-
  local status=0
  wait "$host" || status=$?
  [ $status -eq "$expected" ] || fail "qelhost exited with $status, not $expected: $(cat "$output")"
}

main() {
  install_extras
  [ -x "$NATIVE_DIR/kasse-sim" ] || fail "$NATIVE_DIR/kasse-sim is missing: run make build first"
  [ -f "$WIN32_DIR/qelhost.exe" ] && [ -f "$WIN32_DIR/QelConnect.dll" ] ||
    fail "$WIN32_DIR/qelhost.exe or QelConnect.dll is missing: run make build first"
  mkdir -p "$WORK" "$OUT"
  start_display
  make_prefix

  start_simulator accepting
  prepare_folder "$WORK/accepted" "$SIM_PORT"
  run_sale "$WORK/accepted" 0 \
    Transaktionsfenster transfer-question.png \
    Transaktionsfenster print-question.png

  start_simulator slow --delay "$SLOW_ANSWER"
  prepare_folder "$WORK/slow" "$SIM_PORT"
  run_sale "$WORK/slow" 0 \
    Transaktionsfenster - \
    @progress progress-window.png \
    Transaktionsfenster -

  start_simulator refusing --rect 4 --rectmsg "Beleg 100234 ist bereits gebucht"
  prepare_folder "$WORK/refused" "$SIM_PORT"
  run_sale "$WORK/refused" 1 \
    Transaktionsfenster - \
    "Fehler bei Daten" error-box.png

  # Reads the whole order, then answers after the 6-second limit.
  start_simulator stalling --delay 8
  prepare_folder "$WORK/in-doubt" "$SIM_PORT"
  run_sale "$WORK/in-doubt" 4 \
    Transaktionsfenster - \
    "Fehler bei Daten" in-doubt-box.png

  say "done: $(cd "$ROOT" && ls docs/screenshots/*.png | tr '\n' ' ')"
}

main "$@"
