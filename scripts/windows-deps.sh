#!/usr/bin/env bash
# Everything the Windows cross build needs: Debian's mingw-w64 (posix threads),
# Wine and python3-pefile (the version resource check) from apt-get, then
# JsonCpp (from Debian's source package) and GoogleTest (from
# /usr/src/googletest) built as static Windows libraries into a prefix under
# the dependency folder, with cpp-httplib's header. Libraries already in the
# prefix are kept. Usage: windows-deps.sh [dependency folder, default build-win-deps]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-paths.sh "${1:-}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(
  cmake make dpkg-dev openssl googletest curl pkg-config
  g++-mingw-w64-x86-64-posix wine64 python3-pefile
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# apt-get source needs a deb-src entry for the archive the machine installs from.
has_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -Eqs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}
add_deb_src() {
  local added=/etc/apt/sources.list.d/keystead-deb-src
  if compgen -G "/etc/apt/sources.list.d/*.sources" >/dev/null; then
    # deb822 (Debian 12's debian.sources): the same stanzas with source types.
    cat /etc/apt/sources.list.d/*.sources | sed -E 's/^Types:.*/Types: deb-src/' |
      $sudo tee "$added.sources" >/dev/null
  fi
  if [ -f /etc/apt/sources.list ] && grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' |
      $sudo tee "$added.list" >/dev/null
  fi
  $sudo apt-get update -qq
}

build_jsoncpp() {
  [ -f "$prefix/lib/libjsoncpp.a" ] && return 0
  has_deb_src || add_deb_src
  local work="$deps/src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq --download-only libjsoncpp >/dev/null &&
    dpkg-source -x --skip-patches ./*.dsc jsoncpp >/dev/null)
  # Debian's patches only touch its own packaging; the upstream tree builds as is.
  cmake -S "$work/jsoncpp" -B "$deps/jsoncpp-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_EXAMPLE=OFF >/dev/null
  cmake --build "$deps/jsoncpp-build" -j"$(nproc)" >/dev/null
  cmake --install "$deps/jsoncpp-build" >/dev/null
}

build_googletest() {
  [ -f "$prefix/lib/libgmock_main.a" ] && return 0
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$deps/googletest-build" -j"$(nproc)" >/dev/null
  cmake --install "$deps/googletest-build" >/dev/null
}

# cpp-httplib: the upstream single header of Debian's source package (the
# binary package ships a header split from its Linux library), with a
# pkg-config file pointing at it, since /usr/include must stay out of a
# Windows build.
provide_httplib() {
  [ -f "$prefix/lib/pkgconfig/cpp-httplib.pc" ] && return 0
  has_deb_src || add_deb_src
  local work="$deps/httplib-src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq --download-only cpp-httplib >/dev/null &&
    dpkg-source -x --skip-patches ./*.dsc httplib >/dev/null)
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$work/httplib/httplib.h" "$prefix/include/"
  cat >"$prefix/lib/pkgconfig/cpp-httplib.pc" <<PC
Name: cpp-httplib
Description: cpp-httplib, header only, for the Windows cross build
Version: $(sed -n 's/^#define CPPHTTPLIB_VERSION "\(.*\)"/\1/p' "$prefix/include/httplib.h")
Cflags: -I$prefix/include
Libs: -lws2_32
PC
}

mkdir -p "$deps"
build_jsoncpp
build_googletest
provide_httplib
echo "Windows dependencies in $prefix"
