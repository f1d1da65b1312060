#!/bin/sh
# Runs one fuzzer from its committed seeds for a number of seconds:
#   run-fuzzer.sh FUZZER SEEDS SECONDS ARTIFACTS
# New inputs go to a fresh temporary folder (removed afterwards), never into the seeds;
# an input that failed is copied to ARTIFACTS as <fuzzer>-crash-<hash> (or leak-,
# timeout-, oom-). Fails on any crash, mismatch or sanitizer report.
set -u
fuzzer=$1 seeds=$2 seconds=$3 artifacts=$4
name=$(basename "$fuzzer")
work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/found" || exit 1
export QT_QPA_PLATFORM=offscreen
"$fuzzer" "$work/corpus" "$seeds" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/found/"
status=$?
if [ "$status" -ne 0 ]; then
    echo "$name failed (exit status $status)" >&2
    for found in "$work/found/"*; do
        [ -f "$found" ] || continue
        mkdir -p "$artifacts" || exit "$status"
        cp "$found" "$artifacts/$name-$(basename "$found")"
        echo "$name: the failing input is $artifacts/$name-$(basename "$found")" >&2
    done
fi
exit "$status"
