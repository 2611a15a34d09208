# What the qelhost end-to-end scripts share; sourced after they have set
# QELHOST, RUNNER (empty natively, the Wine runner otherwise) and work.

# A path as qelhost sees it: under Wine through drive Z:.
program_path() {
  if [ -n "$RUNNER" ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}
# qelhost in the site folder of the run, its output without CRs.
qelhost() { ${RUNNER:+"$RUNNER"} "$QELHOST" --workdir "$(program_path "$work/site")" "$@" | tr -d '\r'; }

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
