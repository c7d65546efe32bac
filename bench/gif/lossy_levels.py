#!/usr/bin/env python3
"""lossy_levels.py RENDERER [LEVEL ...]

What --lossy costs and gives: for a few bundled effects on a photo-like
true-colour picture made here (@scene, 350 x 250: colour gradients, texture,
grain and soft-edged shapes) and on the samples, renders the GIF at every
level (default 0 10 20 40 60 100 150 200), reads it
back with PIL and prints, per level, the file's bytes, their share of the
lossless file's, the PSNR of the shown frames against the frames made
(--frames-to; opaque pixels only, pooled over all frames) and its drop from
the lossless file. A last table averages the drops and shares over the
inputs. Environment: INPUTS ("EFFECT:SAMPLE[:OPTION,OPTION] ..."), FRAMES (6).
"""
import math
import os
import random
import subprocess
import sys
import tempfile

try:
    from PIL import Image, ImageSequence
except ImportError:
    sys.exit("lossy_levels: needs Python PIL (apt-get install python3-pil)")

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
DEFAULT_INPUTS = ("40-show:@scene 13-daynight:@scene 22-pond:@scene 40-show:photo "
                  "40-show:@scene:--colours=fine 20-flag:@scene:--optimize")


def make_scene(path, width=350, height=250):
    """A photo-like picture, the same every time."""
    rng = random.Random(5)
    image = Image.new("RGB", (width, height))
    pixels = []
    discs = [(rng.uniform(0, width), rng.uniform(0, height), rng.uniform(15, 50),
              [rng.uniform(-60, 60) for _ in range(3)]) for _ in range(6)]
    for y in range(height):
        for x in range(width):
            u, v = x / width, y / height
            colour = [255 * (0.25 + 0.6 * u + 0.05 * math.sin(31 * u + 17 * v)),
                      255 * (0.35 + 0.2 * math.sin(3 * v + 1) + 0.2 * u),
                      255 * (0.8 - 0.5 * v + 0.04 * math.sin(23 * v - 11 * u))]
            for cx, cy, r, shade in discs:
                inside = min(1.0, max(0.0, r - math.hypot(x - cx, y - cy)) / 2.0)
                for c in range(3):
                    colour[c] += inside * shade[c] * (1.2 - math.hypot(x - cx, y - cy) / r)
            grain = rng.gauss(0, 4)
            pixels.append(tuple(max(0, min(255, int(c + grain))) for c in colour))
    image.putdata(pixels)
    image.save(path)


def frames_made(folder):
    """The frames --frames-to wrote: (RGB bytes, mask bytes) each."""
    width, height, count = map(int, open(os.path.join(folder, "info.txt")).read().split()[:3])
    out = []
    for n in range(count):
        rgb = Image.open(os.path.join(folder, "frame_%03d.ppm" % n)).convert("RGB").tobytes()
        mask = Image.open(os.path.join(folder, "mask_%03d.pgm" % n)).convert("L").tobytes()
        out.append((rgb, mask))
    return width, height, out


def frames_shown(path):
    with Image.open(path) as image:
        return [frame.convert("RGBA").tobytes() for frame in ImageSequence.Iterator(image)]


def psnr(made, shown):
    squared, samples = 0, 0
    for (rgb, mask), rgba in zip(made, shown):
        for p in range(len(mask)):
            if mask[p] < 128 or rgba[p * 4 + 3] == 0:
                continue
            for c in range(3):
                d = rgb[p * 3 + c] - rgba[p * 4 + c]
                squared += d * d
            samples += 3
    if squared == 0:
        return float("inf")
    return 10 * math.log10(255.0 * 255.0 * samples / squared)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    renderer = os.path.abspath(sys.argv[1])
    levels = [int(n) for n in sys.argv[2:]] or [0, 10, 20, 40, 60, 100, 150, 200]
    if levels[0] != 0:
        levels.insert(0, 0)
    inputs = os.environ.get("INPUTS", DEFAULT_INPUTS).split()
    frames = os.environ.get("FRAMES", "6")
    drops = {n: [] for n in levels}
    shares = {n: [] for n in levels}
    with tempfile.TemporaryDirectory() as work:
        scene = os.path.join(work, "scene.png")
        make_scene(scene)
        for item in inputs:
            parts = item.split(":")
            effect, sample = parts[0], parts[1]
            options = parts[2].split(",") if len(parts) > 2 else []
            made_dir = os.path.join(work, "made")
            print("== %s on %s %s" % (effect, sample, " ".join(options)))
            print("%6s %9s %7s %8s %7s" % ("level", "bytes", "share", "PSNR", "drop"))
            base_bytes = base_psnr = None
            made = None
            for n in levels:
                out = os.path.join(work, "out.gif")
                command = [renderer, "-q", "-e", effect, "-n", frames, "-o", out,
                           "--lossy", str(n)] + options
                if made is None:
                    command += ["--frames-to", made_dir]
                command.append(scene if sample == "@scene" else
                               os.path.join(SOURCE, "samples", sample + ".gif"))
                subprocess.run(command, check=True)
                if made is None:
                    made = frames_made(made_dir)[2]
                size = os.path.getsize(out)
                value = psnr(made, frames_shown(out))
                if n == 0:
                    base_bytes, base_psnr = size, value
                drops[n].append(base_psnr - value)
                shares[n].append(size / base_bytes)
                print("%6d %9d %6.1f%% %8.2f %7.2f" % (n, size, 100.0 * size / base_bytes, value,
                                                      base_psnr - value))
    print("== mean over %d inputs" % len(inputs))
    print("%6s %7s %7s" % ("level", "share", "drop"))
    for n in levels:
        print("%6d %6.1f%% %7.2f" % (n, 100.0 * sum(shares[n]) / len(shares[n]),
                                     sum(drops[n]) / len(drops[n])))


if __name__ == "__main__":
    main()
