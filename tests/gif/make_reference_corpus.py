#!/usr/bin/env python3
"""Makes the GIF files that the reader is checked against giflib with.

    make_reference_corpus.py OUTPUT_DIRECTORY

The files come from independent encoders (Python PIL, ImageMagick, ffmpeg,
gifsicle) and together hold: GIF87a and GIF89a, interlaced and progressive
images, transparency, local colour tables of every size from 2 to 256
entries, minimum code sizes 2 to 8, a 1 x 1 and a 1000 x 700 image, frames
placed at offsets, and the disposal values 0 to 3. The script parses what it
wrote and fails when any of these is missing, so that a change in an encoder
cannot quietly thin out the test. Everything is deterministic.
"""
import os
import random
import shutil
import subprocess
import sys


def fail(message):
    sys.stderr.write("make_reference_corpus: " + message + "\n")
    sys.exit(2)


try:
    from PIL import Image, ImageDraw
except ImportError:
    fail("needs Python PIL (apt-get install python3-pil)")


def find_imagemagick():
    for name in ("magick", "convert"):
        path = shutil.which(name)
        if path is None:
            continue
        try:
            version = subprocess.run([path, "-version"], capture_output=True, text=True).stdout
        except OSError:
            continue
        if "ImageMagick" in version:
            return path
    fail("needs ImageMagick's convert (apt-get install imagemagick)")


def find_tool(name, package):
    path = shutil.which(name)
    if path is None:
        fail("needs %s (apt-get install %s)" % (name, package))
    return path


def run(*args):
    result = subprocess.run(list(args), capture_output=True)
    if result.returncode != 0:
        fail("%s failed: %s" % (" ".join(args), result.stderr.decode(errors="replace")[-400:]))


def palette_image(width, height, colours, seed, pattern="noise"):
    """A P-mode image using all of `colours` palette entries."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    if pattern == "noise":
        data = [rng.randrange(colours) for _ in range(width * height)]
    else:  # bands with some noise: long LZW strings
        data = [((x // 3 + y // 5) + (rng.randrange(8) == 0)) % colours
                for y in range(height) for x in range(width)]
    data[: min(colours, len(data))] = range(min(colours, len(data)))
    image.putdata(data)
    return image


def make_pil(out):
    for bits in range(1, 9):
        colours = 1 << bits
        palette_image(40 + bits, 20 + 3 * bits, colours, bits, "bands" if bits % 2 else "noise").save(
            os.path.join(out, "pil_still_%03d.gif" % colours), interlace=bits % 3 == 0)
    palette_image(1, 1, 4, 1).save(os.path.join(out, "pil_1x1.gif"))
    image = palette_image(64, 48, 16, 2, "bands")
    image.save(os.path.join(out, "pil_transparent.gif"), transparency=3)
    # Frames with palettes of 4 to 256 entries: local colour tables.
    frames = [palette_image(50, 40, 1 << bits, bits, "noise") for bits in range(1, 9)]
    frames[0].save(os.path.join(out, "pil_local_tables.gif"), save_all=True,
                   append_images=frames[1:], optimize=False, disposal=1)
    frames = []
    for n in range(5):
        frame = palette_image(60, 40, 8, 10, "bands")
        draw = ImageDraw.Draw(frame)
        draw.rectangle([5 + 9 * n, 4 + 5 * n, 20 + 9 * n, 16 + 5 * n], fill=n)
        frames.append(frame)
    frames[0].save(os.path.join(out, "pil_anim_disposal.gif"), save_all=True,
                   append_images=frames[1:], disposal=[0, 1, 2, 3, 1], duration=40, loop=0,
                   transparency=7)


def make_imagemagick(out, convert):
    env_limit = ["-limit", "thread", "1"]
    run(convert, *env_limit, "-seed", "7", "-size", "1000x700", "plasma:red-blue",
        os.path.join(out, "im_photo_1000x700.gif"))
    run(convert, *env_limit, "-size", "200x150", "gradient:yellow-navy", "-colors", "32",
        "-interlace", "GIF", os.path.join(out, "im_interlaced.gif"))
    run(convert, *env_limit, "-size", "90x60", "gradient:white-black", "-colors", "8",
        "GIF87:" + os.path.join(out, "im_87a.gif"))
    run(convert, *env_limit, "-size", "120x80", "xc:white", "-fill", "black", "-draw",
        "line 0,0 119,79", "-draw", "circle 60,40 80,50", "-monochrome",
        os.path.join(out, "im_lineart_2colors.gif"))
    # The second and third frames get local tables of 2 entries.
    run(convert, *env_limit, "-size", "40x30", "gradient:red-blue", "-colors", "16",
        "(", "-size", "40x30", "xc:white", "-fill", "black", "-draw", "line 0,0 39,29",
        "-monochrome", ")", "(", "-size", "20x10", "xc:yellow", ")",
        os.path.join(out, "im_local_tables.gif"))
    run(convert, *env_limit, "-size", "80x60", "xc:none", "-fill", "red", "-draw",
        "rectangle 10,10 50,40",
        "(", "-size", "30x20", "gradient:green-blue", "-colors", "16", ")",
        "-geometry", "+40+30", "-composite",
        os.path.join(out, "im_transparent.gif"))
    run(convert, *env_limit, "-delay", "10",
        "-dispose", "None", "-page", "100x80+0+0", "(", "-size", "100x80", "gradient:red-yellow", ")",
        "-dispose", "Previous", "-page", "+20+10", "(", "-size", "40x30", "xc:blue", ")",
        "-dispose", "Background", "-page", "+50+40", "(", "-size", "30x30", "plasma:green-white", ")",
        "-dispose", "None", "-page", "+5+60", "(", "-size", "20x15", "xc:orange", ")",
        "-loop", "0", os.path.join(out, "im_anim_offsets.gif"))


def make_ffmpeg(out, ffmpeg):
    common = [ffmpeg, "-v", "error", "-y", "-threads", "1"]
    run(*common, "-f", "lavfi", "-i", "testsrc=size=96x64:rate=4", "-frames:v", "5",
        os.path.join(out, "ff_testsrc.gif"))
    run(*common, "-f", "lavfi", "-t", "0.6", "-i", "mandelbrot=size=160x120:rate=5",
        "-vf", "split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse",
        os.path.join(out, "ff_mandelbrot_palette.gif"))


def make_gifsicle(out, gifsicle):
    # Every disposal value, and frames at an offset.
    stills = [os.path.join(out, "pil_still_%03d.gif" % (1 << bits)) for bits in range(1, 9)]
    run(gifsicle, "-O0", "--no-loopcount", "--logical-screen", "60x60",
        "--disposal=none", stills[0], "--disposal=asis", stills[1],
        "--disposal=background", stills[2], "--disposal=previous", stills[3],
        "--position", "7,9", stills[4], stills[5], stills[6], stills[7],
        "-o", os.path.join(out, "gs_local_tables.gif"))
    run(gifsicle, "-O0", "--interlace", "--transparent=2", stills[4],
        "-o", os.path.join(out, "gs_interlaced_transparent.gif"))
    run(gifsicle, "-O3", "--colors", "4", os.path.join(out, "ff_testsrc.gif"),
        "-o", os.path.join(out, "gs_optimized_4colors.gif"))


def walk(path):
    """What a file holds: (version, [frames]); each frame a dict."""
    data = open(path, "rb").read()
    version = data[3:6].decode("latin-1")
    at = 13
    if data[10] & 0x80:
        at += 3 * (2 << (data[10] & 7))
    frames, control = [], None

    def skip_blocks(at):
        while data[at] != 0:
            at += 1 + data[at]
        return at + 1

    while at < len(data) and data[at] != 0x3B:
        if data[at] == 0x21:
            if data[at + 1] == 0xF9:
                control = data[at + 3]
            at = skip_blocks(at + 2)
        elif data[at] == 0x2C:
            left, top, width, height = (int.from_bytes(data[at + 1 + 2 * i:at + 3 + 2 * i], "little")
                                        for i in range(4))
            flags = data[at + 9]
            at += 10
            local = 0
            if flags & 0x80:
                local = 2 << (flags & 7)
                at += 3 * local
            frames.append(dict(left=left, top=top, width=width, height=height,
                               interlaced=bool(flags & 0x40), local=local, code_size=data[at],
                               transparent=control is not None and bool(control & 1),
                               disposal=None if control is None else (control >> 2) & 7))
            control = None
            at = skip_blocks(at + 1)
        else:
            fail("%s: unexpected byte %d at %d" % (path, data[at], at))
    return version, frames


def check_coverage(out):
    versions, local_sizes, code_sizes, disposals = set(), set(), set(), set()
    interlace, transparency, offsets, tiny, large = set(), False, False, False, False
    for name in sorted(os.listdir(out)):
        version, frames = walk(os.path.join(out, name))
        versions.add(version)
        for frame in frames:
            interlace.add(frame["interlaced"])
            if frame["local"]:
                local_sizes.add(frame["local"])
            code_sizes.add(frame["code_size"])
            if frame["disposal"] is not None:
                disposals.add(frame["disposal"])
            transparency |= frame["transparent"]
            offsets |= frame["left"] > 0 and frame["top"] > 0
            tiny |= frame["width"] == 1 and frame["height"] == 1
            large |= frame["width"] >= 1000 and frame["height"] >= 700
    missing = []
    for wanted, have, what in (({"87a", "89a"}, versions, "versions"),
                               ({True, False}, interlace, "interlace flags"),
                               ({2 << i for i in range(8)}, local_sizes, "local table sizes"),
                               (set(range(2, 9)), code_sizes, "minimum code sizes"),
                               ({0, 1, 2, 3}, disposals, "disposal values")):
        if not wanted <= have:
            missing.append("%s %s" % (what, sorted(wanted - have)))
    for flag, what in ((transparency, "transparency"), (offsets, "a frame at an offset"),
                       (tiny, "a 1 x 1 image"), (large, "a 1000 x 700 image")):
        if not flag:
            missing.append(what)
    if missing:
        fail("the corpus lacks " + "; ".join(missing))


def main():
    if len(sys.argv) != 2:
        fail("usage: make_reference_corpus.py OUTPUT_DIRECTORY")
    out = sys.argv[1]
    convert = find_imagemagick()
    ffmpeg = find_tool("ffmpeg", "ffmpeg")
    gifsicle = find_tool("gifsicle", "gifsicle")
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    make_pil(out)
    make_imagemagick(out, convert)
    make_ffmpeg(out, ffmpeg)
    make_gifsicle(out, gifsicle)
    check_coverage(out)


if __name__ == "__main__":
    main()
