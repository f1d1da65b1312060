#!/usr/bin/env bash
# Builds everything and runs every test (unit, screen, end-to-end, real binary under
# Xvfb); then builds it all once more with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (leak checking on) under build-sanitize/ and runs the suite
# there too, with each fuzzer for 30 s and minutes of the real program polling the
# simulated controller. Any sanitizer report fails the run. Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/check-format.sh
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")

echo "test: the same suite with the sanitizers, and the fuzzers"
cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DVANTREL_SANITIZE=ON -DVANTREL_FUZZ=ON ${VANTREL_CMAKE_ARGS:-} >/dev/null
cmake --build build-sanitize -j"$(nproc)"
(cd build-sanitize && ctest --output-on-failure -j"$(nproc)" "$@")
