#!/usr/bin/env bash
# Starts Zoetra from a build folder. Until the desktop window is built, this
# renders a bundled effect on a sample image with the headless renderer.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
if [ -x "$build/src/app/zoetra" ] && [ -n "${DISPLAY:-}" ]; then
    exec "$build/src/app/zoetra"
fi
if [ -x "$build/src/cli/zoetra-render" ]; then
    sample=$(ls samples/*.gif 2>/dev/null | head -n 1)
    out=${ZOETRA_OUTPUT:-$PWD/zoetra.gif}
    # The renderer ends with the line that says where the animation went.
    exec "$build/src/cli/zoetra-render" -o "$out" "$sample"
fi
echo "Zoetra's effect engine is built in $build; the renderer and the window are not built yet."
