#!/bin/sh
# Checks that every C and C++ file of the tree is formatted as the checked-in
# .clang-format says; names the files that are not.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format them in place
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
command -v clang-format >/dev/null 2>&1 || {
    echo "clang-format is missing: scripts/setup-deps.sh installs it" >&2
    exit 1
}
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files '*.cpp' '*.h' '*.c')
else
    files=$(find src adapter launcher tools tests bench -name '*.cpp' -o -name '*.h' -o -name '*.c')
fi
if [ "${1:-}" = --fix ]; then
    # shellcheck disable=SC2086
    clang-format -i $files
    exit 0
fi
off=""
for file in $files; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || off="$off $file"
done
if [ -n "$off" ]; then
    echo "Not formatted as .clang-format says (scripts/check-format.sh --fix):" >&2
    for file in $off; do
        echo "  $file" >&2
    done
    exit 1
fi
echo "clang-format: $(echo "$files" | wc -l) files as .clang-format says"
