#!/usr/bin/env bash
# The release package is reproducible and complete: two links of the DLL are
# byte for byte the same and carry no link time; two packages made from the
# same tree (at different times, under different umasks) are the same file;
# the package holds the stripped DLL stamped with the commit time, the
# documents for integrators only, a SHA256SUMS that its files match and the
# zip's own checksum beside it, no build path in the binaries, and the
# packaged binaries' checksums in its SBOM; with KASSE_SIM, its
# qelhost.exe runs the site guide's test sale under Wine from the package
# alone.
#   dist_test.sh SOURCE_DIR BUILD_DIR DLL RELINKED_DLL [KASSE_SIM]
set -euo pipefail

SOURCE=$1
BUILD=$2
DLL=$3
RELINKED=$4
KASSE_SIM=${5:-}
OBJDUMP=${QEL_OBJDUMP:-i686-w64-mingw32-objdump}

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
work=$(mktemp -d "${TMPDIR:-/tmp}/qel-dist-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The TimeDateStamp of a PE file's COFF header: 4 bytes, 8 bytes after the
# offset that the DOS header holds at 0x3c.
pe_timestamp() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
print(struct.unpack_from("<I", data, pe + 8)[0])
PY
}

# 1. The link.
cmp -s "$DLL" "$RELINKED" || fail "two links of QelConnect.dll differ: $(cmp "$DLL" "$RELINKED" 2>&1 | head -n 1)"
[ "$(pe_timestamp "$DLL")" = 0 ] || fail "QelConnect.dll carries a link time: $(pe_timestamp "$DLL")"

# 2. Two packages, a second apart, with different permissions on the
# staged files. Both carry the time of the commit that is the last one now,
# even if another one lands in between.
epoch=$(git -C "$SOURCE" log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch
(umask 022 && bash "$SOURCE/scripts/dist.sh" "$BUILD" "$work/first" >/dev/null)
sleep 1
(umask 077 && bash "$SOURCE/scripts/dist.sh" "$BUILD" "$work/second" >/dev/null)
first=$(ls "$work"/first/QelConnect-*-win32.zip)
second=$(ls "$work"/second/QelConnect-*-win32.zip)
[ "$(basename "$first")" = "$(basename "$second")" ] || fail "package names differ: $first $second"
cmp -s "$first" "$second" || fail "two packages of the same tree differ: $(cmp "$first" "$second" 2>&1 | head -n 1)"

# 3. What is inside.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ "$(basename "$first")" = "QelConnect-$version-win32.zip" ] || fail "package name $(basename "$first")"
python3 - "$first" "$work/unpacked" "QelConnect-$version" "$epoch" <<'PY' || failures=$((failures + 1))
import hashlib, sys, time, zipfile

package, target, top, epoch = sys.argv[1:5]
problems = []
with zipfile.ZipFile(package) as archive:
    infos = archive.infolist()
    names = [info.filename for info in infos]
    if names != sorted(names):
        problems.append("entries are not sorted")
    # Zip keeps times to two seconds.
    stamp = time.gmtime(int(epoch) // 2 * 2)[:6]
    for info in infos:
        if info.date_time != stamp:
            problems.append(f"{info.filename} has the time {info.date_time}, not the commit's {stamp}")
        if info.external_attr >> 16 != 0o100644:
            problems.append(f"{info.filename} has the mode {oct(info.external_attr >> 16)}")
    for required in ["QelConnect.dll", "qelhost.exe", "SHA256SUMS", "README.md", "examples/QelConnect.xml",
                     "examples/Sales.ini", "examples/sale.json", "examples/refund.json",
                     "docs/configuration.md", "docs/troubleshooting.md", "docs/kasse.wsdl", "docs/kasse.xsd",
                     "tools/kasse-sim/README.md", "CHANGELOG.md", "QelConnect.spdx.json",
                     "docs/operations.md", "docs/cashier-card.md"]:
        if f"{top}/{required}" not in names:
            problems.append(f"{required} is missing")
    # Integrator documents only: nothing written for the developers.
    for developer_document in ["docs/reliability.md", "docs/performance.md", "docs/signing.md",
                               "docs/development.md"]:
        if f"{top}/{developer_document}" in names:
            problems.append(f"{developer_document} is in the package")
    if any(n.startswith(f"{top}/docs/screenshots/") for n in names):
        problems.append("the screenshots are in the package")
    # The package's README is the site guide, for what is in the package:
    # nothing of building it; unsigned, it says so.
    readme = archive.read(f"{top}/README.md").decode("utf-8")
    if "**This package is not signed**" not in readme:
        problems.append("README.md does not say that the package is not signed")
    for builder_word in ["make ", "build/", "scripts/"]:
        if builder_word in readme:
            problems.append(f"README.md speaks of {builder_word.strip()}")
    archive.extractall(target)

# SHA256SUMS names every other file, and each matches.
listed = {}
with open(f"{target}/{top}/SHA256SUMS") as sums:
    for line in sums:
        digest, name = line.rstrip("\n").split("  ", 1)
        listed[name] = digest
others = sorted(n[len(top) + 1:] for n in names if n != f"{top}/SHA256SUMS")
if sorted(listed) != others:
    problems.append(f"SHA256SUMS lists {sorted(listed)}, the package holds {others}")
for name, digest in listed.items():
    with open(f"{target}/{top}/{name}", "rb") as file:
        if hashlib.sha256(file.read()).hexdigest() != digest:
            problems.append(f"{name} does not match SHA256SUMS")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY

# The reference check that dist.sh runs: the package as it is passes, the
# same package with a mention of a source file and a broken link does not.
unpacked=$work/unpacked/QelConnect-$version
if [ -d "$unpacked" ]; then
  python3 "$SOURCE/scripts/check-package-refs.py" "$unpacked" || fail "the package's documents name missing files"
  cp -r "$unpacked" "$work/stray"
  printf 'See `tests/support/tls_fixture.sh` and [the notes](notes.md).\n' >>"$work/stray/docs/operations.md"
  python3 "$SOURCE/scripts/check-package-refs.py" "$work/stray" >"$work/stray.out" || true
  [ "$(wc -l <"$work/stray.out")" = 2 ] || fail "the reference check found $(cat "$work/stray.out") in a stray package"
fi

# The zip's own checksum beside it.
(cd "$work/first" && sha256sum -c --quiet "$(basename "$first").sha256") ||
  fail "no matching $(basename "$first").sha256 beside the zip"

# No path of the machine that built them in the packaged binaries; the SBOM
# in the package carries their own checksums.
for binary in QelConnect.dll qelhost.exe; do
  path=$work/unpacked/QelConnect-$version/$binary
  [ -f "$path" ] || continue
  leaked=$(strings -n 6 "$path" | grep -F -e "$SOURCE" -e "$BUILD" -e win32-deps -e /work/ | head -n 3 || true)
  [ -z "$leaked" ] || fail "$binary carries build paths: $leaked"
  digest=$(sha256sum "$path" | cut -d' ' -f1)
  grep -q "\"checksumValue\": \"$digest\"" "$work/unpacked/QelConnect-$version/QelConnect.spdx.json" ||
    fail "the packaged SBOM lacks $binary's checksum $digest"
done

packaged=$work/unpacked/QelConnect-$version/QelConnect.dll
if [ -f "$packaged" ]; then
  [ "$(pe_timestamp "$packaged")" = "$epoch" ] || fail "the packaged DLL's time $(pe_timestamp "$packaged") is not the commit's $epoch"
  if "$OBJDUMP" -h "$packaged" | grep -q '\.debug_'; then fail "the packaged DLL has debug sections"; fi
  # Stripping leaves the export table alone: the same thirteen names.
  exports() { "$OBJDUMP" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | grep '\['; }
  [ "$(exports "$packaged" | wc -l)" = 13 ] || fail "the packaged DLL exports $(exports "$packaged" | wc -l) names"
  [ "$(exports "$packaged")" = "$(exports "$DLL")" ] || fail "the packaged DLL's exports differ from the built one's"
fi

# 4. The site guide's test sale, with the package's files only: its
# example configuration pointed at a simulator that wants its credentials.
unpacked=$work/unpacked/QelConnect-$version
if [ -n "$KASSE_SIM" ] && [ -f "$unpacked/qelhost.exe" ]; then
  "$KASSE_SIM" --port 0 --user QELUSER --password change-me >"$work/sim.out" 2>"$work/sim.err" &
  sim=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  port=$(head -n 1 "$work/sim.out")
  mkdir -p "$work/site"
  sed "s#<url>[^<]*</url>#<url>http://127.0.0.1:$port/sap/bc/srt/rfc/sap/zqel_kasse</url>#" \
    "$unpacked/examples/QelConnect.xml" >"$work/site/QelConnect.xml"
  cp "$unpacked/examples/Sales.ini" "$work/site/"
  status=0
  (cd "$unpacked" && bash "$SOURCE/scripts/wine-run.sh" qelhost.exe --workdir "Z:$work/site" --answers ok,ok \
    'examples\sale.json' </dev/null >"$work/sale.out" 2>&1) || status=$?
  kill "$sim" && wait "$sim" 2>/dev/null || true
  [ $status -eq 0 ] || fail "the package's test sale exited with $status: $(tr -d '\r' <"$work/sale.out")"
  # The site guide's verify: the packaged DLL loads under its own qelhost.exe.
  status=0
  (cd "$unpacked" && bash "$SOURCE/scripts/wine-run.sh" qelhost.exe verify </dev/null >"$work/verify.out" 2>&1) ||
    status=$?
  [ $status -eq 0 ] && grep -q "all 13 exports found" "$work/verify.out" ||
    fail "the package's verify exited with $status: $(tr -d '\r' <"$work/verify.out")"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "reproducible: $(sha256sum "$first" | cut -d' ' -f1)  $(basename "$first")"
