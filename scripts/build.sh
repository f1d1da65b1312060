#!/usr/bin/env bash
# Configures and builds everything under build/ (release with debug info).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VANTREL_CMAKE_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)"
