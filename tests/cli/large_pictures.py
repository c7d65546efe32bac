"""Every bundled effect on a large photo-like and a large screenshot-like
picture, at 128 x 128, at the effect's own frame and at 1280 x 720, must show
the whole picture about as well as it shows the same picture reduced to the
frame beforehand by an outside resampler (PIL's Lanczos).

Likeness: the correlation of 32 x 24 grey thumbnails of a frame's opaque box
and of the picture, averaged over the frames. Each run must reach the
pre-reduced run's likeness less 0.1, and no frame may be taken over by one
colour (over 90 % of its opaque pixels within 8 levels of one colour) where
the pre-reduced run's frame is not.

usage: large_pictures.py RENDERER WORK_FOLDER EFFECT...
"""
import os
import subprocess
import sys

import numpy
from PIL import Image, ImageDraw, ImageFilter, ImageSequence

SIZES = {"emoji": (128, 128), "own": (350, 250), "1280x720": (1280, 720)}
# A subset, for trying a renderer that knows only its own frame.
if os.environ.get("LARGE_PICTURE_SIZES"):
    SIZES = {name: SIZES[name] for name in os.environ["LARGE_PICTURE_SIZES"].split(",")}
FRAMES = 2


def smooth_noise(rng, width, height, cells):
    """Random values on a coarse grid, enlarged smoothly: detail at one scale."""
    coarse = (rng.random((cells[1], cells[0], 3)) * 255).astype(numpy.uint8)
    return numpy.asarray(Image.fromarray(coarse).resize((width, height), Image.BICUBIC),
                         dtype=numpy.float32)


def photo_like(path):
    """4032 x 3024: detail at several scales, a few flat areas, and strokes."""
    rng = numpy.random.default_rng(7)
    width, height = 4032, 3024
    field = sum(smooth_noise(rng, width, height, (c, c * 3 // 4)) * w
                for c, w in ((4, 0.5), (16, 0.3), (64, 0.15), (512, 0.05)))
    image = Image.fromarray(numpy.clip(field, 0, 255).astype(numpy.uint8))
    draw = ImageDraw.Draw(image)
    draw.rectangle((200, 200, 1300, 1000), fill=(235, 225, 200))
    draw.ellipse((2600, 1700, 3800, 2900), fill=(30, 60, 140))
    for row in range(8):
        y = 1300 + row * 120
        for word in range(9):
            x = 400 + word * 360 + (row * 37) % 90
            draw.line((x, y, x + 260, y), fill=(10, 10, 10), width=28)
    image.save(path, quality=90)


def screenshot_like(path):
    """3013 x 1561: flat panels, thin text-like strokes, a bar and an icon row."""
    rng = numpy.random.default_rng(11)
    width, height = 3013, 1561
    image = Image.new("RGB", (width, height), (246, 246, 246))
    draw = ImageDraw.Draw(image)
    draw.rectangle((0, 0, width, 90), fill=(40, 44, 52))
    draw.rectangle((0, 90, 600, height), fill=(225, 230, 238))
    for i in range(12):
        draw.rectangle((40 + i * 200, 20, 170 + i * 200, 70),
                       fill=tuple(int(v) for v in rng.integers(60, 255, 3)))
    for line in range(40):
        y = 140 + line * 34
        length = int(rng.integers(900, 2200))
        draw.line((660, y, 660 + length, y), fill=(30, 30, 30), width=6)
        draw.line((40, y, 40 + int(rng.integers(200, 500)), y), fill=(90, 90, 120), width=5)
    draw.rectangle((2500, 900, 2950, 1500), fill=(200, 80, 60))
    image.save(path)


def made(path, maker):
    if not os.path.exists(path):
        temporary = path + ".%d.part%s" % (os.getpid(), os.path.splitext(path)[1])
        maker(temporary)
        os.replace(temporary, path)
    return path


def fitted(picture, box):
    """The picture reduced to fit inside box, aspect kept (as large as fits)."""
    width, height = picture.size
    if width <= box[0] and height <= box[1]:
        return picture
    scale = min(box[0] / width, box[1] / height)
    size = (max(1, round(width * scale)), max(1, round(height * scale)))
    return picture.resize(size, Image.LANCZOS)


def grey_thumbnail(image):
    return numpy.asarray(image.convert("L").resize((32, 24), Image.BOX), dtype=numpy.float64)


def correlation(a, b):
    a = a - a.mean()
    b = b - b.mean()
    denominator = numpy.sqrt((a * a).sum() * (b * b).sum())
    return float((a * b).sum() / denominator) if denominator > 0 else 0.0


def frames_of(path):
    with Image.open(path) as gif:
        return [frame.convert("RGBA") for frame in ImageSequence.Iterator(gif)]


def taken_over(frame):
    pixels = numpy.asarray(frame, dtype=numpy.int32)
    opaque = pixels[pixels[:, :, 3] > 0][:, :3]
    if len(opaque) == 0:
        return True
    middle = numpy.median(opaque, axis=0)
    near = (numpy.abs(opaque - middle).max(axis=1) <= 8).mean()
    return near > 0.9


def measure(gif, thumbnail):
    likeness, over = [], []
    for frame in frames_of(gif):
        box = frame.getchannel("A").getbbox()
        likeness.append(correlation(grey_thumbnail(frame.crop(box)), thumbnail) if box else 0.0)
        over.append(taken_over(frame))
    return sum(likeness) / len(likeness), over


def render(renderer, effect, size, picture, output):
    command = [renderer, "-q", "-e", effect, "-n", str(FRAMES), "-o", output]
    if size != "own":
        command += ["--size", size]
    subprocess.run(command + [picture], check=True)
    return output


def main():
    renderer, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    pictures = {
        "photo": made(os.path.join(work, "photo-like.jpg"), photo_like),
        "screenshot": made(os.path.join(work, "screenshot-like.png"), screenshot_like),
    }
    failures = []
    for effect in sys.argv[3:]:
        for kind, path in pictures.items():
            with Image.open(path) as opened:
                picture = opened.convert("RGB")
            thumbnail = grey_thumbnail(picture)
            for size, box in SIZES.items():
                reduced_path = os.path.join(work, "%s-%s-%s.png" % (kind, size, effect))
                fitted(picture, box).save(reduced_path)
                stem = os.path.join(work, "%s-%s-%s" % (effect, kind, size))
                whole, whole_over = measure(
                    render(renderer, effect, size, path, stem + ".gif"), thumbnail)
                reduced, reduced_over = measure(
                    render(renderer, effect, size, reduced_path, stem + "-reduced.gif"), thumbnail)
                os.remove(reduced_path)
                print("%-16s %-10s %-8s likeness %.3f (pre-reduced %.3f)"
                      % (effect, kind, size, whole, reduced))
                if whole < reduced - 0.1:
                    failures.append("%s %s %s: likeness %.3f below %.3f - 0.1"
                                    % (effect, kind, size, whole, reduced))
                for i, (mine, theirs) in enumerate(zip(whole_over, reduced_over)):
                    if mine and not theirs:
                        failures.append("%s %s %s: frame %d is one colour"
                                        % (effect, kind, size, i))
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
