#!/usr/bin/env bash
# Every bundled effect on a large picture: the cost of one frame, taken as the
# difference between a render of FRAMES frames and a render of one frame,
# divided by FRAMES - 1, so that start-up, reading the picture and the first
# frame's work drop out. With a second build folder (an older build, say) the
# two renderers run interleaved, run by run, and the ratio of their per-frame
# times is printed: on a shared machine only times taken side by side compare.
#
#   bench/production/large_picture.sh BUILD [OTHER_BUILD]
# Environment: SIZE (picture size, default 2000x1500), FRAMES (default 4),
# RUNS (default 3; the median is used), EFFECTS (stems, default all).
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD [OTHER_BUILD]" >&2
    exit 1
fi
build=$(cd "$1" && pwd)
other=${2:+$(cd "$2" && pwd)}
size=${SIZE:-2000x1500}
frames=${FRAMES:-4}
runs=${RUNS:-3}
render=$build/src/cli/zoetra-render
for program in "$render" "$build/tools/zoetra-make-samples" ${other:+"$other/src/cli/zoetra-render"}; do
    if [ ! -x "$program" ]; then
        echo "$0: $program is missing; build it first" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
picture=$work/photo_$size.gif
"$build/tools/zoetra-make-samples" --photo "$size" "$picture"

now() { date +%s.%N; }
# Seconds taken by one render of N frames with renderer R of effect E.
seconds() { # renderer effect frames
    local start end
    start=$(now)
    "$1" -q -e "$2" -n "$3" -o "$work/out.gif" "$picture"
    end=$(now)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Per-frame milliseconds from the medians of the one-frame and N-frame renders.
per_frame() { # file-prefix
    local one many
    one=$(median <"$1.1")
    many=$(median <"$1.n")
    awk -v a="$one" -v b="$many" -v n="$frames" 'BEGIN { printf "%.1f\n", (b - a) * 1000 / (n - 1) }'
}

echo "Every bundled effect on a $size picture: ms per frame ($frames frames less 1), median of $runs;"
echo "a still, marked (1), gives its one frame's whole render"
if [ -n "$other" ]; then
    printf '%-18s %12s %12s %8s\n' effect "this ms" "other ms" other/this
else
    printf '%-18s %12s %12s\n' effect "ms/frame" "1 frame ms"
fi
"$render" --list | cut -f1,2 >"$work/list"
while IFS=$'\t' read -r type stem; do
    if [ -n "${EFFECTS:-}" ] && [[ " $EFFECTS " != *" $stem "* ]]; then
        continue
    fi
    rm -f "$work"/t.*
    # An effect newer than the other build is timed here alone.
    compare=$other
    if [ -n "$other" ] && ! "$other/src/cli/zoetra-render" -q -e "$stem" -n 1 \
        -o "$work/out.gif" "$picture" 2>/dev/null; then
        compare=""
    fi
    for ((i = 0; i < runs; ++i)); do
        seconds "$render" "$stem" 1 >>"$work/t.this.1"
        seconds "$render" "$stem" "$frames" >>"$work/t.this.n"
        if [ -n "$compare" ]; then
            seconds "$other/src/cli/zoetra-render" "$stem" 1 >>"$work/t.other.1"
            seconds "$other/src/cli/zoetra-render" "$stem" "$frames" >>"$work/t.other.n"
        fi
    done
    this=$(per_frame "$work/t.this")
    if [ "$type" = Still ]; then
        # A still makes one frame however many are asked for: its whole
        # one-frame render is the figure.
        this=$(median <"$work/t.this.1" | awk '{ printf "%.1f", $1 * 1000 }')
        [ -n "$compare" ] && that=$(median <"$work/t.other.1" | awk '{ printf "%.1f", $1 * 1000 }')
        stem="$stem (1)"
    fi
    if [ -n "$other" ] && [ -z "$compare" ]; then
        printf '%-18s %12s %12s\n' "$stem" "$this" "(none)"
    elif [ -n "$other" ]; then
        [ "$type" = Still ] || that=$(per_frame "$work/t.other")
        printf '%-18s %12s %12s %7.2fx\n' "$stem" "$this" "$that" \
            "$(awk -v a="$that" -v b="$this" 'BEGIN { print (b > 0) ? a / b : 0 }')"
    else
        printf '%-18s %12s %12.1f\n' "$stem" "$this" \
            "$(awk -v a="$(median <"$work/t.this.1")" 'BEGIN { print a * 1000 }')"
    fi
done <"$work/list"
