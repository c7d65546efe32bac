#!/usr/bin/env bash
# Drives the real window under a virtual X server as a person would: a sample
# on the command line, another inserted through the open dialog, an effect
# picked on the SELECT EFFECT panel, Ctrl+G, Ctrl+C and Ctrl+S with a typed
# file name. The saved file must be the renderer's, and the window must show
# exactly the frame image the program drew. Screenshots of every step stay
# in OUT_DIR for a person to look at. It waits by polling, with timeouts.
#
#   tests/window/window_test.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
cd "$(dirname "$0")/../.."
root=$(pwd)
zoetra="$build/src/platform/zoetra"
render="$build/src/cli/zoetra-render"
scratch=$(mktemp -d)
export HOME="$scratch/home"
mkdir -p "$HOME"
rm -f "$out"/*.png "$out"/*.ppm "$out"/*.gif

cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${xserver:-}" ] && kill "$xserver" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "window test: $*" >&2
    [ -f "$scratch/zoetra.log" ] && sed 's/^/  zoetra: /' "$scratch/zoetra.log" >&2
    exit 1
}

# until SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
until_ok() {
    local limit=$1
    shift
    local tries=$((limit * 10))
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# A display of our own.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
xserver=$!
until_ok 10 test -s "$scratch/display" || fail "the X server did not start"
export DISPLAY=":$(cat "$scratch/display")"

# Started from a folder of its own, so the first dialog opens there, where
# the second sample waits.
mkdir -p "$scratch/work"
cp "$root/samples/logo.gif" "$scratch/work/"
cd "$scratch/work"
ZOETRA_TRACE=1 ZOETRA_TEST_SNAPSHOT="$out/snapshot.ppm" "$zoetra" "$root/samples/photo.gif" \
    >"$scratch/zoetra.log" 2>&1 &
app=$!
cd "$root"
window=""
find_window() { window=$(xdotool search --onlyvisible --class zoetra | head -n 1) && [ -n "$window" ]; }
until_ok 20 find_window || fail "no window appeared"
until_ok 10 grep -q "first window drawn" "$scratch/zoetra.log" || fail "the window was never drawn"

menu=25 # the menu bar's height above the frame image
click() { # x y in frame image coordinates
    xdotool mousemove --window "$window" "$1" $(($2 + menu)) click 1
    sleep 0.2
}
press() {
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key "$@"
    sleep 0.2
}
shot() { import -window "$window" "$out/$1.png"; }
dialog() { xdotool search --onlyvisible --name "$1" | head -n 1; }
# Types a path into the file dialog titled $1 and takes it.
answer_dialog() {
    local d=""
    until_ok 10 dialog "$1" || fail "no dialog \"$1\""
    d=$(dialog "$1")
    import -window "$d" "$out/$3.png" 2>/dev/null || true
    xdotool windowfocus --sync "$d" 2>/dev/null || true
    # Home, then Shift+End: the whole name field, in any dialog's text entry.
    xdotool key Home shift+End
    xdotool type --delay 30 "$2"
    sleep 0.2
    xdotool key Return
    until_ok 10 sh -c "! xdotool search --onlyvisible --name '$1' >/dev/null" || fail "dialog \"$1\" stayed"
}

shot 1-started

# Insert a second sample through the open dialog.
press Insert
answer_dialog "Please select your input gif" logo.gif 2-open-dialog
sleep 0.3
shot 3-inserted

# SELECT EFFECT, the WAVE type, its first effect.
click 195 10
click 40 55
click 140 59
shot 4-effect-chosen

# What the window shows is exactly what the program drew (no preview plays yet).
rm -f "$out/snapshot.ppm"
kill -USR1 "$app"
until_ok 10 test -f "$out/snapshot.ppm" || fail "no snapshot"
import -window "$window" -crop 650x465+0+$menu +repage "$out/5-client-area.png"
differing=$(compare -metric AE "$out/5-client-area.png" "$out/snapshot.ppm" null: 2>&1 || true)
[ "$differing" = "0" ] || fail "the window differs from the frame image in $differing pixels"
echo "window test: the client area equals the frame image (0 pixels differ)"

# Create, and ask for the size until the frames exist.
press ctrl+g
sleep 0.2
shot 6-creating
size_box() { dialog "GIF89 file size"; }
created() {
    press ctrl+c
    size_box
}
until_ok 60 created || fail "the frames were never made"
import -window "$(size_box)" "$out/7-size.png" 2>/dev/null || true
xdotool windowfocus --sync "$(size_box)" 2>/dev/null || true
xdotool key Return
until_ok 10 sh -c '! xdotool search --onlyvisible --name "GIF89 file size" >/dev/null' || fail "the size box stayed"
shot 8-created

# Save under a name typed without its extension.
press ctrl+s
answer_dialog "Please tell me where to save" from-window 9-save-dialog
until_ok 10 test -s "$scratch/work/from-window.gif" || fail "nothing was saved"
shot 10-saved

# The renderer with the same settings: the second sample first and selected.
"$render" -q -e flag -o "$scratch/from-renderer.gif" "$root/samples/logo.gif" "$root/samples/photo.gif"
cmp -s "$scratch/work/from-window.gif" "$scratch/from-renderer.gif" ||
    fail "the window's file differs from the renderer's"
cp "$scratch/work/from-window.gif" "$out/from-window.gif"
echo "window test: the saved file is the renderer's, byte for byte"
grep -E "first window drawn|created" "$scratch/zoetra.log" | sed 's/^/window test: /'

# 32 frames: the window's time to make them beside the renderer's.
click 455 10
click 160 75 # the FRAMES field
press 3 2 Return
press ctrl+g
until_ok 60 grep -q "created 32 frames" "$scratch/zoetra.log" || fail "32 frames were never made"
window_ms=$(grep "created 32 frames" "$scratch/zoetra.log" | tail -n 1 | awk '{ print $(NF - 1) }')
render_ms=$(ZOETRA_TRACE=1 "$render" -q -e flag -n 32 --estimate "$root/samples/logo.gif" \
    "$root/samples/photo.gif" 2>&1 >/dev/null | awk '/created/ { print $(NF - 1) }')
echo "window test: 32 frames in the window ${window_ms} ms, in the renderer ${render_ms} ms"
shot 11-32-frames

# CPU time of the window over a few seconds: idle on the help pages (no
# preview), then showing its preview.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
measure() { # seconds
    local before after
    before=$(cpu_ticks)
    sleep "$1"
    after=$(cpu_ticks)
    awk -v t=$((after - before)) -v s="$1" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.1f%% of one core", 100 * t / hz / s }'
}
seconds=${WINDOW_CPU_SECONDS:-5}
click 585 10
xdotool mousemove --window "$window" 300 300
echo "window test: CPU with nothing to do, over ${seconds}s: $(measure "$seconds")"
click 455 10
xdotool mousemove --window "$window" 300 300
echo "window test: CPU while the preview plays, over ${seconds}s: $(measure "$seconds")"
shot 12-previewing
echo "window test: passed; screenshots in $out"
