#!/usr/bin/env bash
# Test fixture for the HTTPS and simulator tests: makes a test CA and server
# certificates with the openssl command, then starts kasse-sim instances on
# free loopback ports; "stop" ends them again.
#   tls_fixture.sh start KASSE_SIM DIR
#   tls_fixture.sh stop DIR
# DIR receives ca.pem, other-ca.pem, the test CA as DER (ca.der) and as an
# OpenSSL CA directory (ca-directory), a text file that holds no certificate
# (not-pem.txt), the CA padded to 1 MiB and to one byte more (ca-1mib.pem,
# ca-over-1mib.pem) and, per server NAME, NAME.port.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/tls_lib.sh"

make_certificates() {
  cd "$1"
  # The CA that the tests put into caFile, and a second one that signs
  # nothing the servers use.
  make_ca ca "QelConnect Test CA"
  make_ca other-ca "QelConnect Other CA"

  # Server certificates signed by the test CA: one for this host, one for
  # another host name.
  local name cn san
  for name in trusted wrongname; do
    if [ $name = trusted ]; then
      cn=localhost san="DNS:localhost,IP:127.0.0.1"
    else
      cn=kasse.invalid san="DNS:kasse.invalid"
    fi
    openssl req -newkey rsa:2048 -nodes -sha256 -keyout $name.key -out $name.csr -subj "/CN=$cn" 2>/dev/null
    printf '%s\n' "subjectAltName=$san" "basicConstraints=CA:FALSE" \
      "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" > $name.ext
    openssl x509 -req -sha256 -days $TLS_DAYS -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
      -extfile $name.ext -out $name.pem 2>/dev/null
  done
  # A self-signed certificate for this host that no one trusts.
  make_self_signed untrusted "DNS:localhost,IP:127.0.0.1"
  # Signed by the test CA for this host, but naming it only in the common
  # name, without subjectAltName: OpenSSL accepts it, Schannel does not.
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout noaltname.key -out noaltname.csr -subj "/CN=localhost" \
    2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "extendedKeyUsage=serverAuth" >noaltname.ext
  openssl x509 -req -sha256 -days $TLS_DAYS -in noaltname.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile noaltname.ext -out noaltname.pem 2>/dev/null
  # caFile mistakes: the right CA in DER form, and a file of plain text.
  openssl x509 -in ca.pem -outform DER -out ca.der
  # The test CA in a folder of the kind a libcurl build may trust by
  # default, found by the hash of its name.
  mkdir ca-directory
  cp ca.pem ca-directory/
  openssl rehash ca-directory
  echo "QelConnect test: this is no certificate" >not-pem.txt
  # The CA padded with line ends to the size limit of a caFile, and one byte
  # past it.
  local size
  size=$(stat -c %s ca.pem)
  { cat ca.pem; head -c $((1048576 - size)) /dev/zero | tr '\0' '\n'; } >ca-1mib.pem
  { cat ca-1mib.pem; echo; } >ca-over-1mib.pem
}

start_servers() {
  local dir=$1
  start_server "$dir" trusted --tls "$dir/trusted.pem" "$dir/trusted.key"
  start_server "$dir" wrongname --tls "$dir/wrongname.pem" "$dir/wrongname.key"
  start_server "$dir" untrusted --tls "$dir/untrusted.pem" "$dir/untrusted.key"
  start_server "$dir" noaltname --tls "$dir/noaltname.pem" "$dir/noaltname.key"
  start_server "$dir" plain --user kasse --password "$(printf 'geh\xc3\xa9im')" --rect 0 \
    --rectmsg "$(printf 'Beleg \xc3\xbcbernommen')" --prefix ns1 --record "$dir/recorded"
}

fixture_main make_certificates start_servers "$@"
