#!/usr/bin/env bash
# Checks the export tables of the two shipped libraries of a hook-free build
# against the committed ones in tests/exports/ (one file per library: both
# platforms export the same names) and fails with the difference when they
# differ.
#   check-exports.sh linux|windows <build folder> [--update]
# --update writes the built tables over the committed ones instead, after a
# change of the exports that is meant.
set -euo pipefail
cd "$(dirname "$0")/.."
platform=${1:-}
build=${2:-}
update=${3:-}

# The names that a library exports, demangled, one per line, sorted.
case "$platform" in
linux)
  suffix=so
  table() { nm -D --defined-only -C "$1" | cut -d' ' -f3- | LC_ALL=C sort -u; }
  ;;
windows)
  suffix=dll
  table() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      awk '/^\t\[/ {print $NF}' | c++filt | LC_ALL=C sort -u
  }
  ;;
*)
  echo "usage: check-exports.sh linux|windows <build folder> [--update]" >&2
  exit 2
  ;;
esac

status=0
for library in plugin/Corvane.Keystead.Plugin vault/KeysteadVault; do
  file="$build/$library.$suffix"
  expected="tests/exports/$(basename "$library").txt"
  actual=$(table "$file")
  [ -n "$actual" ] || {
    echo "$file exports nothing (or is missing)"
    exit 1
  }
  if [ "$update" = --update ]; then
    printf '%s\n' "$actual" >"$expected"
    echo "wrote $expected"
  elif ! diff -u --label "$expected (committed)" --label "$file (built)" "$expected" - <<<"$actual"; then
    echo "The export table of $file is not $expected: '-' lines are not exported," \
      "'+' lines are exported but not committed. A library a user runs exports its" \
      "interface and nothing else (no test hook)."
    status=1
  fi
done
if [ "$status" -eq 0 ] && [ "$update" != --update ]; then
  echo "The export tables of $build are those of tests/exports/ ($platform)."
fi
exit "$status"
