#!/usr/bin/env bash
# Makes the release package QelConnect-<version>-win32.zip from a built win32
# tree: the DLL and qelhost.exe (stripped), the SBOM the build wrote for them,
# the examples that qelhost.exe needs for a test sale, the site guide as
# README.md, the documents for integrators (the simulator's README
# included), the changelog, and SHA256SUMS over all of them; beside the zip,
# its own SHA-256 in <zip>.sha256.
# Usage: scripts/dist.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win32, dist)
#
# With QEL_SIGN_PKCS12 (a PKCS#12 file with the code-signing certificate and
# its key) and QEL_SIGN_PASSWORD_FILE (a file whose first line is its
# password), the DLL and qelhost.exe are signed with Authenticode (SHA-256)
# by osslsigncode before SHA256SUMS is made, and time-stamped by the RFC 3161
# service at QEL_SIGN_TIMESTAMP_URL when that is set. A signed package is
# not reproducible (a signature is made anew each time); without these
# variables nothing is signed and the package is.
#
# The package is reproducible: the same tree gives the same bytes. Every
# timestamp in it is the time of the last commit (SOURCE_DATE_EPOCH, when set,
# takes its place), the entries are sorted, and neither the files' own times
# nor their permissions reach the archive.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/win32}" && pwd)
OUT=${2:-$ROOT/dist}
STRIP=${QEL_STRIP:-i686-w64-mingw32-strip}

fail() {
  echo "dist: $*" >&2
  exit 1
}

# The version is CMake's project version, as the tree was configured with it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt" 2>/dev/null || true)
[ -n "$version" ] || fail "no project version in $BUILD/CMakeCache.txt: configure the win32 tree first"
for built in QelConnect.dll qelhost.exe QelConnect.spdx.json; do
  [ -f "$BUILD/$built" ] || fail "$BUILD/$built is missing: build the win32 tree first (make build-win32)"
done

# The line of the site guide that says so, and what a signed package says
# in its place.
UNSIGNED_SENTENCE='**This package is not signed**: check its files against `SHA256SUMS`, and the zip against the checksum published beside it.'
SIGNED_SENTENCE='**This package is signed**: `QelConnect.dll` and `qelhost.exe` carry an Authenticode signature (SHA-256); check it before installing.'

SIGN_PKCS12=${QEL_SIGN_PKCS12:-}
SIGN_PASSWORD_FILE=${QEL_SIGN_PASSWORD_FILE:-}
SIGN_TIMESTAMP_URL=${QEL_SIGN_TIMESTAMP_URL:-}
if [ -n "$SIGN_PKCS12" ] || [ -n "$SIGN_PASSWORD_FILE" ]; then
  [ -n "$SIGN_PKCS12" ] && [ -n "$SIGN_PASSWORD_FILE" ] ||
    fail "QEL_SIGN_PKCS12 and QEL_SIGN_PASSWORD_FILE go together"
  [ -f "$SIGN_PKCS12" ] || fail "QEL_SIGN_PKCS12: no file $SIGN_PKCS12"
  [ -f "$SIGN_PASSWORD_FILE" ] || fail "QEL_SIGN_PASSWORD_FILE: no file $SIGN_PASSWORD_FILE"
  command -v osslsigncode >/dev/null || fail "osslsigncode is missing: run scripts/install-deps.sh"
elif [ -n "$SIGN_TIMESTAMP_URL" ]; then
  fail "QEL_SIGN_TIMESTAMP_URL needs QEL_SIGN_PKCS12 and QEL_SIGN_PASSWORD_FILE"
fi

# sign FILE: replaces FILE by its Authenticode-signed copy.
sign() {
  local timestamp=()
  [ -n "$SIGN_TIMESTAMP_URL" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_PASSWORD_FILE" -h sha256 \
    -n "QelConnect $version" "${timestamp[@]}" -in "$1" -out "$1.signed" >/dev/null ||
    fail "osslsigncode could not sign $(basename "$1")"
  mv "$1.signed" "$1"
}

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) ||
    fail "not a git checkout: set SOURCE_DATE_EPOCH to the time the package should carry"
fi
export SOURCE_DATE_EPOCH

# The documentation is what the repository tracks, not whatever else lies in
# docs/ at the moment. The simulator's README comes along under its own path
# because the documentation links to it there. The repository's README.md is
# about building; the package's is the site guide, added below. The guide for
# developers stays in the source tree.
# Only what an integrator, a site or its support reads: the documents for
# developers (reliability, performance, signing, screenshots) stay in the
# source tree.
mapfile -t documents < <(git -C "$ROOT" ls-files -- docs/configuration.md docs/troubleshooting.md \
  docs/operations.md docs/cashier-card.md docs/kasse.wsdl docs/kasse.xsd examples/QelConnect.xml examples/Sales.ini \
  examples/sale.json examples/refund.json tools/kasse-sim/README.md CHANGELOG.md)
[ ${#documents[@]} -gt 0 ] || fail "no documentation found in $ROOT"

name=QelConnect-$version
stage=$(mktemp -d "${TMPDIR:-/tmp}/qel-dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"

# The DLL and qelhost.exe as the tests ran them (RelWithDebInfo), without
# their debug information. strip stamps the PE header with the current time
# unless SOURCE_DATE_EPOCH says otherwise.
for built in QelConnect.dll qelhost.exe; do
  "$STRIP" --strip-all -o "$stage/$name/$built" "$BUILD/$built"
  if [ -n "$SIGN_PKCS12" ]; then sign "$stage/$name/$built"; fi
done
for document in "${documents[@]}"; do
  mkdir -p "$stage/$name/$(dirname "$document")"
  cp "$ROOT/$document" "$stage/$name/$document"
done
# The site guide says whether the binaries are signed.
if [ -n "$SIGN_PKCS12" ]; then
  python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], encoding="utf-8").read().replace(sys.argv[2], sys.argv[3]))' \
    "$ROOT/docs/site-guide.md" "$UNSIGNED_SENTENCE" "$SIGNED_SENTENCE" >"$stage/$name/README.md"
else
  cp "$ROOT/docs/site-guide.md" "$stage/$name/README.md"
fi
grep -qxF -e "$UNSIGNED_SENTENCE" -e "$SIGNED_SENTENCE" "$stage/$name/README.md" ||
  fail "docs/site-guide.md lacks the line: $UNSIGNED_SENTENCE"
# The SBOM with the checksums of the binaries as packaged (stripped, signed).
python3 - "$BUILD/QelConnect.spdx.json" "$stage/$name" "$ROOT/cmake" <<'PY'
import json, sys
sys.path.insert(0, sys.argv[3])
import sbom
document = json.load(open(sys.argv[1]))
sbom.update_checksums(document, sys.argv[2])
sbom.write(document, sys.argv[2] + "/QelConnect.spdx.json")
PY
# The package stands alone: its documents name no file it lacks, unless they
# say that the file belongs to the source tree.
python3 "$ROOT/scripts/check-package-refs.py" "$stage/$name" >&2 ||
  fail "the documents name files that are not in the package (above)"

(
  cd "$stage/$name"
  find . -type f | sed 's|^\./||' | LC_ALL=C sort | while read -r file; do
    sha256sum "$file"
  done >"$stage/SHA256SUMS"
  mv "$stage/SHA256SUMS" SHA256SUMS
)

mkdir -p "$OUT"
zip=$OUT/$name-win32.zip
# Python's zipfile writes exactly the entries it is given: names in sorted
# order, the commit time as every entry's time (in UTC, as zip has no time
# zone), regular-file attributes, and no extra fields.
python3 - "$stage" "$name" "$zip.tmp" <<'PY'
import os, sys, time, zipfile

stage, name, target = sys.argv[1:4]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
files = []
for folder, _, names in os.walk(os.path.join(stage, name)):
    for file in names:
        files.append(os.path.relpath(os.path.join(folder, file), stage).replace(os.sep, "/"))
with zipfile.ZipFile(target, "w") as archive:
    for entry in sorted(files):
        info = zipfile.ZipInfo(entry, date_time=stamp)
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, entry), "rb") as source:
            archive.writestr(info, source.read(), compresslevel=9)
PY
mv "$zip.tmp" "$zip"
# The zip's own checksum lies beside it, to be published with it: the
# SHA256SUMS inside can only be trusted once the zip is.
(cd "$OUT" && sha256sum "$name-win32.zip" >"$name-win32.zip.sha256")
echo "dist: $zip"
cat "$zip.sha256"
