#!/usr/bin/env bash
# Installs what is needed, builds, and starts Osciloskop on the simulated 4-channel module.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
bin="${OSC_BUILD_DIR:-build}/app/osciloskop"
exec "$bin" --port SIM4 "$@"
