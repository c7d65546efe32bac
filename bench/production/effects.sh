#!/bin/sh
# Times every bundled effect as a whole run of the renderer: start, create
# FRAMES frames at the default frame size and save them as one GIF89a file.
# Uses hyperfine when it is installed, a plain timing loop otherwise.
#
#   bench/production/effects.sh BUILD_FOLDER [PICTURE.gif] [FRAMES] [RUNS]
#
# Prints one line per effect: stem, type, mean and standard deviation of the
# wall-clock time in milliseconds, and the size of the file written.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_FOLDER [PICTURE.gif] [FRAMES] [RUNS]" >&2
    exit 1
fi
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
picture=${2:-$source_dir/samples/photo.gif}
frames=${3:-12}
runs=${4:-10}
render=$build/src/cli/zoetra-render
if [ ! -x "$render" ]; then
    echo "$0: $render is missing; build the zoetra-render target first" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Mean and standard deviation, in milliseconds, of one time in seconds per line.
summarise() {
    awk '{ s += $1; q += $1 * $1; n++ }
         END { m = s / n; v = q / n - m * m; if (v < 0) v = 0;
               printf "%.1f %.1f\n", m * 1000, sqrt(v) * 1000 }'
}

now() { date +%s.%N; }

time_effect() {
    stem=$1
    out=$work/$stem.gif
    if command -v hyperfine >/dev/null 2>&1; then
        hyperfine --style none --warmup 1 --runs "$runs" --export-csv "$work/$stem.csv" \
            -N "$render -q -e $stem -n $frames -o $out $picture" >/dev/null 2>"$work/$stem.log"
        # command,mean,stddev,... in seconds; the command holds no commas.
        awk -F, 'NR == 2 { printf "%.1f %.1f\n", $2 * 1000, $3 * 1000 }' "$work/$stem.csv"
    else
        "$render" -q -e "$stem" -n "$frames" -o "$out" "$picture"
        i=0
        while [ "$i" -lt "$runs" ]; do
            start=$(now)
            "$render" -q -e "$stem" -n "$frames" -o "$out" "$picture"
            end=$(now)
            awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
            i=$((i + 1))
        done | summarise
    fi
}

echo "Whole renders of $frames frames from $(basename "$picture"), $runs runs each"
printf '%-18s %-9s %10s %8s %10s\n' effect type "mean ms" "sd ms" bytes
tab=$(printf '\t')
"$render" --list >"$work/list"
while IFS="$tab" read -r type stem title description; do
    set -- $(time_effect "$stem")
    printf '%-18s %-9s %10s %8s %10s\n' "$stem" "$type" "$1" "$2" \
        "$(wc -c <"$work/$stem.gif" | tr -d ' ')"
done <"$work/list"
