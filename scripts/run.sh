#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the driver.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/tools/ks-driver "$@"
