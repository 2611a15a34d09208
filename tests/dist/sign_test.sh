#!/usr/bin/env bash
# The signed release package: a throw-away code-signing CA and certificate
# made with openssl sign the DLL and qelhost.exe through scripts/dist.sh; both
# verify against that CA with osslsigncode, SHA256SUMS covers the signed
# files, and one changed byte in a signed file fails its verification.
#   sign_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

SOURCE=$1
BUILD=$2

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
work=$(mktemp -d "${TMPDIR:-/tmp}/qel-sign-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# The CA, and a certificate for code signing that it issued; the key and the
# certificate go into a PKCS#12 file under a password, as a vendor's would.
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -keyout ca.key -out ca.pem -subj "/CN=QelConnect Test Signing CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha256 -keyout signer.key -out signer.csr -subj "/CN=QelConnect Test Vendor" \
  2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3 -sha256 -extfile signer.ext \
  -out signer.pem 2>/dev/null
printf 'ein Passwort\n' >password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -passout file:password.txt -out signer.p12

QEL_SIGN_PKCS12=$work/signer.p12 QEL_SIGN_PASSWORD_FILE=$work/password.txt \
  bash "$SOURCE/scripts/dist.sh" "$BUILD" "$work/out" >/dev/null
package=$(ls "$work"/out/QelConnect-*-win32.zip)
mkdir unpacked
(cd unpacked && python3 -m zipfile -e "$package" .)
top=$(ls unpacked)

(cd "unpacked/$top" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed files"
grep -qF "**This package is signed**" "unpacked/$top/README.md" || fail "README.md does not say that it is signed"
if grep -qF "not signed" "unpacked/$top/README.md"; then fail "README.md says that it is not signed"; fi
for binary in QelConnect.dll qelhost.exe; do
  digest=$(sha256sum "unpacked/$top/$binary" | cut -d' ' -f1)
  grep -q "\"checksumValue\": \"$digest\"" "unpacked/$top/QelConnect.spdx.json" ||
    fail "the SBOM lacks the signed $binary's checksum"
done

verify() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.out" 2>&1; }
for binary in QelConnect.dll qelhost.exe; do
  file=unpacked/$top/$binary
  if ! verify "$file"; then
    fail "$binary does not verify:"
    sed 's/^/    /' verify.out
    continue
  fi
  grep -qi "digest algorithm *: *SHA256" verify.out || fail "$binary is not signed with SHA-256"
  # A byte in the middle of the code, well inside the signed part.
  cp "$file" changed.bin
  python3 - changed.bin <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[len(data) // 3] ^= 0x01
open(path, "wb").write(bytes(data))
PY
  if verify changed.bin; then fail "$binary with one changed byte still verifies"; fi
done

# Against another CA, the same signature does not verify.
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -keyout other.key -out other.pem -subj "/CN=Other CA" \
  -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null
if osslsigncode verify -CAfile other.pem -in "unpacked/$top/QelConnect.dll" >/dev/null 2>&1; then
  fail "QelConnect.dll verifies against a CA that did not issue its certificate"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "signed: QelConnect.dll and qelhost.exe verify; a changed byte does not"
