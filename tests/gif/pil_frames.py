#!/usr/bin/env python3
"""pil_frames.py GIF OUTPUT

Writes every frame PIL composes from GIF, in order, as RGBA bytes (width x
height x 4 each, rows top to bottom), so that a test can compare PIL's
reading of a file with other readers'.
"""
import sys

try:
    from PIL import Image, ImageSequence
except ImportError:
    sys.exit("pil_frames: needs Python PIL (apt-get install python3-pil)")

with Image.open(sys.argv[1]) as image, open(sys.argv[2], "wb") as out:
    for frame in ImageSequence.Iterator(image):
        out.write(frame.convert("RGBA").tobytes())
