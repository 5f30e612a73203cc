#!/bin/sh
# Sets up a fresh Debian machine, builds Movara with its tests and runs them.
#   scripts/test.sh              build in build/ and run every test
#   scripts/test.sh --werror     warnings are errors
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"
CMAKE_ARGS=""
for arg in "$@"; do
    case "$arg" in
    --werror) CMAKE_ARGS="$CMAKE_ARGS -DMOVARA_WERROR=ON" ;;
    --sanitize) CMAKE_ARGS="$CMAKE_ARGS -DMOVARA_SANITIZE=ON"; BUILD="$ROOT/build-asan" ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

"$ROOT/scripts/setup-deps.sh"
# shellcheck disable=SC2086
cmake -S "$ROOT" -B "$BUILD" $CMAKE_ARGS
cmake --build "$BUILD" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$BUILD"
ctest --output-on-failure --timeout 600 -j"$(nproc)"
