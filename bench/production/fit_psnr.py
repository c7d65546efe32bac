#!/usr/bin/python3
"""Quality of animated GIFs against the frames they were made from, measured
the same way for every encoder, and the frames as PNG files for the encoders
that read them.

  fit_psnr.py psnr FRAMES_DIR A.gif [B.gif ...]   one line per file: "bytes PSNR"
  fit_psnr.py png FRAMES_DIR OUT_DIR               frame_NNN.png, RGBA
  fit_psnr.py delay A.gif                          the first frame's delay in ms

FRAMES_DIR holds frame_NNN.ppm and mask_NNN.pgm (255 opaque) and info.txt
("width height frames"), as zoetra-render --frames-to and the peer kit's
make_frames.py write them.

PSNR: every frame of the file is decoded with PIL and composed as a viewer
shows it (PIL applies disposal and transparency while seeking). The squared
error is summed over the red, green and blue of every pixel opaque in the
source frame or in the shown one; a pixel opaque in one and transparent in the
other counts as the largest error (255 on each channel). Frame k of n source
frames is compared with shown frame k x m / n of the m the file holds, so a
file that keeps fewer frames is judged by what shows in their place; a shown
frame of another size is resampled to the source's. 10 log10(255^2 / MSE),
99 for no error.
"""
import math
import os
import sys

import numpy as np
from PIL import Image

NO_ERROR = 99.0


def frame_count(frames_dir):
    with open(os.path.join(frames_dir, "info.txt")) as f:
        return int(f.read().split()[2])


def source_frames(frames_dir):
    """Yields (rgb int64 array, opaque bool array) for each source frame."""
    for k in range(frame_count(frames_dir)):
        with Image.open(os.path.join(frames_dir, "frame_%03d.ppm" % k)) as im:
            rgb = np.asarray(im.convert("RGB"), dtype=np.int64)
        mask_path = os.path.join(frames_dir, "mask_%03d.pgm" % k)
        if os.path.exists(mask_path):
            with Image.open(mask_path) as im:
                opaque = np.asarray(im.convert("L")) >= 128
        else:
            opaque = np.ones(rgb.shape[:2], bool)
        yield rgb, opaque


def shown_frames(gif_path):
    """Every frame of the file, composed as shown, as RGBA arrays."""
    shown = []
    with Image.open(gif_path) as im:
        for i in range(getattr(im, "n_frames", 1)):
            im.seek(i)
            shown.append(np.asarray(im.convert("RGBA")))
    return shown


def psnr(frames_dir, gif_path):
    shown = shown_frames(gif_path)
    sources = list(source_frames(frames_dir))
    squared, samples = 0.0, 0
    for k, (rgb, opaque) in enumerate(sources):
        seen = shown[min(len(shown) - 1, k * len(shown) // len(sources))]
        if seen.shape[:2] != rgb.shape[:2]:
            seen = np.asarray(Image.fromarray(seen).resize((rgb.shape[1], rgb.shape[0]), Image.BICUBIC))
        seen_opaque = seen[..., 3] >= 128
        both = opaque & seen_opaque
        mismatched = opaque != seen_opaque
        d = seen[..., :3][both].astype(np.int64) - rgb[both]
        squared += float(np.sum(d * d)) + 3.0 * 255 * 255 * int(np.count_nonzero(mismatched))
        samples += 3 * int(np.count_nonzero(both | mismatched))
    if samples == 0 or squared <= 0:
        return NO_ERROR
    return min(NO_ERROR, 10 * math.log10(255.0 ** 2 * samples / squared))


def write_pngs(frames_dir, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for k, (rgb, opaque) in enumerate(source_frames(frames_dir)):
        rgba = np.dstack([rgb.astype(np.uint8), np.where(opaque, 255, 0).astype(np.uint8)])
        Image.fromarray(rgba, "RGBA").save(os.path.join(out_dir, "frame_%03d.png" % k))


def delay_ms(gif_path):
    with Image.open(gif_path) as im:
        return int(im.info.get("duration") or 0)


def main(argv):
    if len(argv) >= 4 and argv[1] == "psnr":
        for gif in argv[3:]:
            print("%d %.2f" % (os.path.getsize(gif), psnr(argv[2], gif)))
        return 0
    if len(argv) == 4 and argv[1] == "png":
        write_pngs(argv[2], argv[3])
        return 0
    if len(argv) == 3 and argv[1] == "delay":
        print(delay_ms(argv[2]))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
