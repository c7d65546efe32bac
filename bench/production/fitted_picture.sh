#!/usr/bin/env bash
# Every bundled effect on a 12-megapixel photo (4032 x 3024 JPEG) fitted to a
# chosen frame, beside the same job on the photo reduced to the frame
# beforehand (by PIL's Lanczos): 32 frames at 640 x 480, whole renders, the
# median time of RUNS and the peak memory. Goal: the photo costs at most 1.3
# times the reduced job plus 150 ms, and at most 64 MB more memory. Then each
# effect's time per frame at 1280 x 720 (N frames less one, over N - 1).
#
#   bench/production/fitted_picture.sh BUILD
# Environment: RUNS (default 3), EFFECTS (stems, default all).
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/../.."
render=$build/src/cli/zoetra-render
runs=${RUNS:-3}
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$python" - "$work" <<'PYTHON'
import sys
sys.path.insert(0, "tests/cli")
from large_pictures import fitted, photo_like
from PIL import Image
work = sys.argv[1]
photo_like(work + "/photo.jpg")
with Image.open(work + "/photo.jpg") as photo:
    fitted(photo.convert("RGB"), (640, 480)).save(work + "/reduced.png")
PYTHON

# Seconds and peak kilobytes of one render: "seconds kilobytes".
measure() { # picture frames size effect
    /usr/bin/time -f "%e %M" -o "$work/time" "$render" -q -e "$4" -n "$2" --size "$3" \
        -o "$work/out.gif" "$1"
    cat "$work/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "32 frames at 640x480: the 4032x3024 photo beside it reduced beforehand; median of $runs"
printf '%-16s %9s %9s %9s %9s %9s %6s %12s\n' effect "photo s" "reduced s" "limit s" \
    "photo MB" "reduced MB" goal "1280x720 ms/f"
"$render" --list | cut -f2 >"$work/list"
while read -r stem; do
    if [ -n "${EFFECTS:-}" ] && [[ " $EFFECTS " != *" $stem "* ]]; then
        continue
    fi
    rm -f "$work"/m.*
    for ((i = 0; i < runs; ++i)); do
        measure "$work/photo.jpg" 32 640x480 "$stem" >>"$work/m.photo"
        measure "$work/reduced.png" 32 640x480 "$stem" >>"$work/m.reduced"
        measure "$work/photo.jpg" 1 1280x720 "$stem" >>"$work/m.one"
        measure "$work/photo.jpg" 5 1280x720 "$stem" >>"$work/m.five"
    done
    photo_s=$(cut -d' ' -f1 "$work/m.photo" | median)
    reduced_s=$(cut -d' ' -f1 "$work/m.reduced" | median)
    photo_mb=$(cut -d' ' -f2 "$work/m.photo" | sort -g | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
    reduced_mb=$(cut -d' ' -f2 "$work/m.reduced" | sort -g | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
    one=$(cut -d' ' -f1 "$work/m.one" | median)
    five=$(cut -d' ' -f1 "$work/m.five" | median)
    awk -v e="$stem" -v p="$photo_s" -v r="$reduced_s" -v pm="$photo_mb" -v rm="$reduced_mb" \
        -v one="$one" -v five="$five" 'BEGIN {
            limit = 1.3 * r + 0.15
            goal = (p <= limit && pm <= rm + 64) ? "met" : "MISSED"
            printf "%-16s %9.2f %9.2f %9.2f %9.1f %9.1f %6s %12.0f\n", e, p, r, limit, pm, rm, goal,
                (five - one) * 1000 / 4
        }'
done <"$work/list"
