#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts the reference host
# with the stand-in engine; it prints the URL of the demo page to open.
# Arguments go to the host (--port N, --threads N, --plugin PATH, --web FOLDER).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build-run.sh
exec build-run/host/keystead-host "$@"
