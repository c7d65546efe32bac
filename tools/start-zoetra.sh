#!/usr/bin/env bash
# Starts Zoetra from a build folder: the window where there is a display;
# without one, the pictures (or a sample) rendered with the headless
# renderer instead.
set -euo pipefail
build=${1:-build}
[ $# -gt 0 ] && shift
# The rest: pictures for the palette, relative to the folder this runs in.
pictures=()
for picture in "$@"; do
    case $picture in
    /*) pictures+=("$picture") ;;
    *) pictures+=("$PWD/$picture") ;;
    esac
done
cd "$(dirname "$0")/.."
if [ -x "$build/src/platform/zoetra" ] && [ -n "${DISPLAY:-}" ]; then
    exec "$build/src/platform/zoetra" "${pictures[@]}"
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "There is no display, so the window cannot open; rendering with zoetra-render instead."
fi
# The pictures given, or else the first sample.
[ ${#pictures[@]} -gt 0 ] || pictures=("$(ls samples/*.gif 2>/dev/null | head -n 1)")
out=${ZOETRA_OUTPUT:-$PWD/zoetra.gif}
# The renderer ends with the line that says where the animation went.
exec "$build/src/cli/zoetra-render" -o "$out" "${pictures[@]}"
