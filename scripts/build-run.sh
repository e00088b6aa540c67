#!/usr/bin/env bash
# Builds the run command's folder, build-run: what a user runs (the two
# libraries, the stand-in engine and the reference host), without tests,
# benchmarks or test hooks. It never shares a folder with the test builds,
# whose libraries export test hooks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build-run -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF -DKS_TEST_HOOKS=OFF
