#!/usr/bin/env bash
# Builds the fuzzers under build-fuzz/ (clang, Debug, AddressSanitizer and
# UndefinedBehaviorSanitizer, libFuzzer) and runs each one from its seeds in
# fuzz/corpus/<fuzzer>/ for SECONDS (300 by default), one after another.
# Stops at the first failure, naming the fuzzer and the input that failed it.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
bash scripts/install-deps.sh
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON \
    -DVANTREL_FUZZ=ON ${VANTREL_CMAKE_ARGS:-} >/dev/null
cmake --build build-fuzz -j2 --target vantrel_fuzzers
artifacts=$PWD/build-fuzz/fuzz/artifacts
for seeds in fuzz/corpus/*/; do
    fuzzer=$(basename "$seeds")
    echo "fuzz: $fuzzer for $seconds s"
    if ! sh fuzz/run-fuzzer.sh "build-fuzz/fuzz/$fuzzer" "$seeds" "$seconds" "$artifacts"; then
        echo "fuzz: $fuzzer FAILED; the input that failed it is in $artifacts/ (named above)" >&2
        exit 1
    fi
done
echo "fuzz: every fuzzer ran $seconds s without a failure"
