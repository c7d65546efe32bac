#!/usr/bin/python3
"""Flicker of animated GIFs against the frames they were made from.

  flicker.py FRAMES_DIR A.gif [B.gif ...]

FRAMES_DIR holds frame_NNN.ppm and mask_NNN.pgm (as make_still_scene.py,
the peers' make_frames.py or zoetra-render --frames-to write them). Every GIF
frame is composed as a viewer shows it (PIL applies disposal and
transparency). Between each pair of consecutive frames, the pixels whose
source did not change (same colour, or transparent in both) are counted, and
so are those among them whose shown colour changed: dithering that crawls
over a still picture. Prints one line per GIF: the share in percent, and the
two counts.
"""
import os
import sys

import numpy as np
from PIL import Image


def sources(frames_dir):
    with open(os.path.join(frames_dir, "info.txt")) as f:
        n = int(f.read().split()[2])
    for t in range(n):
        with Image.open(os.path.join(frames_dir, "frame_%03d.ppm" % t)) as im:
            rgb = np.asarray(im.convert("RGB")).astype(np.int32)
        with Image.open(os.path.join(frames_dir, "mask_%03d.pgm" % t)) as im:
            opaque = np.asarray(im.convert("L")) >= 128
        rgb[~opaque] = -1  # every transparent pixel the same
        yield rgb


def shown(gif):
    with Image.open(gif) as im:
        for i in range(getattr(im, "n_frames", 1)):
            im.seek(i)
            rgba = np.asarray(im.convert("RGBA")).astype(np.int32)
            rgba[rgba[..., 3] < 128] = -1
            yield rgba


def flicker(frames_dir, gif):
    still = moved = 0
    before_src = before_out = None
    for src, out in zip(sources(frames_dir), shown(gif)):
        if before_src is not None:
            unchanged = np.all(src == before_src, axis=-1)
            changed = np.any(out != before_out, axis=-1)
            still += int(np.count_nonzero(unchanged))
            moved += int(np.count_nonzero(unchanged & changed))
        before_src, before_out = src, out
    return still, moved


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    for gif in argv[2:]:
        still, moved = flicker(argv[1], gif)
        share = 100.0 * moved / still if still else 0.0
        print("%s\t%.4f\t%d\t%d" % (os.path.basename(gif), share, moved, still))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
