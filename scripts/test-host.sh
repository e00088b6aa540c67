#!/usr/bin/env bash
# The reference host's checks: robustness tests of its loopback door, the load
# check, the short soak (a leak check) and the browser test of the demo page
# (Playwright driving Debian's Chromium, headless).
# Usage: test-host.sh [build folder [more build folders]]
# The first folder (default: build) runs everything; each further folder (for
# example a sanitizer build) runs the robustness tests again.
set -euo pipefail
cd "$(dirname "$0")/.."
folders=("${@:-build}")

# Chromium for the browser test; Node and npm only where the machine has none
# (a Node of another origin already brings its own npm).
extras=(chromium)
command -v npm >/dev/null 2>&1 || extras+=(nodejs npm)
scripts/install-deps.sh "${extras[@]}"
# The lock file pins playwright-core; it downloads no browser.
npm ci --prefix tests/host --no-audit --no-fund --loglevel=error

for folder in "${folders[@]}"; do
  [ -f "$folder/CMakeCache.txt" ] || scripts/build.sh "$folder"
  cmake --build "$folder" --target keystead-host -j"$(nproc)" >/dev/null
done

export PYTHONDONTWRITEBYTECODE=1
for folder in "${folders[@]}"; do
  echo "== host: robustness tests ($folder)"
  (cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../$folder" python3 -m unittest -v test_robustness)
done

echo "== host: load check (${folders[0]})"
(cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" python3 load_check.py)

echo "== host: soak, short form (${folders[0]})"
(cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" python3 soak.py)

echo "== host: browser test (${folders[0]}); screenshots in test-artifacts/"
(cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" node --test browser.test.mjs)
