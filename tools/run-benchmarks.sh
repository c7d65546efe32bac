#!/usr/bin/env bash
# Runs every benchmark of a benchmark build folder: the Google Benchmark
# programs, what each --lossy level costs and saves, then the side-by-side
# comparisons with the peer tools (giflib, libjpeg-turbo, ImageMagick,
# ffmpeg) from the peer benchmark kit, and the whole-render timing of every
# bundled effect, on the small sample and per frame on a 2000x1500 picture,
# and on a 12-megapixel photo fitted to a chosen frame beside the photo
# reduced beforehand, and fitting animations under a size limit beside the
# lossy loop people run with gifsicle, and gifski. Only ratios measured in
# the same run mean anything on a shared machine. OTHER_BUILD names a second
# renderer build (an older one, say) that the large-picture timing runs side
# by side.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
cd "$(dirname "$0")/.."
peers=${PEERS:-$(cd .. && pwd)/shared/bench-peers}
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

for program in "$build"/bench/*/*_bench; do
    [ -x "$program" ] || continue
    echo "== $program"
    "$program" --benchmark_counters_tabular=true
done
echo "== --lossy: bytes and PSNR per level"
"$python" bench/gif/lossy_levels.py "$build/src/cli/zoetra-render"
if [ -d "$peers" ]; then
    echo "== GIF decoding beside giflib"
    "$python" bench/gif/decode_compare.py "$peers" "$build/bench/gif/gif_bench"
    echo "== GIF writing, colour reduction and LZW coding beside the peers"
    bash bench/gif/encode_side_by_side.sh "$build" "$peers"
    echo "== fine colours and smaller files beside the peers: time, bytes, PSNR, flicker"
    bash bench/gif/fine_colours_side_by_side.sh "$build" "$peers"
else
    echo "(no peer benchmark kit at $peers: set PEERS to compare with the peer tools)"
fi
echo "== every bundled effect, 12 frames, as a whole render"
sh bench/production/effects.sh "$build"
echo "== every bundled effect on a 2000x1500 picture, per frame"
bash bench/production/large_picture.sh "$build" ${OTHER_BUILD:+"$OTHER_BUILD"}
echo "== every bundled effect on a 12-megapixel photo fitted to 640x480, beside it reduced beforehand"
bash bench/production/fitted_picture.sh "$build"
echo "== fitting under 128K, 256K and 512K beside gifsicle's lossy loop and gifski: bytes, PSNR, time"
bash bench/production/fit_side_by_side.sh "$build" "$peers"
