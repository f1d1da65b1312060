#!/usr/bin/env bash
# Builds, then runs the end-to-end and screen tests (ctest -L 'e2e|gui') N times (20 by
# default) while more busy loops than the machine has cores run at normal priority, as
# a machine shared with other builds is. Prints how many runs passed and, for each run
# that failed, the failing tests and their FAIL! lines; the logs stay in
# build/test-under-load/. Fails when any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
case $runs in '' | *[!0-9]* | 0)
    echo "usage: $0 [runs]" >&2
    exit 2
    ;;
esac
bash scripts/build.sh
logs=$PWD/build/test-under-load
rm -rf "$logs"
mkdir -p "$logs"

hogs=()
stop_hogs() {
    if [ ${#hogs[@]} -gt 0 ]; then
        kill "${hogs[@]}" 2>/dev/null || true
        wait "${hogs[@]}" 2>/dev/null || true
    fi
    hogs=()
}
trap stop_hogs EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Not niced: a niced loop takes almost nothing from the tests.
for _ in $(seq $(($(nproc) + 1))); do
    sh -c 'while :; do :; done' &
    hogs+=($!)
done
echo "test-under-load: $runs runs beside ${#hogs[@]} busy loops on $(nproc) cores"

passed=0
failed=()
for run in $(seq "$runs"); do
    log=$logs/run-$run.log
    if (cd build && ctest -L 'e2e|gui' -j"$(nproc)" --output-on-failure) >"$log" 2>&1; then
        passed=$((passed + 1))
        echo "run $run: passed"
    else
        failed+=("$run")
        echo "run $run: FAILED ($log)"
    fi
done
stop_hogs

echo "under load: $passed/$runs runs passed"
for run in "${failed[@]}"; do
    log=$logs/run-$run.log
    echo "run $run failed:"
    # ctest's list of the failed tests, then each failure with where it happened.
    sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ' || true
    awk '/^FAIL!/ { on = 1 } on { print "    " $0 } /^ *Loc:/ { on = 0 }' "$log"
done
[ "$passed" -eq "$runs" ]
