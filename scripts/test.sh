#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds and runs every test
# once plainly, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# replays and runs the fuzz targets (scripts/fuzz.sh --check), the
# concurrency tests under ThreadSanitizer, and every test of the Windows
# cross build under Wine; checks the export tables of the hook-free libraries
# that the run command builds. Fails on any failure or report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

jobs=$(nproc)

echo "== the run command's build: no test hook, export tables as committed"
scripts/build-run.sh
scripts/check-exports.sh linux build-run
echo "== the run command's build installed and packaged: consumer, Debian packages, unpacked host"
scripts/test-package.sh build-run

# The test builds: the suites need the libraries' test hooks.
tests_on=(-DKS_BUILD_TESTS=ON -DKS_TEST_HOOKS=ON)

echo "== plain build and tests"
scripts/build.sh build "${tests_on[@]}" -DKS_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan "${tests_on[@]}" -DKS_SANITIZE="address;undefined" -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzz targets: seed corpus, regression inputs and a fixed-seed pass"
scripts/fuzz.sh --check

# Test suites whose name holds "Concurrency" or "Stress" are the ones that race threads.
echo "== ThreadSanitizer"
scripts/build.sh build-tsan "${tests_on[@]}" -DKS_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -R "Concurrency|Stress"

echo "== reference host: robustness (plain and sanitizer builds), load check, browser test"
scripts/test-host.sh build build-asan

echo "== benchmarks (one short pass each)"
for bench in build/bench/*; do
  [ -x "$bench" ] && [ -f "$bench" ] || continue
  "$bench" --benchmark_min_time=0.05
done

echo "== Windows: cross build with mingw-w64, tests under Wine"
scripts/test-windows.sh build-win
echo "All tests passed."
