#!/usr/bin/env bash
# Starts Zoetra from a build folder: the window where there is a display;
# without one, a sample rendered with the headless renderer instead.
set -euo pipefail
build=${1:-build}
[ $# -gt 0 ] && shift # the rest: images for the palette
cd "$(dirname "$0")/.."
if [ -x "$build/src/platform/zoetra" ] && [ -n "${DISPLAY:-}" ]; then
    exec "$build/src/platform/zoetra" "$@"
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "There is no display, so the window cannot open; rendering a sample with zoetra-render instead."
fi
sample=$(ls samples/*.gif 2>/dev/null | head -n 1)
out=${ZOETRA_OUTPUT:-$PWD/zoetra.gif}
# The renderer ends with the line that says where the animation went.
exec "$build/src/cli/zoetra-render" -o "$out" "$sample"
