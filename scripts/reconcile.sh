#!/usr/bin/env bash
# make reconcile: sales and refunds through qelhost with the trace on, each
# working folder behind a fault proxy of its own, against kasse-sim keeping
# its ledger; about 2% of the hosts are killed once their proxy has handed the
# whole request on, and about 2% run while their trace or log is locked by
# another process. Then every receipt is reconciled (harness/reconcile): exit
# status 1 on any sale that is not accounted for.
#   scripts/reconcile.sh                  5,000 transactions natively
#   scripts/reconcile.sh --wine           the same with qelhost.exe and the DLL under Wine
#   scripts/reconcile.sh --transactions 200 --seed 7 --folders 4 --run DIR
#   scripts/reconcile.sh --shares 502=1,pass=1 --kill-permille 200 --qelhost PROGRAM
#   scripts/reconcile.sh --retry          then sells every transaction not shown as paid again,
#                                         straight to kasse-sim, answering the question of a
#                                         possible booking by the ledger
# --shares replaces the proxy's own default shares; --qelhost runs another
# program in qelhost's place (native only), with QEL_QELHOST naming the real one.
# Uses the programs of build/linux and build/win32 (QEL_RECONCILE_BUILD and
# QEL_RECONCILE_WIN32_BUILD name other trees); the run's files go to DIR
# (default <tree>/reconcile-run).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${QEL_RECONCILE_BUILD:-$ROOT/build/linux}" && pwd)
WIN32_BUILD=$(realpath -m "${QEL_RECONCILE_WIN32_BUILD:-$ROOT/build/win32}")
TRANSACTIONS=5000
SEED=20240501
FOLDERS=4
WINE=0
RUN=""
SHARES=()   # the proxy's own defaults unless given
HOST=""
RETRY=0
MORE=()     # passed on to reconcile
while [ $# -gt 0 ]; do
  case $1 in
    --wine) WINE=1 ;;
    --retry) RETRY=1 ;;
    --transactions) TRANSACTIONS=$2; shift ;;
    --seed) SEED=$2; shift ;;
    --folders) FOLDERS=$2; shift ;;
    --run) RUN=$2; shift ;;
    --shares) SHARES=(--shares "$2"); shift ;;
    --qelhost) HOST=$2; shift ;;
    --kill-permille | --lock-permille) MORE+=("$1" "$2"); shift ;;
    *)
      echo "usage: $0 [--wine] [--transactions N] [--seed S] [--folders N] [--run DIR] [--shares S]" \
        "[--kill-permille N] [--lock-permille N] [--qelhost PROGRAM] [--retry]" >&2
      exit 2
      ;;
  esac
  shift
done

need() {
  [ -e "$1" ] || { echo "reconcile: $1 is missing (make build)" >&2; exit 2; }
}
need "$BUILD/kasse-sim"
need "$BUILD/fault-proxy"
if [ $WINE -eq 1 ]; then
  need "$WIN32_BUILD/reconcile.exe"
  need "$WIN32_BUILD/qelhost.exe"
  need "$WIN32_BUILD/QelConnect.dll"
  RUN=$(realpath -m "${RUN:-$WIN32_BUILD/reconcile-run}")
  SEEN=Z:$RUN  # the run folder as the Windows programs see it
else
  need "$BUILD/reconcile"
  need "$BUILD/qelhost"
  RUN=$(realpath -m "${RUN:-$BUILD/reconcile-run}")
  SEEN=$RUN
fi
rm -rf "$RUN"
mkdir -p "$RUN"

pids=()
trap 'for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT

# Starts a server writing into $RUN/NAME.out and sets PORT to its port (the
# first line). Not in a subshell, so that the exit trap knows the server.
start() {
  local name=$1
  shift
  "$@" >"$RUN/$name.out" 2>"$RUN/$name.err" </dev/null &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$RUN/$name.out" ] && break
    sleep 0.05
  done
  PORT=$(head -n 1 "$RUN/$name.out")
  [ -n "$PORT" ] || { echo "reconcile: $name did not start" >&2; cat "$RUN/$name.err" >&2; exit 2; }
}

start kasse-sim "$BUILD/kasse-sim" --port 0 --ledger "$RUN/ledger.jsonl"
SIM_PORT=$PORT
args=(--run "$SEEN" --ledger "$SEEN/ledger.jsonl" --transactions "$TRANSACTIONS" --seed "$SEED" "${MORE[@]}")
[ $RETRY -eq 1 ] && args+=(--retry-url "http://127.0.0.1:$SIM_PORT/sap/bc/srt/kasse")
for f in $(seq "$FOLDERS"); do
  # Each folder's proxy has a seed of its own, so that the faults of every
  # receipt follow from the run's seed.
  start "proxy-$f" "$BUILD/fault-proxy" --port 0 --upstream "$SIM_PORT" --seed $((SEED + f)) \
    "${SHARES[@]}" --log "$RUN/proxy-$f.jsonl" --forwarded "$RUN/forwarded-$f.jsonl"
  sed -n 2p "$RUN/proxy-$f.out"
  args+=(--url "http://127.0.0.1:$PORT/sap/bc/srt/kasse" --proxy-log "$SEEN/proxy-$f.jsonl"
    --forwarded "$SEEN/forwarded-$f.jsonl")
done

if [ $WINE -eq 1 ]; then
  echo "reconcile: $TRANSACTIONS transactions with qelhost.exe and QelConnect.dll under Wine"
  "$ROOT/scripts/wine-run.sh" "$WIN32_BUILD/reconcile.exe" --qelhost "Z:$WIN32_BUILD/qelhost.exe" "${args[@]}"
else
  echo "reconcile: $TRANSACTIONS transactions natively"
  export QEL_QELHOST=$BUILD/qelhost
  "$BUILD/reconcile" --qelhost "${HOST:-$BUILD/qelhost}" "${args[@]}"
fi
