#!/usr/bin/env bash
# Fitting an animation under a size limit (zoetra-render --max-bytes) beside
# the loops people run with the peer tools on the same frames, for limits of
# 128K, 256K and 512K:
#  - Zoetra: one render with --max-bytes and --frames-to; the bytes, the PSNR
#    it prints and the wall time of the whole run (the effect's frames made,
#    every coding measured, the file and the frames written).
#  - the gifsicle loop: the frames as PNG files with alpha, ImageMagick's
#    convert to a GIF (Zoetra's delay, loop for ever), then for each colour
#    count K of 256, 128, 64 and 32 a binary search for the smallest
#    gifsicle -O3 --lossy=N --colors=K (N from 0 to 200) under the limit; the
#    best PSNR of the four is kept. Its time is the convert (made once per
#    input, its time counted in every row) and every gifsicle run.
#  - gifski 1.7.1 (from its npm registry package, when npm can fetch it): a
#    binary search for the highest --quality (1 to 100) under the limit.
#    gifski uses every core; ImageMagick is held to PEER_THREADS.
# Every file is scored by fit_psnr.py the same way, against the frames it was
# made from: PSNR over the red, green and blue of the pixels opaque in the
# source or in the file, a transparency mismatch counted as the largest error.
# The peers' times leave out the making of the frames; Zoetra's include it.
#
# The inputs: the peer kit's 32 x 350x250 photo-like animation on a
# transparent background (peers only: zoetra-render takes still pictures, not
# a sequence of frames); four bundled effects on samples/photo.gif, 32
# frames; a 12-megapixel photo-like picture (tests/cli/large_pictures.py)
# with one effect, 32 frames fitted to 128x128 and to 320x320.
#
#   bench/production/fit_side_by_side.sh BUILD [PEERS]
# PEERS: the peer benchmark kit (default $PEERS, else ../shared/bench-peers
# beside the source). Environment: LIMITS (default "128K 256K 512K"), EFFECTS
# (default "20-flag 30-brush 12-breathe 36-glitch"), PHOTO_EFFECT (default
# 20-flag), GIFSKI (a gifski program; empty to leave gifski out),
# PEER_THREADS (ImageMagick's threads, default 1, 0 for its default).
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/../.."
render=$build/src/cli/zoetra-render
peers=${2:-${PEERS:-../shared/bench-peers}}
limits=${LIMITS:-128K 256K 512K}
effects=${EFFECTS:-20-flag 30-brush 12-breathe 36-glitch}
photo_effect=${PHOTO_EFFECT:-20-flag}
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
measure_psnr=bench/production/fit_psnr.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
threads=${PEER_THREADS:-1}
magick_env=()
[ "$threads" = 0 ] || magick_env=(env "MAGICK_THREAD_LIMIT=$threads")

notes=()
note() { notes+=("$1"); }

# The renderer may be rebuilt while this runs: wait for it (up to 10 minutes).
wait_for_renderer() {
    local i
    for ((i = 0; i < 120; ++i)); do
        [ -x "$render" ] && return 0
        sleep 5
    done
    echo "$render is missing" >&2
    exit 1
}
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
to_bytes() { # 128K, 1.5M or 1000 -> bytes
    awk -v s="$1" 'BEGIN {
        u = 1; c = toupper(substr(s, length(s)))
        if (c == "K") u = 1024; else if (c == "M") u = 1048576
        if (u > 1) s = substr(s, 1, length(s) - 1)
        printf "%d", s * u
    }'
}
size_of() { stat -c %s "$1"; }

# The peer tools.
convert=${CONVERT:-}
if [ -z "$convert" ]; then
    for c in magick convert; do
        if command -v "$c" >/dev/null 2>&1 && "$c" -version 2>/dev/null | grep -q ImageMagick; then
            convert=$c
            break
        fi
    done
fi
gifsicle=${GIFSICLE:-$(command -v gifsicle || true)}
[ -n "$convert" ] || note "ImageMagick is missing (apt-get install imagemagick): the gifsicle loop left out"
[ -n "$gifsicle" ] || note "gifsicle is missing (apt-get install gifsicle): the gifsicle loop left out"
if [ -z "${GIFSKI+set}" ]; then
    # As the peer kit's get-gifski.sh: the Debian binary of the npm package.
    GIFSKI=
    cache=${TMPDIR:-/tmp}/gifski
    if [ ! -x "$cache/gifski" ] && command -v npm >/dev/null 2>&1; then
        mkdir -p "$cache"
        (cd "$cache" && timeout 300 npm pack gifski@1.7.1 >/dev/null 2>&1 &&
            tar xzf gifski-1.7.1.tgz && cp package/bin/debian/gifski gifski &&
            rm -rf package gifski-1.7.1.tgz) || true
    fi
    if [ -x "$cache/gifski" ] && "$cache/gifski" --version >/dev/null 2>&1; then
        GIFSKI=$cache/gifski
    else
        note "gifski left out: npm could not fetch gifski@1.7.1 (no npm or no network)"
    fi
fi
gifski=$GIFSKI
zoetra_fits=yes
wait_for_renderer
help=$("$render" --help)
if [[ $help != *--max-bytes* ]]; then
    zoetra_fits=
    note "this zoetra-render has no --max-bytes: Zoetra left out"
fi

# One row: input limit tool bytes psnr printed seconds choice. Printed, and
# kept for the summary (tab-separated, "-" for nothing).
printf '%-16s %5s  %-13s %9s %8s %8s %8s  %s\n' input limit tool bytes "PSNR dB" printed seconds \
    "choice (PSNR recomputed here; printed: as Zoetra prints it)"
row() {
    printf '%-16s %5s  %-13s %9s %8s %8s %8s  %s\n' "$@"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "$7" >>"$work/rows"
}
: >"$work/rows"

# Zoetra's fit of $picture: sets the row. FRAMES_DIR holds the frames the
# peers get, which the fit's own must equal.
zoetra_fit() { # label limit frames_dir renderer_options...
    local label=$1 limit=$2 plain=$3
    shift 3
    local dir=$work/zoetra
    rm -rf "$dir" "$work/zoetra.gif"
    wait_for_renderer
    local t0 t1 status=0
    t0=$(now)
    "$render" -q "$@" --max-bytes "$limit" --frames-to "$dir" -o "$work/zoetra.gif" \
        2>"$work/zoetra.err" "${picture:?}" || status=$?
    t1=$(now)
    local s
    s=$(seconds "$t0" "$t1")
    if [ "$status" = 0 ]; then
        local fitted bytes printed options psnr
        fitted=$(sed -n 's/.*fitted under [0-9]* bytes ([^)]*): \([0-9]*\) bytes ([^)]*), PSNR \([0-9.]*\) dB; the options: \(.*\)$/\1 \2 \3/p' "$work/zoetra.err")
        read -r bytes printed options <<<"$fitted"
        read -r bytes psnr <<<"$("$python" "$measure_psnr" psnr "$dir" "$work/zoetra.gif")"
        row "$label" "$limit" zoetra "$bytes" "$psnr" "${printed:--}" "$s" "${options:-(no fit line)}"
        if ! diff -rq "$dir" "$plain" >/dev/null; then
            note "$label: the frames of the fit differ from those given to the peers"
        fi
    elif [ "$status" = 5 ]; then
        local smallest
        smallest=$(sed -n 's/.*the smallest file these settings give is \([0-9]*\) bytes.*/\1/p' "$work/zoetra.err")
        row "$label" "$limit" zoetra - - - "$s" "nothing fits (smallest ${smallest:-?} B)"
    else
        row "$label" "$limit" zoetra - - - "$s" "failed (status $status): $(head -c 200 "$work/zoetra.err")"
    fi
}

# One timed run of a search; the file's size goes to $size (a failed run
# counts as too large), and the caller's $total (seconds), $runs and $smallest
# (bytes) are kept up to date.
searched() { # out_file command...
    local out=$1 t0 t1 status=0
    shift
    rm -f "$out"
    t0=$(now)
    "$@" >/dev/null 2>&1 || status=$?
    t1=$(now)
    total=$(awk -v a="$total" -v b="$(seconds "$t0" "$t1")" 'BEGIN { print a + b }')
    runs=$((runs + 1))
    if [ "$status" != 0 ] || [ ! -s "$out" ]; then
        note "$(basename "$1") failed (status $status) making $(basename "$out")"
        size=999999999999
        return
    fi
    size=$(size_of "$out")
    if [ "$smallest" = 0 ] || [ "$size" -lt "$smallest" ]; then smallest=$size; fi
}
gifsicle_try() { # K N (in gifsicle_loop)
    searched "$dir/$1_$2.gif" "$gifsicle" -O3 --lossy="$2" --colors="$1" "$work/im.gif" -o "$dir/$1_$2.gif"
}
gifski_try() { # Q (in gifski_search)
    searched "$dir/$1.gif" "$gifski" -q --fps "$fps" --width "$width" --repeat 0 --quality "$1" \
        -o "$dir/$1.gif" "$work/png"/frame_*.png
}

# The gifsicle loop on the convert output in $work/im.gif (made in
# $im_seconds): sets the row.
gifsicle_loop() { # label limit frames_dir
    local label=$1 limit=$2 frames=$3 bytes_limit
    bytes_limit=$(to_bytes "$limit")
    local dir=$work/gifsicle
    rm -rf "$dir"
    mkdir -p "$dir"
    local total=0 runs=0 smallest=0 k
    local best_psnr="" best_bytes="" best_choice=""
    for k in 256 128 64 32; do
        local size chosen="" lo hi mid
        gifsicle_try "$k" 0
        if [ "$size" -le "$bytes_limit" ]; then
            chosen=0
        else
            gifsicle_try "$k" 200
            if [ "$size" -le "$bytes_limit" ]; then
                lo=0 hi=200
                while ((hi - lo > 1)); do
                    mid=$(((lo + hi) / 2))
                    gifsicle_try "$k" "$mid"
                    if [ "$size" -le "$bytes_limit" ]; then hi=$mid; else lo=$mid; fi
                done
                chosen=$hi
            fi
        fi
        [ -n "$chosen" ] || continue
        local b p
        read -r b p <<<"$("$python" "$measure_psnr" psnr "$frames" "$dir/${k}_$chosen.gif")"
        if [ -z "$best_psnr" ] || awk -v a="$p" -v b="$best_psnr" 'BEGIN { exit !(a > b) }'; then
            best_psnr=$p best_bytes=$b best_choice="--colors=$k --lossy=$chosen"
        fi
    done
    total=$(awk -v a="$total" -v b="$im_seconds" 'BEGIN { printf "%.2f", a + b }')
    if [ -n "$best_psnr" ]; then
        row "$label" "$limit" "gifsicle loop" "$best_bytes" "$best_psnr" - "$total" \
            "$best_choice ($runs gifsicle runs + convert ${im_seconds} s)"
    else
        row "$label" "$limit" "gifsicle loop" - - - "$total" \
            "nothing fits (smallest $smallest B; $runs gifsicle runs + convert ${im_seconds} s)"
    fi
    rm -rf "$dir"
}

# gifski's search on the PNG frames in $work/png: sets the row.
gifski_search() { # label limit frames_dir width delay_ms
    local label=$1 limit=$2 frames=$3 width=$4 delay=$5 bytes_limit fps
    bytes_limit=$(to_bytes "$limit")
    fps=$(awk -v d="$delay" 'BEGIN { printf "%g", (d > 0) ? 1000 / d : 10 }')
    local dir=$work/gifski
    rm -rf "$dir"
    mkdir -p "$dir"
    local total=0 runs=0 smallest=0 size chosen="" lo hi mid
    gifski_try 100
    if [ "$size" -le "$bytes_limit" ]; then
        chosen=100
    else
        gifski_try 1
        if [ "$size" -le "$bytes_limit" ]; then
            lo=1 hi=100
            while ((hi - lo > 1)); do
                mid=$(((lo + hi) / 2))
                gifski_try "$mid"
                if [ "$size" -le "$bytes_limit" ]; then lo=$mid; else hi=$mid; fi
            done
            chosen=$lo
        fi
    fi
    total=$(awk -v a="$total" 'BEGIN { printf "%.2f", a }')
    if [ -n "$chosen" ]; then
        local b p
        read -r b p <<<"$("$python" "$measure_psnr" psnr "$frames" "$dir/$chosen.gif")"
        row "$label" "$limit" gifski "$b" "$p" - "$total" "--quality $chosen ($runs runs)"
    else
        row "$label" "$limit" gifski - - - "$total" "nothing fits (smallest $smallest B; $runs runs)"
    fi
    rm -rf "$dir"
}

# Every row of one input: the frames in FRAMES_DIR (for the peers), Zoetra's
# options after the limit (none: Zoetra cannot take this input).
one_input() { # label frames_dir delay_ms [zoetra options...]
    local label=$1 frames=$2 delay=$3
    shift 3
    local width limit
    width=$(awk '{ print $1 }' "$frames/info.txt")
    rm -rf "$work/png" "$work/im.gif"
    "$python" "$measure_psnr" png "$frames" "$work/png"
    im_seconds=0
    if [ -n "$convert" ] && [ -n "$gifsicle" ]; then
        local t0 t1
        t0=$(now)
        "${magick_env[@]}" "$convert" -delay "$((delay / 10))" -loop 0 -dispose Background \
            "$work/png"/frame_*.png "$work/im.gif"
        t1=$(now)
        im_seconds=$(seconds "$t0" "$t1")
    fi
    for limit in $limits; do
        if [ $# = 0 ]; then
            row "$label" "$limit" zoetra - - - - "left out: zoetra-render takes still pictures, not frames"
        elif [ -n "$zoetra_fits" ]; then
            zoetra_fit "$label" "$limit" "$frames" "$@"
        fi
        if [ -n "$convert" ] && [ -n "$gifsicle" ]; then
            gifsicle_loop "$label" "$limit" "$frames"
        fi
        if [ -n "$gifski" ]; then
            gifski_search "$label" "$limit" "$frames" "$width" "$delay"
        fi
    done
}

# The frames Zoetra makes for the peers: a plain render (not timed).
zoetra_frames() { # dir options...
    local dir=$1
    shift
    rm -rf "$dir"
    wait_for_renderer
    "$render" -q "$@" --frames-to "$dir" -o "$work/plain.gif" "$picture"
    zoetra_delay=$("$python" "$measure_psnr" delay "$work/plain.gif")
}

# (a) The peer kit's animation.
if [ -f "$peers/make_frames.py" ]; then
    "$python" "$peers/make_frames.py" --out "$work/kit" --size 350x250 >/dev/null
    one_input "kit 350x250" "$work/kit" 500
else
    note "no peer kit at $peers (set PEERS): its animation left out"
fi

# (b) Bundled effects on the sample photo.
picture=samples/photo.gif
for effect in $effects; do
    zoetra_frames "$work/frames" -e "$effect" -n 32
    one_input "$effect" "$work/frames" "$zoetra_delay" -e "$effect" -n 32
done

# (c) A 12-megapixel photo fitted to an emoji's and a sticker's frame.
"$python" - "$work" <<'PYTHON'
import sys
sys.path.insert(0, "tests/cli")
from large_pictures import photo_like
photo_like(sys.argv[1] + "/photo.jpg")
PYTHON
picture=$work/photo.jpg
for size in 128x128 320x320; do
    zoetra_frames "$work/frames" -e "$photo_effect" -n 32 --size "$size"
    one_input "photo $size" "$work/frames" "$zoetra_delay" -e "$photo_effect" -n 32 --size "$size"
done

echo
echo "Zoetra's PSNR over the best peer under each limit, and the gifsicle loop's time over Zoetra's"
printf '%-16s %5s  %-14s %-25s %s\n' input limit "margin dB" "best peer dB" "speed"
awk -F'\t' '
    { key = $1 "\t" $2; if (!(key in seen)) { seen[key] = 1; order[++n] = key } }
    $3 == "zoetra" { zp[key] = $5; zs[key] = $6 }
    $3 == "gifsicle loop" { gs[key] = $6 }
    $3 != "zoetra" && $5 != "-" && (!(key in bp) || $5 > bp[key]) { bp[key] = $5; bt[key] = $3 }
    END {
        for (i = 1; i <= n; ++i) {
            key = order[i]; split(key, f, "\t")
            if (zp[key] == "" || zp[key] == "-")
                margin = zs[key] == "-" || zs[key] == "" ? "Zoetra left out" : "Zoetra: no fit"
            else if (!(key in bp)) margin = "no peer fits"
            else margin = sprintf("%+.2f", zp[key] - bp[key])
            speed = (zs[key] + 0 > 0 && gs[key] != "") ? sprintf("%.1fx", gs[key] / zs[key]) : "-"
            printf "%-16s %5s  %-14s %-25s %s\n", f[1], f[2], margin,
                (key in bp) ? bp[key] " (" bt[key] ")" : "none fits", speed
        }
    }' "$work/rows"
echo "(margin: Zoetra's recomputed PSNR less the best peer's; speed: the gifsicle loop's seconds over Zoetra's, so above 1 Zoetra is faster)"
for n in "${notes[@]+"${notes[@]}"}"; do
    echo "note: $n"
done
