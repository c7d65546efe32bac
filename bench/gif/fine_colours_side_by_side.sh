#!/usr/bin/env bash
# fine_colours_side_by_side.sh BUILD_DIR PEERS_DIR
#
# Fine colours and smaller files beside the peers, on the peer kit's
# animations (32 x 350x250 and 32 x 1000x700 photo-like frames on a
# transparent background):
#
#  1. One table per animation: median wall time, bytes, pooled PSNR and worst
#     frame (the kit's psnr.py) for Zoetra's default, --optimize and fine
#     colours, ImageMagick, ffmpeg and gifsicle -O3 (on ImageMagick's file;
#     its time is its own, the total is beside it), then Zoetra's times with
#     its helper thread off (ZOETRA_ONE_THREAD=1; the bytes are checked to be
#     the same). Every encoder runs once per round, the rounds repeated, so
#     the times are measured side by side; only their ratios mean anything on
#     a shared machine.
#  2. Flicker (bench/gif/flicker.py): the share of the pixels whose source did
#     not change from one frame to the next that are shown in another colour
#     all the same, on a generated animation with a still background and a
#     moving disc (every encoder), and on every animated bundled effect
#     (Zoetra's modes, on the photo sample).
#  3. --optimize on every animated bundled effect: bytes beside the default
#     file and psnr.py --same (the pictures must be identical); the same check
#     on the peer animations.
#
#   BUILD_DIR  a build with -DZOETRA_BENCH=ON (gif_save_frames, zoetra-render)
#   PEERS_DIR  the peer benchmark kit (make_frames.py, psnr.py, tools.sh)
# Environment: WORK (data and results; default $TMPDIR/bench-peers), RUNS
# (rounds, default 3), QUICK=1 (skip the 1000x700 animation), PEER_THREADS
# (threads for ImageMagick and ffmpeg, default 1 as in the kit).
set -euo pipefail
BUILD=$(cd "$1" && pwd)
PEERS=$(cd "$2" && pwd)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SOURCE=$(cd "$HERE/../.." && pwd)
WORK=${WORK:-${TMPDIR:-/tmp}/bench-peers}
RUNS=${RUNS:-3}
QUICK=${QUICK:-0}
mkdir -p "$WORK/fine"
. "$PEERS/tools.sh"
SAVE="$BUILD/bench/gif/gif_save_frames"
RENDER="$BUILD/src/cli/zoetra-render"
for program in "$SAVE" "$RENDER"; do
  [ -x "$program" ] || { echo "$program is missing: build gif_save_frames and zoetra-render" >&2; exit 1; }
done
T=${PEER_THREADS:-1}
if [ "$T" = 0 ]; then IMENV=""; FFT=""; else
  IMENV="MAGICK_THREAD_LIMIT=$T"; FFT="-threads $T -filter_threads $T -filter_complex_threads $T"; fi

mk() { [ -f "$WORK/$1/info.txt" ] || "$PY" "$PEERS/make_frames.py" --out "$WORK/$1" "${@:2}"; }
mk frames_small --size 350x250 --raw
[ "$QUICK" = 1 ] || mk frames_large --size 1000x700 --raw
[ -f "$WORK/still_scene/info.txt" ] || "$PY" "$HERE/make_still_scene.py" --out "$WORK/still_scene"

# The encoders, by name: a command that writes OUT from the frames in FR.
encoders=(zoetra zoetra_optimize zoetra_fine zoetra_1thread zoetra_fine_1thread imagemagick ffmpeg gifsicle_O3)
command_of() { # name frames_dir out_dir
  local fr=$2 out=$3
  case $1 in
  zoetra) echo "'$SAVE' '$fr' '$out/zoetra.gif'" ;;
  zoetra_optimize) echo "'$SAVE' --optimize '$fr' '$out/zoetra_optimize.gif'" ;;
  zoetra_fine) echo "'$SAVE' --colours fine '$fr' '$out/zoetra_fine.gif'" ;;
  zoetra_1thread) echo "ZOETRA_ONE_THREAD=1 '$SAVE' '$fr' '$out/zoetra_1thread.gif'" ;;
  zoetra_fine_1thread) echo "ZOETRA_ONE_THREAD=1 '$SAVE' --colours fine '$fr' '$out/zoetra_fine_1thread.gif'" ;;
  imagemagick) echo "$IMENV '$CONVERT' -delay 50 -loop 0 -dispose Background '$fr'/frame_*.pam '$out/imagemagick.gif'" ;;
  ffmpeg) echo "'$FFMPEG' -v error -y $FFT -framerate 2 -i '$fr/frame_%03d.pam' -filter_complex \
'split[a][b];[a]palettegen=max_colors=256:stats_mode=full:reserve_transparent=1[p];[b][p]paletteuse=dither=floyd_steinberg' \
-loop 0 '$out/ffmpeg.gif'" ;;
  gifsicle_O3) echo "'$GIFSICLE' -O3 '$out/imagemagick.gif' -o '$out/gifsicle_O3.gif'" ;;
  esac
}

# Runs every encoder once per round, RUNS rounds; OUT/times.tsv gets one
# "name seconds" line per run.
time_side_by_side() { # frames_dir out_dir
  local fr=$1 out=$2 round name t0 t1
  : >"$out/times.tsv"
  for ((round = 0; round < RUNS; round++)); do
    for name in "${encoders[@]}"; do
      t0=$(date +%s.%N)
      bash -c "$(command_of "$name" "$fr" "$out")" >/dev/null 2>&1
      t1=$(date +%s.%N)
      echo "$name $(echo "$t1 - $t0" | bc -l)" >>"$out/times.tsv"
    done
  done
}
median() { # out_dir name
  awk -v n="$2" '$1 == n { print $2 }' "$1/times.tsv" | sort -g |
    awk '{ a[NR] = $1 } END { printf "%.2f", NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
quality() { # frames_dir gif -> "bytes psnr worst"
  "$PY" "$PEERS/psnr.py" "$1" "$2" --delay-ms 500 --loop 0 --json |
    "$PY" -c 'import json,sys; r=json.load(sys.stdin); print(r["bytes"], "%.2f" % r["psnr_db"], "%.2f" % r["worst_frame_psnr_db"], "; ".join(r["faults"]) or "ok")'
}

for t in small large; do
  [ "$t" = large ] && [ "$QUICK" = 1 ] && continue
  FR="$WORK/frames_$t" OUT="$WORK/fine/enc_$t"
  mkdir -p "$OUT"
  echo "### $(cat "$FR/info.txt" | awk '{print $3 " x " $1 "x" $2}') frames, delay 0.5 s, loop for ever: median of $RUNS rounds side by side"
  time_side_by_side "$FR" "$OUT"
  ff=$(median "$OUT" ffmpeg)
  printf '%-22s %8s %8s %10s %9s %12s  %s\n' encoder time_s vs_ffmpeg bytes PSNR_dB worst_frame check
  for name in zoetra zoetra_optimize zoetra_fine imagemagick ffmpeg gifsicle_O3; do
    s=$(median "$OUT" "$name")
    label=$name
    [ "$name" = gifsicle_O3 ] && label="gifsicle -O3 (+IM $(echo "$s + $(median "$OUT" imagemagick)" | bc -l | xargs printf '%.2f') s)"
    read -r bytes psnr worst check <<<"$(quality "$FR" "$OUT/$name.gif")"
    printf '%-22s %8s %8.2f %10s %9s %12s  %s\n' "$name" "$s" "$(echo "$s / $ff" | bc -l)" "$bytes" "$psnr" "$worst" "$check"
    [ "$label" = "$name" ] || echo "    ($label)"
  done
  for name in zoetra_1thread zoetra_fine_1thread; do
    s=$(median "$OUT" "$name")
    twin=$OUT/${name%_1thread}.gif
    same=$(cmp -s "$OUT/$name.gif" "$twin" && echo "same bytes as with two threads" || echo "BYTES DIFFER")
    printf '%-22s %8s %8.2f %10s %9s %12s  %s\n' "$name" "$s" "$(echo "$s / $ff" | bc -l)" "$(stat -c %s "$OUT/$name.gif")" "" "" "$same"
  done
  echo "  --optimize shows the default pictures: $("$PY" "$PEERS/psnr.py" --same "$OUT/zoetra.gif" "$OUT/zoetra_optimize.gif")"
  echo
done

echo "### flicker: pixels whose source stayed but whose shown colour changed (share of the still pixels)"
SC="$WORK/still_scene" OUT="$WORK/fine/enc_still_scene"
mkdir -p "$OUT"
for name in zoetra zoetra_optimize zoetra_fine imagemagick ffmpeg gifsicle_O3; do
  bash -c "$(command_of "$name" "$SC" "$OUT")" >/dev/null 2>&1
done
echo "generated still background with a moving disc ($(awk '{print $3 " x " $1 "x" $2}' "$SC/info.txt")):"
printf '  %-18s %9s %10s %9s\n' encoder flicker_% bytes PSNR_dB
for name in zoetra zoetra_optimize zoetra_fine imagemagick ffmpeg gifsicle_O3; do
  read -r _ share _ _ <<<"$("$PY" "$HERE/flicker.py" "$SC" "$OUT/$name.gif")"
  read -r bytes psnr _ _ <<<"$(quality "$SC" "$OUT/$name.gif")"
  printf '  %-18s %9.4f %10s %9s\n' "$name" "$share" "$bytes" "$psnr"
done

echo
echo "every animated bundled effect on samples/photo.gif (8 frames): flicker in %, bytes, and whether --optimize shows the default pictures"
printf '  %-14s %19s   %29s  %s\n' "" "flicker % of still" "bytes" "--optimize pictures"
printf '  %-14s %9s %9s %9s %9s %9s  %s\n' effect default fine default optimize fine "beside the default"
EFF="$WORK/fine/effects"
rm -rf "$EFF"
mkdir -p "$EFF"
for zoml in "$SOURCE"/Effects/*.zoml; do
  stem=$(basename "$zoml" .zoml)
  opts=(-q -e "$stem" -n 8 "$SOURCE/samples/photo.gif")
  "$RENDER" "${opts[@]}" -o "$EFF/$stem.gif" --frames-to "$EFF/$stem.frames"
  [ "$(awk '{print $3}' "$EFF/$stem.frames/info.txt")" -gt 1 ] || continue
  "$RENDER" "${opts[@]}" --optimize -o "$EFF/$stem.optimize.gif"
  "$RENDER" "${opts[@]}" --colours fine -o "$EFF/$stem.fine.gif"
  read -r _ plain _ _ _ fine _ _ <<<"$("$PY" "$HERE/flicker.py" "$EFF/$stem.frames" "$EFF/$stem.gif" "$EFF/$stem.fine.gif" | tr '\n' ' ')"
  printf '  %-14s %9.4f %9.4f %9s %9s %9s  %s\n' "$stem" "$plain" "$fine" "$(stat -c %s "$EFF/$stem.gif")" \
    "$(stat -c %s "$EFF/$stem.optimize.gif")" "$(stat -c %s "$EFF/$stem.fine.gif")" \
    "$("$PY" "$PEERS/psnr.py" --same "$EFF/$stem.gif" "$EFF/$stem.optimize.gif")"
done
