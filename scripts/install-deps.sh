#!/usr/bin/env bash
# Installs, with apt-get, every Debian package the build and the tests need
# and that is not installed yet, plus the packages named as arguments.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format
  libjsoncpp-dev libssl-dev openssl libcpp-httplib-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dpkg-dev curl systemd
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
