#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
ctest --test-dir "${OSC_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
