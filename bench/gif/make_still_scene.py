#!/usr/bin/python3
"""An animation whose background never changes: a photo-like still picture
(colour gradients, texture and grain that stay the same in every frame) with
one shaded, anti-aliased disc that travels across it. The dithering of the
background must not move when only the disc does.

  make_still_scene.py --out DIR [--size 350x250] [--frames 32]

Writes what psnr.py, peer_encode.sh and gif_save_frames read: frame_NNN.ppm,
mask_NNN.pgm (all 255), frame_NNN.pam (RGBA), frames.rgb, frames.mask and
info.txt ("width height frames seed kind"). The same arguments always give
the same bytes.
"""
import argparse
import os

import numpy as np


def background(w, h, rng):
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    u, v = x / w, y / h
    img = np.stack([0.25 + 0.6 * u, 0.35 + 0.4 * np.sin(3.0 * v + 1.0) * 0.5 + 0.2 * u,
                    0.8 - 0.5 * v], axis=-1)
    for _ in range(4):
        ang, freq = rng.uniform(0, np.pi), rng.uniform(8.0, 40.0)
        col = rng.uniform(-1.0, 1.0, 3).astype(np.float32)
        img += 0.04 * np.sin(freq * (u * np.cos(ang) + v * np.sin(ang)))[..., None] * col
    img += rng.normal(0.0, 4.0 / 255.0, img.shape).astype(np.float32)
    return img, x, y


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", required=True)
    ap.add_argument("--size", default="350x250")
    ap.add_argument("--frames", type=int, default=32)
    a = ap.parse_args()
    w, h = (int(v) for v in a.size.lower().split("x"))
    n = a.frames
    os.makedirs(a.out, exist_ok=True)
    rng = np.random.default_rng(7)
    still, x, y = background(w, h, rng)
    radius = 0.12 * min(w, h)
    mask = np.full((h, w), 255, np.uint8)
    with open(os.path.join(a.out, "frames.rgb"), "wb") as raw, \
            open(os.path.join(a.out, "frames.mask"), "wb") as rawm:
        for t in range(n):
            cx = w * (0.15 + 0.7 * t / max(n - 1, 1))
            cy = h * (0.5 + 0.25 * np.sin(2 * np.pi * t / n))
            d = np.sqrt((x - cx) ** 2 + (y - cy) ** 2)
            cover = np.clip(radius + 0.75 - d, 0.0, 1.0)[..., None]
            shade = np.clip(1.0 - d / radius, 0.0, 1.0)[..., None]
            disc = np.array([0.9, 0.3, 0.2], np.float32) * (0.6 + 0.4 * shade)
            img = still * (1 - cover) + disc * cover
            rgb = np.clip(img * 255.0 + 0.5, 0, 255).astype(np.uint8)
            with open(os.path.join(a.out, "frame_%03d.ppm" % t), "wb") as f:
                f.write(b"P6\n%d %d\n255\n" % (w, h) + rgb.tobytes())
            with open(os.path.join(a.out, "mask_%03d.pgm" % t), "wb") as f:
                f.write(b"P5\n%d %d\n255\n" % (w, h) + mask.tobytes())
            with open(os.path.join(a.out, "frame_%03d.pam" % t), "wb") as f:
                f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
                f.write(np.concatenate([rgb, mask[..., None]], axis=-1).tobytes())
            raw.write(rgb.tobytes())
            rawm.write(mask.tobytes())
    with open(os.path.join(a.out, "info.txt"), "w") as f:
        f.write("%d %d %d 7 still-scene\n" % (w, h, n))


if __name__ == "__main__":
    main()
