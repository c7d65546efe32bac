#!/usr/bin/env bash
# encode_side_by_side.sh BUILD_DIR PEERS_DIR
#
# Times the GIF writer, the colour reduction and the LZW coder beside the peer
# benchmarks (ImageMagick, ffmpeg, libjpeg-turbo's two-pass quantizer, giflib)
# in one run on the same input, and prints the ratios. On a shared machine
# only ratios measured together mean anything.
#
#   BUILD_DIR  a build with -DZOETRA_BENCH=ON (gif_bench, gif_save_frames)
#   PEERS_DIR  the peer benchmark kit (make_frames.py, peer_encode.sh, ...)
# Environment: WORK (data and results; default $TMPDIR/bench-peers), RUNS
# (timed runs per encoder, default 3), QUICK=1 (skip the 1000x700 animation).
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PEERS=$(cd "$2" && pwd)
WORK=${WORK:-${TMPDIR:-/tmp}/bench-peers}
RUNS=${RUNS:-3}
QUICK=${QUICK:-0}
mkdir -p "$WORK/build"
. "$PEERS/tools.sh"
SAVE="$BUILD/bench/gif/gif_save_frames"
BENCH="$BUILD/bench/gif/gif_bench"

# Input: the peers' own test data (made once).
mk() { [ -f "$WORK/$1/info.txt" ] || "$PY" "$PEERS/make_frames.py" --out "$WORK/$1" "${@:2}"; }
mk frames_small --size 350x250 --raw
[ "$QUICK" = 1 ] || mk frames_large --size 1000x700 --raw
for s in 350x250 1000x700 2000x1500; do
  mk "still_$s" --kind still --size "$s"
  ln -sf "still_$s/frame_000.ppm" "$WORK/photo_$s.ppm"
done
cc -O2 -o "$WORK/build/peer_quant" "$PEERS/peer_quant.c" -ljpeg -lm
cc -O2 -o "$WORK/build/peer_lzwenc" "$PEERS/peer_lzwenc.c" -lgif

median_of() { "$PY" -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][0]["median"])' "$1"; }
peer_time() { awk -F'\t' -v p="$2" '$1 == p { print $2 }' "$1/encode.tsv" | tail -n 1; }

echo "### whole saves: 32 frames, delay 0.5 s, loop for ever (median of $RUNS)"
printf '%-8s %9s %9s %9s %8s %8s %s\n' frames ours_s IM_s ffmpeg_s IM/ours ff/ours "ours: PSNR"
for t in small large; do
  [ "$t" = large ] && [ "$QUICK" = 1 ] && continue
  FR="$WORK/frames_$t" OUT="$WORK/enc_$t"
  mkdir -p "$OUT"
  rm -f "$OUT/encode.tsv"
  "$PEERS/peer_encode.sh" "$FR" "$OUT" "$RUNS" >/dev/null
  "$HYPERFINE" --style none --runs "$RUNS" --export-json "$OUT/zoetra.time.json" \
    "'$SAVE' '$FR' '$OUT/zoetra.gif'" >/dev/null
  ours=$(median_of "$OUT/zoetra.time.json")
  im=$(peer_time "$OUT" imagemagick) ff=$(peer_time "$OUT" ffmpeg)
  quality=$("$PY" "$PEERS/psnr.py" "$FR" "$OUT/zoetra.gif" --delay-ms 500 --loop 0 | sed 's/^[^ ]* *//')
  printf '%-8s %9s %9s %9s %7.1fx %7.1fx %s\n' "$t" "$ours" "$im" "$ff" \
    "$(echo "$im / $ours" | bc -l)" "$(echo "$ff / $ours" | bc -l)" "$quality"
  awk -F'\t' 'NR > 1 { printf "  peer %-24s PSNR %s dB (worst frame %s)\n", $1, $6, $7 }' "$OUT/encode.tsv"
done

echo
echo "### colour reduction: libjpeg-turbo two-pass (peer harness) and in-process, same RGB"
"$WORK/build/peer_quant" "$WORK"/photo_350x250.ppm "$WORK"/photo_1000x700.ppm "$WORK"/photo_2000x1500.ppm |
  awk -F'\t' 'NR > 1 { printf "  peer_quant %-20s %s ns/px\n", $1, $6 }'
ZOETRA_PEER_WORK="$WORK" "$BENCH" --benchmark_filter='reduce_colours|jpeg' --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$WORK/zoetra_quantize.json"
"$PY" - "$WORK/zoetra_quantize.json" <<'EOF'
import json, sys
rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name, w, h = b["run_name"].split("/")
    rows.setdefault((int(w), int(h)), {})[name] = b["cpu_time"] * {"ms": 1e6, "us": 1e3, "ns": 1}[b["time_unit"]] / (int(w) * int(h))
for (w, h), r in sorted(rows.items()):
    theirs = r["BM_jpeg_quantized_decode"] - r["BM_jpeg_plain_decode"]
    ours = r["BM_reduce_colours"]
    print("  %4dx%-4d  reduce_colours %6.2f ns/px   libjpeg two-pass %6.2f ns/px   ratio %.2fx" % (w, h, ours, theirs, theirs / ours))
EOF

echo
echo "### LZW coding: giflib (peer harness) and in-process, same indices"
# The peer kit's whole corpus: its animations, the dithered and undithered
# photo and the 1-bit line art.
mkdir -p "$WORK/corpus"
for t in small large; do
  for p in imagemagick ffmpeg gifsicle_O3; do
    [ -f "$WORK/enc_$t/$p.gif" ] && cp "$WORK/enc_$t/$p.gif" "$WORK/corpus/anim_${t}_$p.gif"
  done
done
[ -f "$WORK/corpus/photo_2000x1500.gif" ] ||
  MAGICK_THREAD_LIMIT=1 "$CONVERT" "$WORK/still_2000x1500/frame_000.ppm" "$WORK/corpus/photo_2000x1500.gif"
[ -f "$WORK/corpus/photo_2000x1500_nodither.gif" ] ||
  MAGICK_THREAD_LIMIT=1 "$CONVERT" "$WORK/still_2000x1500/frame_000.ppm" +dither -colors 256 \
    "$WORK/corpus/photo_2000x1500_nodither.gif"
mk lineart_2000x1500 --kind lineart --size 2000x1500
[ -f "$WORK/corpus/lineart_2000x1500_1bit.gif" ] ||
  "$CONVERT" "$WORK/lineart_2000x1500/frame_000.pbm" "$WORK/corpus/lineart_2000x1500_1bit.gif"
"$WORK/build/peer_lzwenc" "$WORK"/corpus/*.gif | awk -F'\t' 'NR > 1 { printf "  peer_lzwenc %-30s %s MP/s\n", $1, $6 }'
ZOETRA_PEER_WORK="$WORK" "$BENCH" --benchmark_filter='lzw_encode' --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$WORK/zoetra_lzw.json"
"$PY" - "$WORK/zoetra_lzw.json" <<'EOF'
import json, sys
rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        rows.setdefault(b["label"], {})[b["run_name"].split("/")[0]] = b["items_per_second"] / 1e6
for label, r in sorted(rows.items()):
    print("  %-30s lzw_encode %6.1f MP/s   giflib %6.1f MP/s   ratio %.2fx" % (label, r["BM_lzw_encode"], r["BM_giflib_lzw_encode"], r["BM_lzw_encode"] / r["BM_giflib_lzw_encode"]))
EOF
