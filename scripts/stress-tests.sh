#!/bin/bash
# Runs the engine and window tests over and over while busy loops keep the
# cores loaded: a test that waits on time rather than on what it checks fails
# here first.
#   scripts/stress-tests.sh [-n RUNS] [-l LOADERS] [-j JOBS] [-R REGEX] [BUILD_DIR]
# The tests must be built in BUILD_DIR (default: build); each run's ctest
# output goes to BUILD_DIR/stress/run-N.log.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=20
LOADERS=$(nproc)
JOBS=$(nproc)
REGEX='^(tst_playercontrol|tst_playscreen|tst_enginedevices|tst_realengine|tst_movarawindow|tst_movarawindow_realengine|tst_movaralogic|tst_adapterfilters|tst_adapterengine|tst_adapterscreen)$'
while getopts n:l:j:R: option; do
    case $option in
    n) RUNS=$OPTARG ;;
    l) LOADERS=$OPTARG ;;
    j) JOBS=$OPTARG ;;
    R) REGEX=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
BUILD=${1:-$ROOT/build}
mkdir -p "$BUILD/stress"

loaders=()
stop_load() {
    for pid in "${loaders[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait "${loaders[@]}" 2>/dev/null
}
trap stop_load EXIT
trap 'exit 130' INT TERM
for _ in $(seq "$LOADERS"); do
    (while :; do :; done) &
    loaders+=($!)
done

failed=0
for run in $(seq "$RUNS"); do
    log=$BUILD/stress/run-$run.log
    if ctest --test-dir "$BUILD" -R "$REGEX" --output-on-failure --timeout 600 -j"$JOBS" >"$log" 2>&1; then
        echo "run $run: passed ($(grep -o 'Total Test time (real) = *[0-9.]* sec' "$log"))"
    else
        failed=$((failed + 1))
        echo "run $run: FAILED: $(grep -E '^[[:space:]]*[0-9]+ - ' "$log" | tr -s ' ' | tr '\n' ';')"
    fi
done
echo "$failed of $RUNS runs failed with $LOADERS busy loops, $JOBS tests at a time"
[ "$failed" -eq 0 ]
