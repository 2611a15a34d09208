#!/usr/bin/env bash
# Installs every tool and library the build and the tests need, from Debian's
# own packages only. Idempotent: a second run finds everything present and
# returns within a second or two.
set -euo pipefail

NATIVE_PKGS=(
  cmake g++ make pkg-config ninja-build
  libcurl4-openssl-dev libtinyxml2-dev libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev openssl ca-certificates
  libcpp-httplib-dev nlohmann-json3-dev libcli11-dev
  libxml2-dev libxml2-utils
  valgrind python3
  clang-14 libclang-rt-14-dev clang-format-14
)
WIN_PKGS=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 xvfb dpkg-dev locales
  osslsigncode
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${NATIVE_PKGS[@]}" "${WIN_PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# apt-get source needs a deb-src entry for the same suites as the binaries.
SRC_LIST=/etc/apt/sources.list.d/qelconnect-src.sources
if [ ! -f "$SRC_LIST" ]; then
  $SUDO tee "$SRC_LIST" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The Wine tests run as a German Windows (LANG=de_DE.UTF-8); Wine and the
# shell take that locale only when the C library has it generated.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "install-deps: all packages present"
