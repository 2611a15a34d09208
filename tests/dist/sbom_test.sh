#!/usr/bin/env bash
# The SBOM tells the truth about the binaries: QelConnect's version is the
# one the DLL carries, and each component's version (libcurl with its TLS
# backend, tinyxml2) is the one qelhost.exe reports from the code linked into
# it, which is the same static library that the DLL links.
#   sbom_test.sh SBOM QELHOST_EXE WINE_RUN
set -euo pipefail

SBOM=$1
QELHOST=$2
WINE_RUN=$3

out=$(mktemp "${TMPDIR:-/tmp}/qel-sbom.XXXXXX")
trap 'rm -f "$out"' EXIT
bash "$WINE_RUN" "$QELHOST" --version </dev/null >"$out" 2>&1 || { cat "$out"; exit 1; }

python3 - "$SBOM" "$out" <<'PY'
import json, re, sys

sbom = json.load(open(sys.argv[1]))
lines = open(sys.argv[2], encoding="utf-8").read().replace("\r", "").splitlines()
problems = []
if sbom.get("spdxVersion") != "SPDX-2.3":
    problems.append(f"spdxVersion {sbom.get('spdxVersion')}")
packages = {p["name"]: p for p in sbom["packages"]}
if sorted(packages) != ["QelConnect", "libcurl", "tinyxml2"]:
    problems.append(f"packages {sorted(packages)}")

# "QelConnect 1.0.0 (Z:\...)", then "  libcurl 7.88.1 (Schannel)", "  tinyxml2 9.0.0".
reported = {}
first = re.fullmatch(r"QelConnect (\S+) \(.*\)", lines[0]) if lines else None
if first:
    reported["QelConnect"] = (first.group(1), None)
for line in lines[1:]:
    m = re.fullmatch(r"  (\S+) (\S+)(?: \((.*)\))?", line)
    if m:
        reported[m.group(1)] = (m.group(2), m.group(3))
    else:
        problems.append(f"unexpected line in --version: {line!r}")

for name, package in packages.items():
    if name not in reported:
        problems.append(f"{name} is in the SBOM, not in qelhost --version")
        continue
    version, detail = reported[name]
    if package["versionInfo"] != version:
        problems.append(f"{name}: the SBOM says {package['versionInfo']}, the binary {version}")
    if name != "QelConnect":
        if package["licenseDeclared"] in ("", "NOASSERTION"):
            problems.append(f"{name}: no licence")
        if not package.get("sourceInfo", "").startswith("built from the Debian source package "):
            problems.append(f"{name}: no source package")
    if detail is not None and f"TLS backend: {detail}" not in package.get("comment", ""):
        problems.append(f"{name}: the binary uses {detail}, the SBOM says {package.get('comment')!r}")
for name in reported:
    if name not in packages:
        problems.append(f"{name} is in the binary, not in the SBOM")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY
echo "the SBOM matches qelhost.exe --version"
