#!/usr/bin/env bash
# Runs the benchmarks and writes docs/performance.md (make bench):
#   - rendering of the request for 10 to 10,000 positions (native),
#   - the fixed steps of every transaction (configuration, Sales.ini, the
#     small envelope, the answer, the log entry; native),
#   - the transfer overhead of a whole hrECExecute against a bare libcurl
#     POST of the same bytes, over HTTP and HTTPS, native and for the DLL
#     under Wine, against a loopback server that answers at once.
# Client and server are pinned to cores (taskset), since where the scheduler
# happens to put them changes the bare POST by more than half: natively they
# run once on one core and once on two (the server on its own core, as a
# cash register is its own machine); Wine runs on one core.
# The benchmarks are built in build/bench and build/bench-win32 with the
# product's own build type. QEL_BENCH_QUICK=1 takes fewer samples (a smoke
# run; its figures are not worth quoting).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
NATIVE_DIR=$ROOT/build/bench
WIN32_DIR=$ROOT/build/bench-win32
RUN=$ROOT/build/bench-run
REPORT=$ROOT/docs/performance.md
JOBS=${JOBS:-2}
BUILD_TYPE=RelWithDebInfo

if [ "${QEL_BENCH_QUICK:-0}" = 1 ]; then
  RENDER_REPETITIONS=1
  NATIVE_SAMPLES=(--runs 2 --blocks 4 --per-block 5)
  WINE_SAMPLES=(--runs 2 --blocks 4 --per-block 5)
else
  RENDER_REPETITIONS=5
  NATIVE_SAMPLES=(--runs 5 --blocks 20 --per-block 5)
  WINE_SAMPLES=(--runs 5 --blocks 10 --per-block 5)
fi

log() { echo "bench: $*" >&2; }

build() {
  log "building the native benchmarks in $NATIVE_DIR"
  cmake -S "$ROOT" -B "$NATIVE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=$BUILD_TYPE -DQEL_BUILD_BENCH=ON \
    -DQEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$NATIVE_DIR" -j"$JOBS" --target render_bench steps_bench xml_bench bench_server transfer_bench >/dev/null
  log "building the Windows benchmark in $WIN32_DIR"
  cmake -S "$ROOT" -B "$WIN32_DIR" -G Ninja -DCMAKE_BUILD_TYPE=$BUILD_TYPE -DQEL_BUILD_BENCH=ON \
    -DQEL_BUILD_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$WIN32_DIR" -j"$JOBS" --target transfer_bench QelConnect >/dev/null
}

# A test CA and a certificate for 127.0.0.1 that chains to it; both sides of
# the HTTPS comparison trust the CA through a CA file.
make_certificates() {
  local dir=$RUN/tls
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -keyout "$dir/ca.key" -out "$dir/ca.pem" \
    -subj "/CN=QelConnect Bench CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$dir/server.key" -out "$dir/server.csr" \
    -subj "/CN=127.0.0.1" 2>/dev/null
  printf '%s\n' "subjectAltName=IP:127.0.0.1,DNS:localhost" "basicConstraints=CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" >"$dir/server.ext"
  openssl x509 -req -sha256 -days 2 -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -CAcreateserial -extfile "$dir/server.ext" -out "$dir/server.pem" 2>/dev/null
}

SERVER_PIDS=()
stop_servers() {
  local pid
  for pid in "${SERVER_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${SERVER_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_servers EXIT

# start_server NAME CPU ARGS...: starts bench_server on core CPU and waits
# until it has written its port to NAME.port.
start_server() {
  local name=$1 cpu=$2
  shift 2
  taskset -c "$cpu" "$NATIVE_DIR/bench/bench_server" --record "$RUN/$name.envelope" "$@" >"$RUN/$name.port" \
    2>"$RUN/$name.err" &
  SERVER_PIDS+=($!)
  local i
  for i in $(seq 100); do
    if [ -s "$RUN/$name.port" ]; then
      return 0
    fi
    sleep 0.05
  done
  echo "bench: the $name server did not start" >&2
  cat "$RUN/$name.err" >&2
  exit 1
}

# transfer LABEL SCHEME SERVER PLACEMENT: one transfer benchmark, native or
# under Wine, on core 0, against the server started as SERVER, in a working
# folder of its own; appends its JSON lines to transfer.json.
transfer() {
  local label=$1 scheme=$2 server=$3 placement=$4
  local port
  port=$(head -n 1 "$RUN/$server.port")
  local work=$RUN/work-$label-$scheme-${placement// /-}
  rm -rf "$work"
  mkdir -p "$work"
  # libcurl's own certificate check on Schannel (the path a CA file takes)
  # matches host names only, so the DLL reaches the HTTPS server by name.
  local host=127.0.0.1
  [ "$label" = wine ] && [ "$scheme" = https ] && host=localhost
  local url=$scheme://$host:$port/sap/bc/srt/kasse
  log "transfer, $label, $scheme, $placement"
  if [ "$label" = native ]; then
    local args=(--url "$url" --record-file "$RUN/$server.envelope" --label native --placement "$placement"
                "${NATIVE_SAMPLES[@]}")
    [ "$scheme" = https ] && args+=(--cafile "$RUN/tls/ca.pem")
    (cd "$work" && taskset -c 0 "$NATIVE_DIR/bench/transfer_bench" "${args[@]}") >>"$RUN/transfer.json"
  else
    # Wine reaches the Linux file system through drive Z:.
    local args=(--url "$url" --record-file "Z:$RUN/$server.envelope" --library "Z:$WIN32_DIR/QelConnect.dll"
                --label wine --placement "$placement" "${WINE_SAMPLES[@]}")
    [ "$scheme" = https ] && args+=(--cafile "Z:$RUN/tls/ca.pem")
    (cd "$work" && taskset -c 0 bash "$ROOT/scripts/wine-run.sh" "$WIN32_DIR/bench/transfer_bench.exe" "${args[@]}") \
      >>"$RUN/transfer.json"
  fi
}

main() {
  build
  rm -rf "$RUN"
  mkdir -p "$RUN"
  make_certificates
  local started
  started=$(date -u '+%Y-%m-%d %H:%M:%S UTC')
  uptime >"$RUN/load-before.txt"
  git -C "$ROOT" rev-parse --short HEAD >"$RUN/commit.txt"

  log "rendering"
  "$NATIVE_DIR/bench/render_bench" --benchmark_repetitions=$RENDER_REPETITIONS \
    --benchmark_report_aggregates_only=true --benchmark_out="$RUN/render.json" --benchmark_out_format=json \
    >"$RUN/render.txt" 2>&1

  log "steps of a transaction"
  mkdir -p "$RUN/work-steps"
  (cd "$RUN/work-steps" && "$NATIVE_DIR/bench/steps_bench" --benchmark_repetitions=$RENDER_REPETITIONS \
    --benchmark_report_aggregates_only=true --benchmark_out="$RUN/steps.json" --benchmark_out_format=json \
    >"$RUN/steps.txt" 2>&1)

  : >"$RUN/transfer.json"
  # One core: the server's work runs on the client's core between the
  # request and the answer. Two cores: it runs beside the client, which
  # waits for it as for a remote machine.
  local placement cpu
  for placement in "one core" "two cores"; do
    cpu=0
    if [ "$placement" = "two cores" ]; then
      [ "$(nproc)" -ge 2 ] || continue
      cpu=1
    fi
    start_server "http-$cpu" "$cpu"
    start_server "https-$cpu" "$cpu" --tls "$RUN/tls/server.pem" "$RUN/tls/server.key"
    transfer native http "http-$cpu" "$placement"
    transfer native https "https-$cpu" "$placement"
    if [ "$placement" = "one core" ]; then
      transfer wine http "http-$cpu" "$placement"
      transfer wine https "https-$cpu" "$placement"
    fi
  done
  # Last: a minute of 8 MiB parses changes how the machine runs the
  # transfers that follow it.
  log "the costliest answers"
  mkdir -p "$RUN/work-xml"
  (cd "$RUN/work-xml" && "$NATIVE_DIR/bench/xml_bench" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out="$RUN/xml.json" --benchmark_out_format=json \
    >"$RUN/xml.txt" 2>&1)
  uptime >"$RUN/load-after.txt"

  python3 "$ROOT/bench/write_report.py" --run "$RUN" --out "$REPORT" --started "$started" \
    --command "make bench" --native-dir "$NATIVE_DIR" --win32-dir "$WIN32_DIR"
  log "wrote $REPORT"
}

main "$@"
