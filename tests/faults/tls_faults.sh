#!/usr/bin/env bash
# Test fixture for the TLS fault tests: makes a test CA and four server
# certificates with the openssl command (trusted, expired, self-signed, for
# the wrong host name) and starts one kasse-sim per certificate, and three
# more with the trusted certificate that speak only TLS 1.1, 1.2 or 1.3.
#   tls_faults.sh start KASSE_SIM DIR
#   tls_faults.sh stop DIR
# DIR receives ca.pem, permissive-openssl.cnf (an OpenSSL configuration that
# allows TLS 1.0 and 1.1 and every signature algorithm, for OPENSSL_CONF)
# and, per server NAME, NAME.port.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../support/tls_lib.sh"

make_certificates() {
  cd "$1"
  make_ca ca "QelConnect Fault CA"

  # Requests carry their extensions; the CA copies them into the certificate.
  local name cn
  for name in trusted expired wrongname; do
    cn=localhost
    [ $name = wrongname ] && cn=kasse.invalid
    openssl req -newkey rsa:2048 -nodes -sha256 -keyout $name.key -out $name.csr -subj "/CN=$cn" \
      -addext "subjectAltName=DNS:$cn" -addext "extendedKeyUsage=serverAuth" 2>/dev/null
  done

  # "openssl ca" is the command that takes an explicit validity period, which
  # the expired certificate needs.
  : >index.txt
  echo 1000 >serial
  cat >ca.cnf <<CNF
[ca]
default_ca = fault_ca
[fault_ca]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
default_days = $TLS_DAYS
policy = any_name
copy_extensions = copy
unique_subject = no
[any_name]
commonName = supplied
CNF
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in trusted.csr -out trusted.pem 2>/dev/null
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in wrongname.csr -out wrongname.pem \
    2>/dev/null
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
    -startdate 20200101000000Z -enddate 20200201000000Z 2>/dev/null
  make_self_signed selfsigned "DNS:localhost"

  # Some systems' OpenSSL refuses TLS 1.1 by itself (Debian's stops at 1.2
  # and security level 2); under this configuration only the program's own
  # floor stands between a client and an old server.
  cat >permissive-openssl.cnf <<CNF
openssl_conf = openssl_init
[openssl_init]
ssl_conf = ssl_configuration
[ssl_configuration]
system_default = tls_system_default
[tls_system_default]
MinProtocol = TLSv1
CipherString = DEFAULT@SECLEVEL=0
CNF
}

start_servers() {
  local name
  for name in trusted expired wrongname selfsigned; do
    start_server "$1" $name --tls "$1/$name.pem" "$1/$name.key"
  done
  local version
  for version in 1.2 1.3; do
    start_server "$1" "tls${version/./}" --tls "$1/trusted.pem" "$1/trusted.key" --tls-version $version
  done
  OPENSSL_CONF="$1/permissive-openssl.cnf" start_server "$1" tls11 --tls "$1/trusted.pem" "$1/trusted.key" \
    --tls-version 1.1
}

fixture_main make_certificates start_servers "$@"
