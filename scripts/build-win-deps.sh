#!/usr/bin/env bash
# Builds the static 32-bit Windows libcurl, tinyxml2 and GoogleTest from
# Debian's own source packages into build/win32-deps/prefix. Idempotent: a
# stamp per package records what was built, so a second run does nothing.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEPS=$ROOT/build/win32-deps
SRC=$DEPS/src
WORK=$DEPS/build
PREFIX=$DEPS/prefix
STAMPS=$DEPS/stamps
JOBS=${JOBS:-$(nproc)}

TRIPLE=i686-w64-mingw32
CC=$TRIPLE-gcc-posix
CXX=$TRIPLE-g++-posix
export AR=$TRIPLE-ar RANLIB=$TRIPLE-ranlib STRIP=$TRIPLE-strip

# Bump a recipe number whenever the way that package is built changes, so
# that its stamp no longer matches and the package is built again.
CURL_RECIPE=3
TINYXML2_RECIPE=2
GOOGLETEST_RECIPE=1

log() { echo "build-win-deps: $*"; }

# The Debian source version of the native development package, so that both
# targets are built from the same upstream release. Empty when the native
# package is missing; apt then picks its candidate.
native_version() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}

# Runs a build step with its output in a log file; shows the log's end on
# failure so the cause is visible without digging.
run_logged() {
  local logfile=$1; shift
  if ! "$@" >>"$logfile" 2>&1; then
    log "FAILED: $* (last lines of $logfile follow)"
    tail -n 40 "$logfile" >&2
    exit 1
  fi
}

# Unpacks Debian's source package (with its patches applied) into a fresh
# directory and prints the path of the unpacked tree.
fetch_source() {
  local pkg=$1 version=$2 dir=$SRC/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  local wanted=$pkg
  [ -n "$version" ] && wanted="$pkg=$version"
  if ! (cd "$dir" && apt-get source -qq "$wanted" >"$dir.fetch.log" 2>&1); then
    if [ -n "$version" ]; then
      log "$wanted is not available as source; using apt's candidate" >&2
      (cd "$dir" && apt-get source -qq "$pkg" >"$dir.fetch.log" 2>&1) ||
        { tail -n 20 "$dir.fetch.log" >&2; exit 1; }
    else
      tail -n 20 "$dir.fetch.log" >&2
      exit 1
    fi
  fi
  local tree
  tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -d "$tree/debian" ] || { log "no unpacked source tree in $dir" >&2; exit 1; }
  echo "$tree"
}

# True when the stamp for a package already records this exact build.
is_current() {
  [ -f "$STAMPS/$1" ] && [ "$(cat "$STAMPS/$1")" = "$2" ]
}

# The source tree's path as the compiler would write it into the library
# (__FILE__ in libcurl's messages, debug information) becomes its folder's
# name alone ("curl-7.88.1/lib/easy.c"), so that no path of the machine that
# built it reaches the binaries.
prefix_map() { printf -- '-ffile-prefix-map=%s=%s' "$1" "$(basename "$1")"; }

build_curl() {
  local tree=$1 build=$WORK/curl logfile=$WORK/curl.log
  # Debian's source carries the GnuTLS and NSS flavour patches on top; its
  # own OpenSSL build takes them off first, and so does this one.
  local p
  for p in 99_nss 90_gnutls; do
    # A tree built before has them off already, as its marker says.
    if grep -qx "$p.patch" "$tree/debian/patches/series" && [ ! -e "$tree/.$p.off" ]; then
      (cd "$tree" && patch -R -p1 -s <"debian/patches/$p.patch" && touch ".$p.off")
    fi
  done
  rm -rf "$build"; mkdir -p "$build"; : >"$logfile"
  # HTTP and HTTPS over Schannel only: every other protocol and every optional
  # library is left out, so the DLL needs nothing but system DLLs. UNICODE
  # makes libcurl read file names (the configured CA file) as UTF-8, as the
  # configuration gives them, instead of in the ANSI code page.
  (cd "$build" && run_logged "$logfile" "$tree/configure" \
    --host=$TRIPLE --prefix="$PREFIX" CC=$CC CFLAGS="-O2 -msse2 -mfpmath=sse $(prefix_map "$tree")" \
    CPPFLAGS="-DUNICODE -D_UNICODE" PKG_CONFIG=false \
    --disable-shared --enable-static \
    --with-schannel --without-openssl --without-gnutls --without-mbedtls \
    --without-wolfssl --without-bearssl --without-rustls --without-nss \
    --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp \
    --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap \
    --disable-smb --disable-smtp --disable-gopher --disable-mqtt \
    --disable-manual --disable-ntlm-wb --disable-unix-sockets --disable-pthreads \
    --without-zlib --without-brotli --without-zstd --without-libpsl \
    --without-libidn2 --without-winidn --without-nghttp2 --without-ngtcp2 \
    --without-nghttp3 --without-quiche --without-msh3 --without-hyper \
    --without-libssh2 --without-libssh --without-librtmp --without-libgsasl \
    --without-gssapi --without-ca-bundle --without-ca-path)
  (cd "$build" && run_logged "$logfile" make -C lib -j"$JOBS" V=0 &&
    run_logged "$logfile" make -C lib install &&
    run_logged "$logfile" make -C include install)
  rm -f "$PREFIX/lib/libcurl.la"
}

build_tinyxml2() {
  local tree=$1 build=$WORK/tinyxml2 logfile=$WORK/tinyxml2.log
  rm -rf "$build"; mkdir -p "$build" "$PREFIX/include" "$PREFIX/lib"; : >"$logfile"
  # One source file; compiled directly rather than through its CMake project.
  run_logged "$logfile" $CXX -std=c++17 -O2 -msse2 -mfpmath=sse -DNDEBUG $(prefix_map "$tree") \
    -c "$tree/tinyxml2.cpp" -o "$build/tinyxml2.o"
  run_logged "$logfile" $AR rcs "$build/libtinyxml2.a" "$build/tinyxml2.o"
  install -m 644 "$build/libtinyxml2.a" "$PREFIX/lib/"
  install -m 644 "$tree/tinyxml2.h" "$PREFIX/include/"
}

build_googletest() {
  local tree=$1 build=$WORK/googletest logfile=$WORK/googletest.log
  rm -rf "$build"; : >"$logfile"
  run_logged "$logfile" cmake -S "$tree" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  run_logged "$logfile" cmake --build "$build" -j"$JOBS"
  run_logged "$logfile" cmake --install "$build"
}

# build_package <source package> <native dev package> <recipe> <build function>
build_package() {
  local pkg=$1 native=$2 recipe=$3 fn=$4
  local version stamp
  version=$(native_version "$native")
  stamp="$pkg ${version:-candidate} recipe $recipe"
  if is_current "$pkg" "$stamp"; then
    return 0
  fi
  local start=$SECONDS tree
  log "building $pkg ${version:-(apt candidate)} for $TRIPLE"
  tree=$(fetch_source "$pkg" "$version")
  mkdir -p "$WORK" "$PREFIX" "$STAMPS"
  rm -f "$STAMPS/$pkg"
  "$fn" "$tree"
  echo "$stamp" >"$STAMPS/$pkg"
  log "$pkg done in $((SECONDS - start)) s"
}

build_package curl libcurl4-openssl-dev "$CURL_RECIPE" build_curl
build_package tinyxml2 libtinyxml2-dev "$TINYXML2_RECIPE" build_tinyxml2
build_package googletest libgtest-dev "$GOOGLETEST_RECIPE" build_googletest
log "all Windows dependencies present in $PREFIX"
