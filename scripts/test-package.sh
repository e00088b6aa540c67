#!/usr/bin/env bash
# The package test of a built folder (default build-run, what a user runs):
#  1. cmake --install into a throw-away prefix; the installed modules keep no
#     build-tree run path and the plug-in finds the engine beside itself;
#  2. the consumer project (tests/consumer) builds against that install with
#     find_package(Keystead), then with the pkg-config files, and runs;
#  3. cpack -G DEB: each package's files and control fields;
#  4. the packages unpacked into one root (dpkg-deb -x): the unpacked host,
#     with no option but --port 0, serves the page and the plug-in;
#  5. the systemd user unit (systemd-analyze verify where it runs here).
# Builds nothing but the consumer. Usage: test-package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-run}")
work=$(mktemp -d "${TMPDIR:-/tmp}/keystead-package.XXXXXX")
host_pid=""
cleanup() {
  [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

version=$(sed -n 's/^#define KEYSTEAD_VERSION "\(.*\)"$/\1/p' "$build/generated/KeysteadVersion.h")
[ -n "$version" ] || fail "no version in $build/generated/KeysteadVersion.h"
config=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" | tr '[:upper:]' '[:lower:]')
echo "Keystead $version ($build, ${config:-no build type})"

# What keeps a plug-in off the user's own registry and folders, as in the host tests.
mkdir -p "$work/scratch"
echo '{}' >"$work/scratch/registry.json"
scratch=(env -u KEYSTEAD_SIM_SCENARIO -u KEYSTEAD_DEBUG_OUTPUT
  KEYSTEAD_REGISTRY="$work/scratch/registry.json"
  KEYSTEAD_LOCALAPPDATA="$work/scratch/localappdata"
  KEYSTEAD_PROGRAMDATA="$work/scratch/programdata"
  KEYSTEAD_MACHINE_KEY_FILE="$work/scratch/machine.key")

# The dynamic section entry (NEEDED, SONAME, RUNPATH, RPATH) of an ELF file, one per line.
dynamic() { readelf -d "$1" | sed -n "s/.*($2).*\[\(.*\)\]$/\1/p"; }

echo "== cmake --install into a throw-away prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
plugin=$(find "$prefix" -name Corvane.Keystead.Plugin.so)
libdir=$(dirname "$plugin")
[ -f "$libdir/Corvane.Keystead.SDKLib.so" ] || fail "the stand-in engine is not beside the plug-in"
# shellcheck disable=SC2016 # the literal text $ORIGIN
[ "$(dynamic "$plugin" RUNPATH)" = '$ORIGIN' ] || fail "the plug-in's run path is not \$ORIGIN alone"
dynamic "$plugin" NEEDED | grep -qx Corvane.Keystead.SDKLib.so || fail "the plug-in does not need the engine by its file name"
[ "$(dynamic "$libdir/Corvane.Keystead.SDKLib.so" SONAME)" = Corvane.Keystead.SDKLib.so ] ||
  fail "the stand-in engine's SONAME is not its file name"
for module in "$prefix/bin/keystead-host" "$libdir/KeysteadVault.so" "$libdir/Corvane.Keystead.SDKLib.so"; do
  [ -z "$(dynamic "$module" RUNPATH)$(dynamic "$module" RPATH)" ] || fail "$module keeps a run path"
done
"$prefix/bin/keystead-host" --version | grep -qx "keystead-host $version" || fail "--version"

echo "== consumer: find_package(Keystead $version) and Keystead::Plugin"
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
"${scratch[@]}" "$work/consumer/keystead-consumer"

echo "== consumer: pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
pkg-config --libs keystead-plugin | grep -q -- "-l:Corvane.Keystead.Plugin.so" || fail "keystead-plugin.pc"
[ "$(pkg-config --modversion keystead-plugin)" = "$version" ] || fail "keystead-plugin.pc version"
# shellcheck disable=SC2046
g++ -o "$work/consumer-pc" tests/consumer/consumer.cc $(pkg-config --cflags --libs keystead-plugin) \
  -Wl,-rpath,"$(pkg-config --variable=libdir keystead-plugin)"
"${scratch[@]}" "$work/consumer-pc"
# The vault's header compiles alone and its library links by its pkg-config file.
printf '#include <keystead/KeysteadVault.h>\nint main() { KeysteadVaultFree(nullptr); }\n' >"$work/vault.cc"
# shellcheck disable=SC2046
g++ -std=c++11 -o "$work/vault-pc" "$work/vault.cc" $(pkg-config --cflags --libs keystead-vault) \
  -Wl,-rpath,"$(pkg-config --variable=libdir keystead-vault)"
"$work/vault-pc" || fail "a program linking KeysteadVault.so does not run"
# The plug-in's interface is plain C as well.
printf '#include <keystead/KeysteadPlugin.h>\nint main(void) { Finalize(); return 0; }\n' >"$work/plugin.c"
# shellcheck disable=SC2046
gcc -std=c99 -Wall -Werror -fsyntax-only $(pkg-config --cflags keystead-plugin) "$work/plugin.c"
unset PKG_CONFIG_PATH

echo "== Debian packages (cpack -G DEB)"
debs="$work/debs"
packages=(keystead-host libkeystead libkeystead-dev keystead-engine-standin)
(cd "$build" && cpack -G DEB -B "$debs" >/dev/null)
arch=$(dpkg --print-architecture)
deb() { echo "$debs/$1_${version}_$arch.deb"; }

# The package's files (no folders), sorted, against the expected list.
check_files() {
  local package=$1
  shift
  local actual expected
  actual=$(dpkg-deb -c "$(deb "$package")" | awk '{print $NF}' | grep -v '/$' | LC_ALL=C sort)
  expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
  diff -u --label "$package (expected)" --label "$package (built)" <(echo "$expected") <(echo "$actual") ||
    fail "the files of $package"
}
# A control field matches an extended regular expression.
check_field() {
  local package=$1 field=$2 pattern=$3 value
  value=$(dpkg-deb -f "$(deb "$package")" "$field")
  grep -Eq -- "$pattern" <<<"$value" || fail "$package: $field is '$value', expected /$pattern/"
}

web=./usr/share/keystead/web
check_files keystead-host ./usr/bin/keystead-host ./usr/lib/systemd/user/keystead-host.service \
  $web/index.html $web/app.js $web/style.css $web/keystead-client.js $web/openapi.json
check_files libkeystead ./usr/lib/Corvane.Keystead.Plugin.so ./usr/lib/KeysteadVault.so
check_files libkeystead-dev ./usr/include/keystead/KeysteadPlugin.h \
  ./usr/include/keystead/KeysteadPluginExport.h ./usr/include/keystead/KeysteadVault.h \
  ./usr/include/keystead/VaultExport.h ./usr/lib/cmake/Keystead/KeysteadConfig.cmake \
  ./usr/lib/cmake/Keystead/KeysteadConfigVersion.cmake ./usr/lib/cmake/Keystead/KeysteadTargets.cmake \
  "./usr/lib/cmake/Keystead/KeysteadTargets-${config:-noconfig}.cmake" \
  ./usr/lib/pkgconfig/keystead-plugin.pc ./usr/lib/pkgconfig/keystead-vault.pc
check_files keystead-engine-standin ./usr/lib/Corvane.Keystead.SDKLib.so

for package in "${packages[@]}"; do
  check_field "$package" Package "^$package\$"
  check_field "$package" Version "^$version\$"
  check_field "$package" Architecture "^$arch\$"
  check_field "$package" Maintainer "<[^@>]+@[^>]+>"
  check_field "$package" Description "Keystead"
done
check_field keystead-host Depends "(^|, )libkeystead \(= $version\)(,|\$)"
check_field keystead-host Depends "(^|, )libjsoncpp25( |,|\$)"
check_field keystead-host Depends "(^|, )libc6( |,|\$)"
check_field libkeystead Depends "(^|, )keystead-engine(,|\$)"
check_field libkeystead Depends "(^|, )libjsoncpp25( |,|\$)"
check_field libkeystead Depends "(^|, )libssl3( |,|\$)"
check_field libkeystead-dev Depends "^libkeystead \(= $version\)\$"
check_field keystead-engine-standin Provides "^keystead-engine\$"
check_field keystead-engine-standin Conflicts "^keystead-engine\$"
check_field keystead-engine-standin Depends "(^|, )libjsoncpp25( |,|\$)"

echo "== the unpacked packages: host, page and plug-in"
root="$work/root"
for package in "${packages[@]}"; do
  dpkg-deb -x "$(deb "$package")" "$root"
done
unpacked_host="$root/usr/bin/keystead-host"
"$unpacked_host" --version | grep -qx "keystead-host $version" || fail "the unpacked host's --version"
"${scratch[@]}" "$unpacked_host" --port 0 </dev/null >"$work/host.log" 2>&1 &
host_pid=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's|.*listening on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$work/host.log")
  [ -n "$port" ] && break
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || fail "the unpacked host did not start: $(cat "$work/host.log")"
# It loaded the unpacked plug-in, and that plug-in the unpacked engine.
for module in Corvane.Keystead.Plugin.so Corvane.Keystead.SDKLib.so; do
  grep -qF " $root/usr/lib/$module" "/proc/$host_pid/maps" || fail "the unpacked host did not load $root/usr/lib/$module"
done
status() { curl -s -o /dev/null -w '%{http_code}' -m 10 "$@"; }
page=$(status "http://127.0.0.1:$port/")
answer=$(status -H "Content-Type: application/json" "http://127.0.0.1:$port/q/v1/status/deviceid")
echo "GET / -> $page, GET /q/v1/status/deviceid -> $answer"
if [ "$page" != 200 ] || [ "$answer" != 200 ]; then
  fail "the unpacked host's answers ($(cat "$work/host.log"))"
fi
kill "$host_pid"
wait "$host_pid" || fail "the unpacked host did not stop cleanly on SIGTERM"
host_pid=""

echo "== the systemd user unit"
unit="$root/usr/lib/systemd/user/keystead-host.service"
for section in Unit Service Install; do
  grep -qx "\[$section\]" "$unit" || fail "the unit has no [$section] section"
done
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
# The packaged host, on its fixed loopback port (the host never binds another interface).
[ "$exec_start" = "/usr/bin/keystead-host --port 8787" ] || fail "ExecStart=$exec_start"
grep -qx "Restart=on-failure" "$unit" || fail "the unit does not restart the host on failure"
grep -qx "WantedBy=default.target" "$unit" || fail "the unit is not wanted by the user's default target"
# systemd-analyze checks that ExecStart is executable, so it verifies a copy
# naming the unpacked host. It runs where it can set up a user manager: a
# known-good unit shows whether it does.
runtime="$work/runtime"
mkdir -p "$runtime/units"
printf '[Service]\nExecStart=/bin/true\n' >"$runtime/units/probe.service"
sed "s|^ExecStart=/usr/bin/keystead-host|ExecStart=$unpacked_host|" "$unit" >"$runtime/units/keystead-host.service"
if command -v systemd-analyze >/dev/null &&
  XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user "$runtime/units/probe.service" >/dev/null 2>&1; then
  # It passes a misspelt key with a warning only: any remark fails.
  remarks=$(XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user \
    "$runtime/units/keystead-host.service" 2>&1) || fail "systemd-analyze verify: $remarks"
  [ -z "$remarks" ] || fail "systemd-analyze verify: $remarks"
  echo "systemd-analyze verify --user: the unit is valid"
else
  echo "systemd-analyze cannot run here: the unit was checked by parsing only"
fi

echo "The package test passed: install, consumer (CMake package and pkg-config), ${#packages[@]} Debian packages, unpacked host, unit."
