#!/usr/bin/env bash
# The reference host's checks: robustness tests of its loopback door, a tour of
# every route of the plug-in, the load check, the short soak (a leak check), the
# browser test of the demo page (Playwright driving Debian's Chromium,
# headless), and the check of the API description web/openapi.json against the
# answers that the robustness tests, the tour and the browser test recorded
# (the load check and the soak send thousands of the same requests: they record
# nothing).
# Usage: test-host.sh [build folder [more build folders]]
# The first folder (default: build) runs everything; each further folder (for
# example a sanitizer build) runs the robustness tests and the tour again.
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
answers=$(mktemp "${TMPDIR:-/tmp}/keystead-answers.XXXXXX.jsonl")
trap 'rm -f "$answers"' EXIT
for folder in "${folders[@]}"; do
  echo "== host: robustness tests and the tour of the routes ($folder)"
  (cd tests/host && KS_ANSWER_LOG="$answers" KEYSTEAD_BUILD_DIR="$PWD/../../$folder" \
    python3 -m unittest -v test_robustness test_api_tour)
done

echo "== host: load check (${folders[0]})"
(cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" python3 load_check.py)

echo "== host: soak, short form (${folders[0]})"
(cd tests/host && KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" python3 soak.py)

echo "== host: browser test (${folders[0]}); screenshots in test-artifacts/"
(cd tests/host && KS_ANSWER_LOG="$answers" KEYSTEAD_BUILD_DIR="$PWD/../../${folders[0]}" \
  node --test browser.test.mjs)

echo "== host: the API description and the answers recorded against it"
(cd tests/host && node --test api-check.test.mjs)
node tests/host/api-check.mjs --answers "$answers"
