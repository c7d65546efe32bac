#!/usr/bin/env bash
# Drives the real window under a virtual X server as a person would: a sample
# on the command line, another inserted through the open dialog, the effect
# types switched and an effect picked on the SELECT EFFECT panel, Ctrl+G,
# Ctrl+C and Ctrl+S with a typed file name. The saved file must be the
# renderer's, the window must show exactly the frame image the program drew,
# and the effect buttons after a switch of type must be the ones a full
# redraw shows. Screenshots of every step stay in OUT_DIR for a person to
# look at. It waits by polling, with timeouts, and types into a dialog only
# once its text entry is seen to take keys.
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

source "$root/tests/window/x_server.sh"
cleanup() {
    if [ -n "${app:-}" ]; then
        kill "$app" 2>/dev/null || true
        wait "$app" 2>/dev/null || true
    fi
    stop_x_server
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

start_x_server "$scratch/xvfb.log" || fail "the X server did not start"

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
# The window titled $1 (a literal title, not a pattern).
dialog() {
    local pattern
    pattern=$(printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g')
    xdotool search --onlyvisible --name "^$pattern\$" | head -n 1
}
no_dialog() { [ -z "$(dialog "$1")" ]; }
has_keyboard() { xdotool windowfocus --sync "$1" && [ "$(xdotool getwindowfocus)" = "$1" ]; }
# A fingerprint of the top 90 rows of window $1, where a file dialog keeps
# its text entry (the name field, or the location field that Ctrl+L opens).
entry_pixels() { import -window "$1" -crop 2000x90+0+0 +repage rgb:- 2>/dev/null | md5sum; }
differs_from() { [ "$(entry_pixels "$1")" != "$2" ]; }
# answer_dialog TITLE PATH SHOT KEYS...: types PATH into the dialog's text
# entry and takes it. The dialog must have the keyboard first (checked), and
# KEYS must visibly change its entry: Ctrl+L opens the location field with
# the focus, Ctrl+A selects the whole name in a focused name field. Only then
# is the path typed, it must show, and the dialog must close.
answer_dialog() {
    local title=$1 path=$2 picture=$3 d="" before
    shift 3
    until_ok 10 dialog "$title" || fail "no dialog \"$title\""
    d=$(dialog "$title")
    xdotool mousemove --window "$d" 300 24 # over the text entry, as a person would
    until_ok 10 has_keyboard "$d" || fail "the dialog \"$title\" never had the keyboard"
    before=$(entry_pixels "$d")
    xdotool key "$@"
    until_ok 10 differs_from "$d" "$before" || fail "the text entry of \"$title\" took no key"
    before=$(entry_pixels "$d")
    xdotool type --delay 20 "$path"
    until_ok 10 differs_from "$d" "$before" || fail "\"$title\" shows nothing of what was typed"
    import -window "$d" "$out/$picture.png" 2>/dev/null || true
    xdotool key Return
    until_ok 10 no_dialog "$title" || fail "dialog \"$title\" stayed"
}

shot 1-started

# Insert a second sample through the open dialog.
press Insert
answer_dialog "Please select your input picture (GIF, PNG or JPEG)" "$scratch/work/logo.gif" \
    2-open-dialog ctrl+l ctrl+a
sleep 0.3
shot 3-inserted

# SELECT EFFECT: the effect types in turn, each after another. The button row
# that a click on a type leaves must be the row the panel draws when it is
# opened anew (the frame image itself would be stale, so the snapshot below
# cannot tell). Then the WAVE type's first effect.
click 195 10
# The frame image's effect buttons, from a snapshot the window writes once it
# has handled the events sent before.
button_row() {
    kill -USR1 "$app"
    until_ok 10 test -f "$out/snapshot.ppm" || fail "no snapshot"
    convert "$out/snapshot.ppm" -crop 535x50+115+34 +repage "$scratch/$1.png"
    rm -f "$out/snapshot.ppm"
}
rm -f "$out/snapshot.ppm"
step=0
for type in STANDARD:41 WAVE:56 ART:71 STANDARD:41 ART:71 STILL:86 WAVE:56; do
    name=${type%%:*}
    step=$((step + 1))
    click 40 "${type##*:}"
    shot "4-type-$step-$name"
    button_row clicked
    click 65 10
    click 195 10
    button_row redrawn
    differing=$(compare -metric AE "$scratch/clicked.png" "$scratch/redrawn.png" null: 2>&1 || true)
    [ "$differing" = "0" ] ||
        fail "after a click on $name the effect buttons differ from that type's in $differing pixels"
done
echo "window test: each effect type shows its own buttons as soon as it is clicked"
click 140 59
shot 5-effect-chosen

# What the window shows is exactly what the program drew (no preview plays yet).
rm -f "$out/snapshot.ppm"
kill -USR1 "$app"
until_ok 10 test -f "$out/snapshot.ppm" || fail "no snapshot"
import -window "$window" -crop 650x465+0+$menu +repage "$out/6-client-area.png"
differing=$(compare -metric AE "$out/6-client-area.png" "$out/snapshot.ppm" null: 2>&1 || true)
[ "$differing" = "0" ] || fail "the window differs from the frame image in $differing pixels"
echo "window test: the client area equals the frame image (0 pixels differ)"

# Create, and ask for the size until the frames exist.
press ctrl+g
sleep 0.2
shot 7-creating
size_box() { dialog "GIF89 file size"; }
created() {
    press ctrl+c
    [ -n "$(size_box)" ]
}
until_ok 60 created || fail "the frames were never made"
box=$(size_box)
import -window "$box" "$out/8-size.png" 2>/dev/null || true
until_ok 10 has_keyboard "$box" || fail "the size box never had the keyboard"
xdotool key Return
until_ok 10 no_dialog "GIF89 file size" || fail "the size box stayed"
shot 9-created

# Save under a full path typed over the whole proposed name.
press ctrl+s
answer_dialog "Please tell me where to save" "$scratch/work/from-window.gif" 10-save-dialog ctrl+a
until_ok 10 test -s "$scratch/work/from-window.gif" ||
    fail "nothing was saved as from-window.gif: $(ls "$scratch/work")"
shot 11-saved

# The renderer with the same settings: the second sample first and selected.
"$render" -q -e flag -o "$scratch/from-renderer.gif" "$root/samples/logo.gif" "$root/samples/photo.gif"
cmp -s "$scratch/work/from-window.gif" "$scratch/from-renderer.gif" ||
    fail "the window's file differs from the renderer's"
cp "$scratch/work/from-window.gif" "$out/from-window.gif"
echo "window test: the saved file is the renderer's, byte for byte"
grep -E "first window drawn|created" "$scratch/zoetra.log" | sed 's/^/window test: /'

# 32 frames: the window's time to make them beside the renderer's.
click 455 10
click 110 59 # the FRAMES field
press 3 2 Return
press ctrl+g
until_ok 60 grep -q "created 32 frames" "$scratch/zoetra.log" || fail "32 frames were never made"
window_ms=$(grep "created 32 frames" "$scratch/zoetra.log" | tail -n 1 | awk '{ print $(NF - 1) }')
render_ms=$(ZOETRA_TRACE=1 "$render" -q -e flag -n 32 --estimate "$root/samples/logo.gif" \
    "$root/samples/photo.gif" 2>&1 >/dev/null | awk '/created/ { print $(NF - 1) }')
echo "window test: 32 frames in the window ${window_ms} ms, in the renderer ${render_ms} ms"
shot 12-32-frames

# A caption typed into its top line, on the frames made: the saved file is
# the renderer's with --caption.
click 260 57 # the caption's top line
xdotool type --window "$window" --delay 30 "HELLO"
press Return
sleep 1
shot 12-captioned
press ctrl+s
answer_dialog "Please tell me where to save" "$scratch/work/captioned.gif" 12-save-captioned ctrl+a
until_ok 10 test -s "$scratch/work/captioned.gif" || fail "the captioned file was never saved"
"$render" -q -e flag -n 32 --caption HELLO -o "$scratch/captioned-renderer.gif" \
    "$root/samples/logo.gif" "$root/samples/photo.gif"
cmp -s "$scratch/work/captioned.gif" "$scratch/captioned-renderer.gif" ||
    fail "the window's captioned file differs from the renderer's"
echo "window test: a caption typed in the window is in the saved file, as the renderer draws it"

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
shot 13-previewing
echo "window test: passed; screenshots in $out"
