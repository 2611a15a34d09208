#!/usr/bin/env bash
# The SBOM tells the truth about the binaries. Every component it lists for a
# binary is linked into it and every component linked in is listed: the
# linker's map names the archives it took members from (libcurl.a,
# libstdc++.a, libmingwex.a, ...), and the header-only libraries show by
# their symbols in the unstripped binary. The checksums are the binaries'
# own, QelConnect's licence is stated, and each version is the one that
# qelhost.exe --version reports from the code linked into it.
#   sbom_test.sh SBOM QELHOST_EXE WINE_RUN
set -euo pipefail

SBOM=$1
QELHOST=$2
WINE_RUN=$3
BUILD=$(dirname "$SBOM")
NM=${QEL_NM:-i686-w64-mingw32-nm}

out=$(mktemp -d "${TMPDIR:-/tmp}/qel-sbom.XXXXXX")
trap 'rm -rf "$out"' EXIT
bash "$WINE_RUN" "$QELHOST" --version </dev/null >"$out/version" 2>&1 || { cat "$out/version"; exit 1; }
for binary in QelConnect.dll qelhost.exe; do
  "$NM" -C "$BUILD/$binary" >"$out/$binary.symbols"
done

python3 - "$SBOM" "$out" "$BUILD" <<'PY'
import hashlib, json, os, re, sys

sbom_path, out, build = sys.argv[1:4]
sbom = json.load(open(sbom_path))
problems = []
if sbom.get("spdxVersion") != "SPDX-2.3":
    problems.append(f"spdxVersion {sbom.get('spdxVersion')}")
packages = {p["SPDXID"]: p for p in sbom["packages"]}
files = {f["SPDXID"]: f for f in sbom["files"]}
listed = {}
for r in sbom["relationships"]:
    if r["relationshipType"] == "STATIC_LINK" and r["spdxElementId"] in files:
        name = files[r["spdxElementId"]]["fileName"][2:]
        listed.setdefault(name, set()).add(packages[r["relatedSpdxElement"]]["name"])

# What the linker took: each archive by the component it belongs to. Import
# libraries of Windows' own DLLs are no component; an archive of the
# project's own build is QelConnect itself.
ARCHIVES = {"libcurl.a": "libcurl", "libtinyxml2.a": "tinyxml2", "libstdc++.a": "libstdc++",
            "libgcc.a": "libgcc", "libgcc_eh.a": "libgcc", "libpthread.a": "winpthreads",
            "libwinpthread.a": "winpthreads", "libmingwex.a": "mingw-w64-crt", "libmsvcrt.a": "mingw-w64-crt",
            "libmingw32.a": "mingw-w64-crt", "libmoldname.a": "mingw-w64-crt"}
SYSTEM = {"libkernel32.a", "libuser32.a", "libgdi32.a", "libadvapi32.a", "libws2_32.a", "libcrypt32.a",
          "libbcrypt.a", "libsecur32.a", "libversion.a", "libshell32.a", "libole32.a", "liboleaut32.a",
          "libuuid.a", "libcomdlg32.a", "libmsvcrt-os.a", "libucrtbase.a", "libcomctl32.a"}
HEADER_ONLY = {"CLI11": "CLI::", "nlohmann-json": "nlohmann::"}
for binary in ("QelConnect.dll", "qelhost.exe"):
    linked = set()
    map_text = open(os.path.join(build, os.path.splitext(binary)[0] + ".map"), encoding="utf-8", errors="replace").read()
    # The first section lists each member taken, an "archive(member)" line
    # at the start of the line, and nothing else starts a line that way.
    for archive in set(re.findall(r"(?m)^\S*?([^/\s(]+\.a)\(", map_text)):
        if archive in ARCHIVES:
            linked.add(ARCHIVES[archive])
        elif archive.startswith("libqel") or archive.startswith("libqelhost") or archive in SYSTEM:
            pass
        else:
            problems.append(f"{binary}: {archive} is linked, and belongs to no component the test knows")
    if re.search(r"\bcrt2\.o\b|\bdllcrt2\.o\b", map_text):
        linked.add("mingw-w64-crt")
    symbols = open(os.path.join(out, binary + ".symbols"), encoding="utf-8", errors="replace").read()
    for name, prefix in HEADER_ONLY.items():
        if prefix in symbols:
            linked.add(name)
    if linked != listed.get(binary, set()):
        problems.append(f"{binary}: linked {sorted(linked)}, the SBOM lists {sorted(listed.get(binary, set()))}")
    entry = [f for f in files.values() if f["fileName"] == f"./{binary}"][0]
    digest = hashlib.sha256(open(os.path.join(build, binary), "rb").read()).hexdigest()
    if entry["checksums"] != [{"algorithm": "SHA256", "checksumValue": digest}]:
        problems.append(f"{binary}: checksum {entry['checksums']}, the file's is {digest}")

by_name = {p["name"]: p for p in packages.values()}
own = by_name["QelConnect"]
if own["licenseDeclared"] in ("", "NOASSERTION"):
    problems.append("QelConnect: no licence")
for name, package in by_name.items():
    if name == "QelConnect":
        continue
    if package["licenseDeclared"] in ("", "NOASSERTION"):
        problems.append(f"{name}: no licence")
    if not package.get("sourceInfo", "").startswith("built from the Debian source package "):
        problems.append(f"{name}: no source package")
    if not re.fullmatch(r"\d+(\.\d+)+", package["versionInfo"]):
        problems.append(f"{name}: version {package['versionInfo']!r}")

# "QelConnect 1.0.0 (Z:\...)", then "  libcurl 7.88.1 (Schannel)", "  tinyxml2 9.0.0".
lines = open(os.path.join(out, "version"), encoding="utf-8").read().replace("\r", "").splitlines()
first = re.fullmatch(r"QelConnect (\S+) \(.*\)", lines[0]) if lines else None
if not first or first.group(1) != own["versionInfo"]:
    problems.append(f"QelConnect: the SBOM says {own['versionInfo']}, --version {lines[:1]}")
for line in lines[1:]:
    m = re.fullmatch(r"  (\S+) (\S+)(?: \((.*)\))?", line)
    if not m:
        problems.append(f"unexpected line in --version: {line!r}")
        continue
    name, version, detail = m.groups()
    if name not in by_name:
        problems.append(f"{name} is in the binary, not in the SBOM")
    elif by_name[name]["versionInfo"] != version:
        problems.append(f"{name}: the SBOM says {by_name[name]['versionInfo']}, the binary {version}")
    elif detail is not None and f"TLS backend: {detail}" not in by_name[name].get("comment", ""):
        problems.append(f"{name}: the binary uses {detail}, the SBOM says {by_name[name].get('comment')!r}")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY
echo "the SBOM matches what was linked and what qelhost.exe --version reports"
