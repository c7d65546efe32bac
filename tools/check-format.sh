#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree is not laid out as
# .clang-format says. `clang-format -i FILE` lays one out.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -d .git ] && command -v git >/dev/null; then
    mapfile -t files < <(git ls-files '*.cpp' '*.hpp')
else
    mapfile -t files < <(find src tests tools bench fuzz -name '*.cpp' -o -name '*.hpp' | sort)
fi
unformatted=()
for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "not laid out as .clang-format says (clang-format -i FILE...):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "format check: ${#files[@]} files laid out as .clang-format says"
