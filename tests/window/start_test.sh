#!/usr/bin/env bash
# The README's start command with pictures, run as a new user runs it: from a
# folder of their own, with names relative to it, on a display. It builds
# with CMake's default generator (not Ninja) into BUILD_DIR, so the rules
# that make the data folder are checked under both generators, and the window
# must open with both pictures in its palette. A screenshot stays in OUT_DIR.
#
#   tests/window/start_test.sh BUILD_DIR OUT_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
mkdir -p "$2"
out=$(cd "$2" && pwd)
scratch=$(mktemp -d)
export HOME="$scratch/home"
mkdir -p "$HOME"

source "$root/tests/window/x_server.sh"
cleanup() {
    if [ -n "${app:-}" ]; then
        pkill -P "$app" 2>/dev/null || true
        kill "$app" 2>/dev/null || true
        wait "$app" 2>/dev/null || true
    fi
    stop_x_server
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "start test: $*" >&2
    [ -f "$scratch/start.log" ] && tail -n 30 "$scratch/start.log" | sed 's/^/  start: /' >&2
    exit 1
}

start_x_server "$scratch/xvfb.log" || fail "the X server did not start"

# A GIF and a PNG in a folder of the user's, one of them in a subfolder.
mkdir -p "$scratch/pictures/sub"
cp "$root/samples/photo.gif" "$scratch/pictures/first.gif"
convert "$root/samples/logo.gif" "$scratch/pictures/sub/second.png"
cd "$scratch/pictures"
CMAKE_GENERATOR="Unix Makefiles" ZOETRA_BUILD_DIR="$build" ZOETRA_TRACE=1 \
    bash "$root/tools/setup-and-run.sh" start first.gif sub/second.png >"$scratch/start.log" 2>&1 &
app=$!
cd "$root"

# Building takes minutes; the command must not end before the window opens.
opened() { grep -q "the palette holds" "$scratch/start.log"; }
waited=0
until opened; do
    kill -0 "$app" 2>/dev/null || fail "start ended before the window opened"
    [ "$waited" -lt 3000 ] || fail "no window after 30 minutes"
    waited=$((waited + 1))
    sleep 0.1
done
expected="the palette holds 2 pictures: $scratch/pictures/first.gif, $scratch/pictures/sub/second.png"
grep -qF "$expected" "$scratch/start.log" ||
    fail "expected \"$expected\", got \"$(grep "the palette holds" "$scratch/start.log")\""
window=$(timeout 20 xdotool search --sync --onlyvisible --class zoetra | head -n 1) ||
    fail "the window never showed"
sleep 0.5
import -window "$window" "$out/start-with-two-pictures.png"
echo "start test: built with CMake's default generator; the window opened with first.gif and" \
    "sub/second.png in its palette (screenshot in $out)"
