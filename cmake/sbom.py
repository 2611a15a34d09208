#!/usr/bin/env python3
"""Writes the SPDX 2.3 JSON SBOM of the Windows build: QelConnect's two
binaries with their SHA-256 checksums, and every component linked into each
(libcurl, tinyxml2, CLI11, nlohmann-json, libstdc++, libgcc, winpthreads and
the mingw-w64 CRT), each with its version, licence and the Debian source
package it was built from.

  sbom.py --deps DIR --version V --source TREE --compiler CXX --output FILE
          --dll QelConnect.dll --exe qelhost.exe

Versions come from the headers and the Debian packages on this machine;
which binary holds which component is fixed below and checked against the
link maps by tests/dist/sbom_test.sh. scripts/dist.sh calls
update_checksums() for the stripped (and signed) files it packages.
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import time

# QelConnect's own licence; the SBOM states it instead of NOASSERTION.
OWN_LICENCE = "LicenseRef-QelConnect"
OWN_LICENCE_TEXT = ("QelConnect is proprietary software, licensed to a site under the terms of its supply "
                    "contract. It is not open source.")
PUBLIC_DOMAIN = "LicenseRef-public-domain"
PUBLIC_DOMAIN_TEXT = "Parts of the mingw-w64 runtime are in the public domain."

BOTH = ["QelConnect.dll", "qelhost.exe"]
# name, licence, binaries, how its version is found
COMPONENTS = [
    ("libcurl", "curl", BOTH, "curl"),
    ("tinyxml2", "Zlib", BOTH, "tinyxml2"),
    ("CLI11", "BSD-3-Clause", ["qelhost.exe"], "cli11"),
    ("nlohmann-json", "MIT", ["qelhost.exe"], "nlohmann"),
    ("libstdc++", "GPL-3.0-or-later WITH GCC-exception-3.1", BOTH, "libstdc++.a"),
    ("libgcc", "GPL-3.0-or-later WITH GCC-exception-3.1", BOTH, "libgcc.a"),
    ("winpthreads", "MIT AND BSD-3-Clause", BOTH, "libpthread.a"),
    ("mingw-w64-crt", f"ZPL-2.1 AND {PUBLIC_DOMAIN}", BOTH, "libmingwex.a"),
]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


def header_define(path, name):
    with open(path, encoding="utf-8") as header:
        for line in header:
            m = re.match(rf'#define {name} +"?([^" \n]+)"?', line)
            if m:
                return m.group(1)
    sys.exit(f"sbom: no {name} in {path}")


def debian_package_of(path, binary_version=None):
    """(source package, its version) of the installed package that holds path;
    with binary_version, a list receives that package's own version (for the
    compiler's libraries, whose source package is versioned apart from GCC)."""
    package = run("dpkg-query", "-S", os.path.realpath(path)).split(":")[0]
    fields = run("dpkg-query", "-W", "-f", "${source:Package} ${source:Version} ${Version}", package).split(" ")
    if binary_version is not None:
        binary_version.append(fields[2])
    return fields[0], fields[1]


def debian_source_of_dsc(deps, folder):
    found = [f for f in os.listdir(os.path.join(deps, "src", folder)) if f.endswith(".dsc")]
    if len(found) != 1:
        sys.exit(f"sbom: expected one .dsc in {deps}/src/{folder}, found {len(found)}")
    fields = {}
    with open(os.path.join(deps, "src", folder, found[0]), encoding="utf-8") as dsc:
        for line in dsc:
            key, _, value = line.partition(": ")
            if key in ("Source", "Version"):
                fields[key] = value.strip()
    return fields["Source"], fields["Version"]


def tls_backend(library):
    data = open(library, "rb").read()
    for backend in ("Schannel", "OpenSSL", "GnuTLS", "mbedTLS", "wolfSSL"):
        if b"\0" + backend.encode() + b"\0" in data:
            return backend
    sys.exit(f"sbom: no TLS backend found in {library}")


def upstream(debian_version):
    return re.sub(r"^\d+:", "", debian_version).split("-")[0].split("+")[0]


def component_version(how, args):
    include = os.path.join(args.deps, "prefix", "include")
    if how == "curl":
        source, debian = debian_source_of_dsc(args.deps, "curl")
        return header_define(os.path.join(include, "curl", "curlver.h"), "LIBCURL_VERSION"), source, debian
    if how == "tinyxml2":
        source, debian = debian_source_of_dsc(args.deps, "tinyxml2")
        header = os.path.join(include, "tinyxml2.h")
        parts = [header_define(header, f"TINYXML2_{p}_VERSION") for p in ("MAJOR", "MINOR", "PATCH")]
        return ".".join(parts), source, debian
    if how == "cli11":
        header = "/usr/include/CLI/Version.hpp"
        return header_define(header, "CLI11_VERSION"), *debian_package_of(header)
    if how == "nlohmann":
        header = "/usr/include/nlohmann/json.hpp"
        macros = os.path.join(os.path.dirname(header), "detail", "abi_macros.hpp")
        if not os.path.exists(macros):
            macros = header
        parts = [header_define(macros, f"NLOHMANN_JSON_VERSION_{p}") for p in ("MAJOR", "MINOR", "PATCH")]
        return ".".join(parts), *debian_package_of(header)
    # A library of the compiler's: the package that installed it.
    binary = []
    source, debian = debian_package_of(run(args.compiler, f"-print-file-name={how}"), binary)
    return upstream(binary[0]), source, debian


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def file_id(name):
    return "SPDXRef-File-" + name.replace(".", "-")


def update_checksums(sbom, folder):
    """Puts the SHA-256 of each binary as it lies in folder into sbom."""
    for entry in sbom["files"]:
        entry["checksums"] = [{"algorithm": "SHA256", "checksumValue": sha256(os.path.join(folder, entry["fileName"][2:]))}]


def build(args):
    packages = [{
        "SPDXID": "SPDXRef-Package-QelConnect", "name": "QelConnect", "versionInfo": args.version,
        "downloadLocation": "NOASSERTION", "filesAnalyzed": False, "licenseConcluded": OWN_LICENCE,
        "licenseDeclared": OWN_LICENCE, "copyrightText": "NOASSERTION",
        "comment": "QelConnect.dll and qelhost.exe",
    }]
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": "SPDXRef-Package-QelConnect"}]
    files = []
    for name, path in (("QelConnect.dll", args.dll), ("qelhost.exe", args.exe)):
        files.append({"SPDXID": file_id(name), "fileName": f"./{name}",
                      "checksums": [{"algorithm": "SHA256", "checksumValue": sha256(path)}],
                      "licenseConcluded": OWN_LICENCE, "copyrightText": "NOASSERTION"})
        relationships.append({"spdxElementId": "SPDXRef-Package-QelConnect", "relationshipType": "CONTAINS",
                              "relatedSpdxElement": file_id(name)})
    tls = tls_backend(os.path.join(args.deps, "prefix", "lib", "libcurl.a"))
    for name, licence, binaries, how in COMPONENTS:
        version, source, debian = component_version(how, args)
        comment = "linked statically into " + " and ".join(binaries)
        if name == "libcurl":
            comment += f"; TLS backend: {tls}"
        spdx_id = "SPDXRef-Package-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)
        packages.append({
            "SPDXID": spdx_id, "name": name, "versionInfo": version, "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False, "licenseConcluded": licence, "licenseDeclared": licence,
            "copyrightText": "NOASSERTION", "sourceInfo": f"built from the Debian source package {source} {debian}",
            "comment": comment,
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": f"pkg:deb/debian/{source}@{debian.replace('+', '%2B')}?arch=source"}],
        })
        for binary in binaries:
            relationships.append({"spdxElementId": file_id(binary), "relationshipType": "STATIC_LINK",
                                  "relatedSpdxElement": spdx_id})
    created = run("git", "-C", args.source, "log", "-1", "--format=%ct")
    stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(created)))
    return {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"QelConnect-{args.version}-win32",
        "documentNamespace": f"https://spdx.org/spdxdocs/QelConnect-{args.version}-win32-{created}",
        "creationInfo": {"created": stamp, "creators": ["Tool: QelConnect cmake/sbom.py"]},
        "documentDescribes": ["SPDXRef-Package-QelConnect"],
        "hasExtractedLicensingInfos": [
            {"licenseId": OWN_LICENCE, "extractedText": OWN_LICENCE_TEXT, "name": "QelConnect licence"},
            {"licenseId": PUBLIC_DOMAIN, "extractedText": PUBLIC_DOMAIN_TEXT, "name": "public domain"}],
        "packages": packages, "files": files, "relationships": relationships,
    }


def write(sbom, path):
    with open(path + ".tmp", "w", encoding="utf-8") as out:
        json.dump(sbom, out, indent=2, ensure_ascii=False)
        out.write("\n")
    os.replace(path + ".tmp", path)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--deps", "--version", "--source", "--compiler", "--output", "--dll", "--exe"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    write(build(args), args.output)


if __name__ == "__main__":
    main()
