#!/usr/bin/env python3
"""make_still_corpus.py OUTPUT_DIRECTORY

Makes the PNG and JPEG stills the picture readers are checked against PIL
with, deterministically, and beside each picture NAME writes NAME.rgba: PIL's
decoding of that file as the readers should give it, a width and a height
(4-byte little-endian numbers) followed by red, green, blue and alpha bytes
for every pixel. PIL gives 16-bit grey as 32-bit integers; those keep their
high byte here, as the readers keep it.

PIL writes most files. The 16-bit colour and the interlaced PNGs, which PIL
does not write, are put together here chunk by chunk (PIL still decodes them
for the reference).
"""
import os
import random
import shutil
import struct
import sys
import zlib


def fail(message):
    sys.exit("make_still_corpus: " + message)


try:
    from PIL import Image, ImageDraw
except ImportError:
    fail("needs Python PIL (apt-get install python3-pil)")


def scene(width, height, seed, mode="RGB"):
    """Gradients, shapes and noise: smooth areas and sharp edges for the codecs."""
    rng = random.Random(seed)
    image = Image.new("RGB", (width, height))
    image.putdata([((x * 255) // max(width - 1, 1), (y * 255) // max(height - 1, 1),
                    rng.randrange(256) if (x + y) % 7 == 0 else (x * y) % 256)
                   for y in range(height) for x in range(width)])
    draw = ImageDraw.Draw(image)
    for _ in range(4):
        x0, y0 = rng.randrange(width), rng.randrange(height)
        draw.ellipse([x0, y0, x0 + width // 3, y0 + height // 3],
                     fill=tuple(rng.randrange(256) for _ in range(3)))
    return image.convert(mode) if mode != "RGB" else image


def alpha_ramp(width, height, seed):
    """Every alpha value from 0 to 255, 127 and 128 among them, in a shuffled order."""
    rng = random.Random(seed)
    values = [(i * 256) // (width * height) for i in range(width * height)]
    values[:4] = [0, 127, 128, 255]
    rng.shuffle(values)
    return values


def palette_image(width, height, colours, seed):
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    image.putdata([(x // 2 + y // 3 + rng.randrange(2)) % colours
                   for y in range(height) for x in range(width)])
    return image


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def write_png(path, width, height, colour_type, depth, rows, interlaced=False, extra=b""):
    """rows[y][x] is a tuple of samples; each row of each pass is packed to
    `depth` bits per sample and stored with filter 0."""
    def pack(pixels):
        if depth == 16:
            return b"".join(struct.pack(">%dH" % len(p), *p) for p in pixels)
        if depth == 8:
            return bytes(s for p in pixels for s in p)
        bits, out = "", bytearray()
        for p in pixels:
            bits += "".join(format(s, "0%db" % depth) for s in p)
        bits += "0" * (-len(bits) % 8)
        return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))

    raw = bytearray()
    for x0, y0, dx, dy in (ADAM7 if interlaced else [(0, 0, 1, 1)]):
        if x0 >= width or y0 >= height:
            continue
        for y in range(y0, height, dy):
            raw += b"\0" + pack([rows[y][x] for x in range(x0, width, dx)])
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, int(interlaced))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
                  chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def make_pngs(out):
    def save(image, name, **options):
        image.save(os.path.join(out, name), **options)

    save(scene(37, 23, 1), "rgb.png")
    rgba = scene(41, 29, 2).convert("RGBA")
    rgba.putalpha(Image.frombytes("L", rgba.size, bytes(alpha_ramp(41, 29, 2))))
    save(rgba, "rgba.png")
    save(scene(33, 21, 3, "L"), "grey.png")
    grey_alpha = scene(24, 24, 4, "L").convert("LA")
    grey_alpha.putalpha(Image.frombytes("L", (24, 24), bytes(alpha_ramp(24, 24, 4))))
    save(grey_alpha, "grey_alpha.png")
    grey = scene(30, 20, 5, "L")
    save(grey, "grey_trns.png", transparency=grey.getpixel((3, 3)))
    save(scene(35, 17, 6, "L").convert("1"), "bilevel.png")
    save(palette_image(27, 19, 4, 7), "palette_2bit.png")
    rng = random.Random(8)
    save(palette_image(31, 22, 16, 8), "palette_4bit_trns.png",
         transparency=bytes([0, 100, 127, 128, 200] + [rng.randrange(256) for _ in range(11)]))
    save(palette_image(40, 30, 256, 9), "palette_8bit_trns.png", transparency=5)
    colour_key = scene(26, 18, 10)
    save(colour_key, "rgb_trns.png", transparency=colour_key.getpixel((4, 4)))
    grey16 = Image.new("I;16", (23, 15))
    grey16.putdata([(x * 2851 + y * 4093) % 65536 for y in range(15) for x in range(23)])
    save(grey16, "grey_16bit.png")

    rng = random.Random(11)
    rgb16 = [[(rng.randrange(65536), (x * 3000) % 65536, (y * 5000) % 65536) for x in range(19)]
             for y in range(13)]
    write_png(os.path.join(out, "rgb_16bit.png"), 19, 13, 2, 16, rgb16)
    rgba16 = [[(rng.randrange(65536), rng.randrange(65536), rng.randrange(65536),
                rng.choice([0, 32767, 32768, 32895, 65535])) for x in range(17)] for y in range(11)]
    write_png(os.path.join(out, "rgba_16bit.png"), 17, 11, 6, 16, rgba16)
    rgba8 = [[(x * 9 % 256, y * 13 % 256, (x ^ y) * 7 % 256, alpha)
              for x, alpha in zip(range(29), alpha_ramp(29, 1, 12 + y))] for y in range(19)]
    write_png(os.path.join(out, "rgba_interlaced.png"), 29, 19, 6, 8, rgba8, interlaced=True)
    write_png(os.path.join(out, "rgb_interlaced_1x1.png"), 1, 1, 2, 8, [[(9, 99, 199)]],
              interlaced=True)
    plte = bytes(rng.randrange(256) for _ in range(3 * 16))
    indices = [[((x + 3 * y) % 16,) for x in range(13)] for y in range(10)]
    write_png(os.path.join(out, "palette_4bit_interlaced.png"), 13, 10, 3, 4, indices,
              interlaced=True, extra=chunk(b"PLTE", plte) + chunk(b"tRNS", bytes(range(0, 256, 64))))
    grey2 = [[((x + y) % 4,) for x in range(11)] for y in range(6)]
    write_png(os.path.join(out, "grey_2bit_interlaced.png"), 11, 6, 0, 2, grey2, interlaced=True)


def make_jpegs(out):
    def save(image, name, **options):
        image.save(os.path.join(out, name), quality=90, **options)

    save(scene(64, 48, 20), "colour_420.jpg")
    save(scene(37, 23, 21), "odd_size_420.jpg")
    save(scene(45, 31, 22), "colour_422.jpg", subsampling=1)
    save(scene(40, 26, 23), "colour_444.jpg", subsampling=0)
    save(scene(70, 50, 24), "progressive.jpg", progressive=True)
    save(scene(39, 27, 25, "L"), "grey.jpg")
    save(scene(33, 25, 26, "L"), "grey_progressive.jpg", progressive=True)


def write_reference(path):
    image = Image.open(path)
    image.load()
    if image.mode == "I":  # 16-bit grey: the high byte of each sample
        grey = Image.frombytes("L", image.size, bytes(v >> 8 for v in image.getdata()))
        image = grey.convert("RGBA")
    else:
        image = image.convert("RGBA")
    with open(path + ".rgba", "wb") as out:
        out.write(struct.pack("<II", *image.size) + image.tobytes())


def check_coverage(out):
    """Fails when PIL's choices leave out a PNG colour type, bit depth,
    interlacing or tRNS, so that a changed PIL cannot thin out the test."""
    have = {(kind, value) for name in os.listdir(out) if name.endswith(".png")
            for data in [open(os.path.join(out, name), "rb").read()]
            for kind, value in (("colour type", data[25]), ("bit depth", data[24]),
                                ("interlace", data[28]), ("tRNS", b"tRNS" in data))}
    wanted = {("colour type", t) for t in (0, 2, 3, 4, 6)} | {
        ("bit depth", d) for d in (1, 2, 4, 8, 16)} | {("interlace", 1), ("tRNS", True)}
    if not wanted <= have:
        fail("the corpus lacks %s" % sorted(wanted - have))


def main():
    if len(sys.argv) != 2:
        fail("usage: make_still_corpus.py OUTPUT_DIRECTORY")
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    make_pngs(out)
    make_jpegs(out)
    check_coverage(out)
    for name in sorted(os.listdir(out)):
        write_reference(os.path.join(out, name))


if __name__ == "__main__":
    main()
