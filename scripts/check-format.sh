#!/usr/bin/env bash
# Fails when a C++ source or header of the project differs from what clang-format-14 makes of
# it with the project's .clang-format; prints the files that do.
#   scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format-14 >/dev/null 2>&1; then
    echo "clang-format-14 is missing (scripts/deps.sh clang-format-14 installs it)" >&2
    exit 1
fi
unformatted=()
while IFS= read -r -d '' file; do
    clang-format-14 --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z '*.cpp' '*.h' 2>/dev/null ||
    find . \( -name '*.cpp' -o -name '*.h' \) -not -path './build*' -print0)
if [ ${#unformatted[@]} -ne 0 ]; then
    echo "Not formatted as .clang-format says (run clang-format-14 -i on them):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "every source is formatted"
