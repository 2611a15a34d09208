#!/usr/bin/env bash
# Runs every fuzz target with libFuzzer for SECONDS each (default 60) and
# prints executions, coverage and findings per target.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# The fuzzing tree is build/fuzz (clang-14, ASan + UBSan, libFuzzer). Inputs
# found on the way go to build/fuzz/corpus/<target>; the seed corpus in
# fuzz/corpus/<target> is read, never written. A crash or a failed check
# leaves its input in build/fuzz/findings/<target>/ and fails the run: fix
# it, then copy the input into fuzz/corpus/<target>/ as finding-<what>.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build/fuzz
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(response config sales_ini host_record)
JOBS=${JOBS:-2}

for tool in clang-14 clang++-14; do
  command -v $tool >/dev/null || { echo "fuzz: $tool missing (make deps)" >&2; exit 1; }
done

SAN="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DQEL_FUZZ_ENGINE=ON -DQEL_BUILD_TESTS=OFF >/dev/null || exit 1
cmake --build "$BUILD" -j"$JOBS" --target "${TARGETS[@]/#/fuzz_}" || exit 1

dict_for() {
  case $1 in
    response|config) echo "-dict=$ROOT/fuzz/xml.dict" ;;
    sales_ini) echo "-dict=$ROOT/fuzz/sales_ini.dict" ;;
  esac
}

failed=0
summary=()
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t
  findings=$BUILD/findings/$t
  mkdir -p "$corpus" "$findings"
  log=$BUILD/$t.log
  echo "fuzz: $t for ${SECONDS_EACH}s"
  # Sanitizer findings abort; a leak counts as well.
  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" $(dict_for "$t") \
    "$corpus" "$ROOT/fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  # Every edge of the program is counted, also those of library code that
  # the target cannot reach (the HTTP client in the response target, say).
  edges=$(sed -n 's/^INFO: Loaded 1 modules *(\([0-9]*\) inline.*/\1/p' "$log" | head -1)
  corp=$(ls "$corpus" | wc -l)
  crashes=$(ls "$findings" | wc -l)
  summary+=("$(printf '%-12s execs=%-10s %-22s of %-6s edges  corpus=%-6s findings=%s' "$t" "${execs:-?}" \
    "${cov:-cov: ?}" "${edges:-?}" "$corp" "$crashes")")
  if [ $status -ne 0 ] || [ "$crashes" -gt 0 ]; then
    failed=1
    echo "fuzz: $t FAILED (exit $status); see $log and $findings/" >&2
    grep -E 'ERROR|fuzz check failed|SUMMARY|runtime error' "$log" | head -5 >&2
  fi
done

echo
echo "fuzz summary (${SECONDS_EACH}s per target):"
printf '  %s\n' "${summary[@]}"
exit $failed
