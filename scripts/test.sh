#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset "${1:-default}"
cmake --build --preset "${1:-default}"
ctest --preset "${1:-default}"
