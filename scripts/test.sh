#!/usr/bin/env bash
# Builds everything and runs every test (unit, screen, end-to-end, real binary under Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/check-format.sh
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
