#!/usr/bin/env bash
# Installs what is missing, builds and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the window off-screen for five seconds."
    QT_QPA_PLATFORM=offscreen timeout 5 build/default/src/qrt-tester || true
else
    build/default/src/qrt-tester
fi
