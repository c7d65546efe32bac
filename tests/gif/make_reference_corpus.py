#!/usr/bin/env python3
"""make_reference_corpus.py OUTPUT_DIRECTORY

Makes the GIF files the reader is checked against giflib with, by independent
encoders (PIL, ImageMagick, ffmpeg, gifsicle), deterministically. It then
parses them and fails when they lack any of: GIF87a and GIF89a, interlaced and
progressive images, transparency, local tables of 2 to 256 entries, minimum
code sizes 2 to 8, a 1 x 1 and a 1000 x 700 image, frames at an offset, and
the disposal values 0 to 3, so that a changed encoder cannot thin out the test.
"""
import os
import random
import shutil
import subprocess
import sys


def fail(message):
    sys.exit("make_reference_corpus: " + message)


try:
    from PIL import Image, ImageDraw
except ImportError:
    fail("needs Python PIL (apt-get install python3-pil)")


def tool(package, *names):
    """The first of names found, checked to be ImageMagick's when it should be."""
    for path in filter(None, map(shutil.which, names)):
        if package != "imagemagick" or "ImageMagick" in subprocess.run(
                [path, "-version"], capture_output=True, text=True).stdout:
            return path
    fail("needs %s (apt-get install %s)" % (names[-1], package))


def run(*args):
    result = subprocess.run(list(args), capture_output=True)
    if result.returncode != 0:
        fail("%s failed: %s" % (" ".join(args), result.stderr.decode(errors="replace")[-400:]))


def palette_image(width, height, colours, seed, bands=False):
    """A P-mode image using all `colours` entries; bands give long LZW strings."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    data = [((x // 3 + y // 5) + (rng.randrange(8) == 0)) % colours if bands
            else rng.randrange(colours) for y in range(height) for x in range(width)]
    data[:min(colours, len(data))] = range(min(colours, len(data)))
    image.putdata(data)
    return image


def make_pil(out):
    for bits in range(1, 9):
        palette_image(40 + bits, 20 + 3 * bits, 1 << bits, bits, bits % 2).save(
            os.path.join(out, "pil_still_%03d.gif" % (1 << bits)), interlace=bits % 3 == 0)
    palette_image(1, 1, 4, 1).save(os.path.join(out, "pil_1x1.gif"))
    palette_image(64, 48, 16, 2, True).save(os.path.join(out, "pil_transparent.gif"),
                                            transparency=3)
    frames = [palette_image(50, 40, 1 << bits, bits) for bits in range(1, 9)]  # local tables
    frames[0].save(os.path.join(out, "pil_local_tables.gif"), save_all=True,
                   append_images=frames[1:], optimize=False, disposal=1)
    frames = []
    for n in range(5):
        frames.append(palette_image(60, 40, 8, 10, True))
        ImageDraw.Draw(frames[-1]).rectangle([5 + 9 * n, 4 + 5 * n, 20 + 9 * n, 16 + 5 * n], fill=n)
    frames[0].save(os.path.join(out, "pil_anim_disposal.gif"), save_all=True,
                   append_images=frames[1:], disposal=[0, 1, 2, 3, 1], duration=40, loop=0,
                   transparency=7)


def make_imagemagick(out, convert):
    def im(*args, prefix=""):
        run(convert, "-limit", "thread", "1", *args[:-1], prefix + os.path.join(out, args[-1]))
    im("-seed", "7", "-size", "1000x700", "plasma:red-blue", "im_photo_1000x700.gif")
    im("-size", "200x150", "gradient:yellow-navy", "-colors", "32", "-interlace", "GIF",
       "im_interlaced.gif")
    im("-size", "90x60", "gradient:white-black", "-colors", "8", "im_87a.gif", prefix="GIF87:")
    im("-size", "120x80", "xc:white", "-fill", "black", "-draw", "line 0,0 119,79", "-draw",
       "circle 60,40 80,50", "-monochrome", "im_lineart_2colors.gif")
    # The second and third frames get local tables of 2 entries.
    im("-size", "40x30", "gradient:red-blue", "-colors", "16", "(", "-size", "40x30", "xc:white",
       "-fill", "black", "-draw", "line 0,0 39,29", "-monochrome", ")", "(", "-size", "20x10",
       "xc:yellow", ")", "im_local_tables.gif")
    im("-size", "80x60", "xc:none", "-fill", "red", "-draw", "rectangle 10,10 50,40", "(", "-size",
       "30x20", "gradient:green-blue", "-colors", "16", ")", "-geometry", "+40+30", "-composite",
       "im_transparent.gif")
    im("-seed", "7", "-delay", "10", "-dispose", "None", "-page", "100x80+0+0", "(", "-size",
       "100x80", "gradient:red-yellow", ")", "-dispose", "Previous", "-page", "+20+10", "(",
       "-size", "40x30", "xc:blue", ")", "-dispose", "Background", "-page", "+50+40", "(", "-size",
       "30x30", "plasma:green-white", ")", "-dispose", "None", "-page", "+5+60", "(", "-size",
       "20x15", "xc:orange", ")", "-loop", "0", "im_anim_offsets.gif")


def make_ffmpeg(out, ffmpeg):
    common = [ffmpeg, "-v", "error", "-y", "-threads", "1", "-f", "lavfi"]
    run(*common, "-i", "testsrc=size=96x64:rate=4", "-frames:v", "5",
        os.path.join(out, "ff_testsrc.gif"))
    run(*common, "-t", "0.6", "-i", "mandelbrot=size=160x120:rate=5", "-vf",
        "split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse",
        os.path.join(out, "ff_mandelbrot_palette.gif"))


def make_gifsicle(out, gifsicle):
    stills = [os.path.join(out, "pil_still_%03d.gif" % (1 << bits)) for bits in range(1, 9)]
    run(gifsicle, "-O0", "--no-loopcount", "--logical-screen", "60x60", "--disposal=none",
        stills[0], "--disposal=asis", stills[1], "--disposal=background", stills[2],
        "--disposal=previous", stills[3], "--position", "7,9", *stills[4:],
        "-o", os.path.join(out, "gs_local_tables.gif"))
    run(gifsicle, "-O0", "--interlace", "--transparent=2", stills[4],
        "-o", os.path.join(out, "gs_interlaced_transparent.gif"))
    run(gifsicle, "-O3", "--colors", "4", os.path.join(out, "ff_testsrc.gif"),
        "-o", os.path.join(out, "gs_optimized_4colors.gif"))


def frames_of(path):
    """The version and, for each image, what the coverage check asks about."""
    data = open(path, "rb").read()
    at = 13 + (3 * (2 << (data[10] & 7)) if data[10] & 0x80 else 0)
    frames, control = [], None

    def skip_blocks(at):
        while data[at] != 0:
            at += 1 + data[at]
        return at + 1

    while at < len(data) and data[at] != 0x3B:
        if data[at] == 0x21:
            control = data[at + 3] if data[at + 1] == 0xF9 else control
            at = skip_blocks(at + 2)
        elif data[at] == 0x2C:
            left, top, width, height = (data[at + i] | data[at + i + 1] << 8 for i in (1, 3, 5, 7))
            flags = data[at + 9]
            local = 2 << (flags & 7) if flags & 0x80 else 0
            at += 10 + 3 * local
            frames.append(dict(offset=left > 0 and top > 0, size=(width, height), local=local,
                               interlaced=bool(flags & 0x40), code_size=data[at],
                               transparent=control is not None and bool(control & 1),
                               disposal=None if control is None else (control >> 2) & 7))
            control = None
            at = skip_blocks(at + 1)
        else:
            fail("%s: unexpected byte %d at %d" % (path, data[at], at))
    return data[3:6].decode("latin-1"), frames


def check_coverage(out):
    versions, frames = set(), []
    for name in sorted(os.listdir(out)):
        version, more = frames_of(os.path.join(out, name))
        versions.add(version)
        frames += more

    def values(key):
        return {frame[key] for frame in frames}
    missing = ["%s %s" % (what, sorted(wanted - have)) for wanted, have, what in (
        ({"87a", "89a"}, versions, "versions"),
        ({True, False}, values("interlaced"), "interlace flags"),
        ({2 << i for i in range(8)}, values("local"), "local table sizes"),
        (set(range(2, 9)), values("code_size"), "minimum code sizes"),
        ({0, 1, 2, 3}, values("disposal"), "disposal values"),
        ({True}, values("transparent"), "transparency"),
        ({True}, values("offset"), "a frame at an offset"),
        ({(1, 1), (1000, 700)}, values("size"), "sizes")) if not wanted <= have]
    if missing:
        fail("the corpus lacks " + "; ".join(missing))


def main():
    if len(sys.argv) != 2:
        fail("usage: make_reference_corpus.py OUTPUT_DIRECTORY")
    out = sys.argv[1]
    convert = tool("imagemagick", "magick", "convert")
    ffmpeg, gifsicle = tool("ffmpeg", "ffmpeg"), tool("gifsicle", "gifsicle")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    make_pil(out)
    make_imagemagick(out, convert)
    make_ffmpeg(out, ffmpeg)
    make_gifsicle(out, gifsicle)
    check_coverage(out)


if __name__ == "__main__":
    main()
