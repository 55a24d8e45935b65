#!/usr/bin/python3
"""Writes the JPEG and PNG files of this folder with ImageMagick, Pillow,
libjpeg-turbo's cjpeg and netpbm, in the variants each writes, from small
source pictures of our own; the EXIF orientation files (exiftool); damaged
and hostile files made from them; and the reference pixels the reader's
output is checked against.

Run from anywhere: tests/data/photos/make.py  (needs ImageMagick's convert,
libjpeg-turbo-progs, netpbm, libimage-exiftool-perl and python3-pil). It
rewrites the folder's pictures, references/, manifest.tsv and the generated
part of README.md.

manifest.tsv has one line a file, tab-separated, after a header line that
starts with '#': file, reference, expected, maxdiff, note, why. file and
reference are relative to tests/data/ (reference '-' for a refused file);
expected is 'shown', 'flawed' (shown, with a one-line note saying what is
wrong) or 'refused'; maxdiff is the largest difference per sample allowed
('-' for a refused file); why names the case of a flawed or refused file
('-' for a shown one).

A reference is a PAM (P7) file, 8 bits a sample, rows top-down: Pillow's
decoding of the file with its EXIF orientation applied (the picture as it is
meant to be seen), by the rules of ../pngsuite/make_references.py for PNG.
For a JPEG, maxdiff is the largest difference measured between Pillow's and
djpeg's decoding, plus 2 (another libjpeg build or setting may round
otherwise).
"""
import io
import math
import os
import random
import re
import struct
import subprocess
import sys
import zlib

import PIL
from PIL import Image, ImageFile, ImageOps

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "pngsuite"))
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
import make_references as png_rules  # noqa: E402  (the PNG reference rules, kept in one place)

CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
png_rules.CONVERT = CONVERT
WIDE, TALL = (61, 37), (40, 64)  # neither a multiple of any MCU in both directions
TMP = os.path.join(HERE, ".sources")
CHANNELS = {"GRAYSCALE": "L", "GRAYSCALE_ALPHA": "LA", "RGB": "RGB", "RGB_ALPHA": "RGBA"}
TUPLTYPES = {mode: tupltype for tupltype, mode in CHANNELS.items()}

# What Pillow's exif_transpose does for each orientation, and its inverse:
# the stored picture of an orientation is the inverse applied to the upright
# one, as a camera held that way stores it.
T = Image.Transpose
SHOW = {2: T.FLIP_LEFT_RIGHT, 3: T.ROTATE_180, 4: T.FLIP_TOP_BOTTOM, 5: T.TRANSPOSE,
        6: T.ROTATE_270, 7: T.TRANSVERSE, 8: T.ROTATE_90}
STORE = {**SHOW, 6: T.ROTATE_90, 8: T.ROTATE_270}
MEANING = {1: "upright", 2: "stored mirrored left to right", 3: "stored turned 180 degrees",
           4: "stored mirrored top to bottom",
           5: "stored transposed: mirrored about the top-left to bottom-right diagonal",
           6: "stored turned 90 degrees anticlockwise, shown turned clockwise",
           7: "stored mirrored about the top-right to bottom-left diagonal",
           8: "stored turned 90 degrees clockwise, shown turned anticlockwise"}


# --- the source pictures -------------------------------------------------------------------

def mark_at(x, y, width, height):
    """An 'F' left of the middle: no rotation or mirror of it is itself."""
    unit = max(1, height // 12)
    left, top = width // 4, height // 4
    rx, ry = (x - left) // unit, (y - top) // unit
    if not (0 <= rx < 4 and 0 <= ry < 6):
        return False
    return rx == 0 or ry == 0 or (ry == 2 and rx < 3)


def upright(size):
    """Gradients in all three channels, a differently coloured block in each
    corner (so that each of the eight orientations shows apart) and a dark F."""
    width, height = size
    image = Image.new("RGB", size)
    cw, ch = max(2, width // 6), max(2, height // 6)
    corners = {(0, 0): (230, 30, 30), (1, 0): (30, 200, 60), (0, 1): (40, 60, 230),
               (1, 1): (250, 220, 30)}
    for y in range(height):
        for x in range(width):
            corner = (0 if x < cw else 1 if x >= width - cw else None,
                      0 if y < ch else 1 if y >= height - ch else None)
            if corner in corners:
                colour = corners[corner]
            elif mark_at(x, y, width, height):
                colour = (15, 10, 25)
            else:
                r = 40 + 200 * x // (width - 1)
                g = 40 + 200 * y // (height - 1)
                colour = (r, g, 255 - (r + g) // 3)
            image.putpixel((x, y), colour)
    return image


def with_alpha(image, binary=False):
    """Alpha rising left to right (or, binary, transparent stripes); the mark opaque."""
    width, height = image.size
    rgba = image.convert("RGBA")
    for y in range(height):
        for x in range(width):
            r, g, b, _ = rgba.getpixel((x, y))
            if mark_at(x, y, width, height):
                a = 255
            elif binary:
                a = 0 if (x // 5) % 3 == 1 else 255
            else:
                a = 255 * x // (width - 1)
            rgba.putpixel((x, y), (r, g, b, a))
    return rgba


def samples16(size, channels):
    """16-bit gradients whose low bytes vary, so that rounding to 8 bits
    differs from keeping the high byte; the F at 0."""
    width, height = size
    out = []
    for y in range(height):
        for x in range(width):
            dark = mark_at(x, y, width, height)
            for c in range(channels):
                if c == 3:
                    v = 65535 * (x + y) // (width + height - 2)
                else:
                    v = 0 if dark else (60000 * x // (width - 1) * (3 - c)
                                        + 60000 * y // (height - 1) * c) // 3 + 77 * c + 3
                out.append(v)
    return out


def write_pnm16(path, size, channels):
    values = samples16(size, channels)
    width, height = size
    if channels == 1:
        head = b"P5\n%d %d\n65535\n" % size
    elif channels == 3:
        head = b"P6\n%d %d\n65535\n" % size
    else:
        head = (b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                % size)
    with open(path, "wb") as out:
        out.write(head + struct.pack(">%dH" % len(values), *values))
    return values


def busy(size):
    """A colourful pattern for the end-to-end test: hue waves, rings and a
    checkerboard, with the corner blocks and the F of the small pictures."""
    width, height = size
    base = upright(size)
    image = Image.new("RGB", size)
    cx, cy = width * 0.6, height * 0.45
    pixels = []
    for y in range(height):
        for x in range(width):
            radius = math.hypot(x - cx, y - cy)
            angle = 0.018 * x + 0.011 * y + 2.5 * math.sin(radius / 23.0)
            shade = 0.75 if ((x // 40) + (y // 40)) % 2 else 1.0
            pixels.append(tuple(int(shade * (128 + 120 * math.sin(angle + k * 2.094)))
                                for k in range(3)))
    image.putdata(pixels)
    mask = Image.new("L", size)
    mask.putdata([255 if base.getpixel((x, y)) in ((230, 30, 30), (30, 200, 60), (40, 60, 230),
                                                   (250, 220, 30), (15, 10, 25)) else 0
                  for y in range(height) for x in range(width)])
    image.paste(base, (0, 0), mask)
    return image


# --- file structure: what each file holds, checked -----------------------------------------

def jpeg_structure(data):
    """The markers of a JPEG: frame type, components, restart interval,
    Adobe transform, EXIF byte order, scan and restart marker counts."""
    info = {"scans": 0, "restarts": 0, "dri": 0, "adobe": None, "exif": None, "dqt": 0}
    assert data[:2] == b"\xff\xd8"
    pos = 2
    while pos + 4 <= len(data):
        assert data[pos] == 0xFF, "marker expected at %d" % pos
        marker = data[pos + 1]
        if marker == 0xD9:
            break
        length = struct.unpack_from(">H", data, pos + 2)[0]
        body = data[pos + 4:pos + 2 + length]
        if marker in (0xC0, 0xC1, 0xC2, 0xC3, 0xC9, 0xCA, 0xCB):
            info["sof"] = marker
            _, h, w, n = struct.unpack_from(">BHHB", body)
            info["size"] = (w, h)
            info["ids"] = bytes(body[6 + 3 * i] for i in range(n))
            info["sampling"] = ",".join("%dx%d" % (body[7 + 3 * i] >> 4, body[7 + 3 * i] & 15)
                                        for i in range(n))
        elif marker == 0xDD:
            info["dri"] = struct.unpack(">H", body[:2])[0]
        elif marker == 0xDB:
            info["dqt"] += 1
        elif marker == 0xEE and body[:5] == b"Adobe":
            info["adobe"] = body[11]
        elif marker == 0xE1 and body[:6] == b"Exif\0\0":
            info["exif"] = body[6:8].decode()
        pos += 2 + length
        if marker == 0xDA:
            info["scans"] += 1
            while pos + 1 < len(data):  # through the entropy-coded data
                if data[pos] == 0xFF and data[pos + 1] != 0:
                    if 0xD0 <= data[pos + 1] <= 0xD7:
                        info["restarts"] += 1
                    else:
                        break
                    pos += 2
                else:
                    pos += 1
    return info


def jpeg_summary(info):
    kind = {0xC0: "baseline", 0xC1: "extended sequential", 0xC2: "progressive",
            0xC9: "arithmetic sequential", 0xCA: "arithmetic progressive"}[info["sof"]]
    n = len(info["ids"])
    if n == 1:
        colour = "grey"
    elif n == 3:
        colour = "RGB" if info["ids"] == b"RGB" or info["adobe"] == 0 else "YCbCr"
    else:
        colour = {0: "CMYK (Adobe, inverted)", 2: "YCCK (Adobe)"}.get(info["adobe"], "CMYK")
    text = "%s %s %s %dx%d" % (kind, colour, info["sampling"], *info["size"])
    if info["dri"]:
        text += ", restart every %d MCUs (%d markers)" % (info["dri"], info["restarts"])
    if info["scans"] > 1:
        text += ", %d scans" % info["scans"]
    return text


def png_structure(data):
    width, height, depth, colour, interlace = png_rules.header(data)
    kinds = [kind for kind, _, _ in png_rules.chunks(data)]
    return {"size": (width, height), "depth": depth, "colour": colour, "interlace": interlace,
            "trns": b"tRNS" in kinds, "exif_before_idat": b"eXIf" in kinds
            and kinds.index(b"eXIf") < kinds.index(b"IDAT")}


def png_summary(info):
    text = "%s %d-bit %dx%d" % (png_rules.COLOUR_TYPES[info["colour"]], info["depth"],
                                *info["size"])
    if info["trns"]:
        text += ", tRNS"
    if info["interlace"]:
        text += ", Adam7"
    return text


# --- references ----------------------------------------------------------------------------

class References:
    """PAM files under references/, one a distinct picture: a file whose
    decoding is a source picture, or another file's reference, shares it."""

    def __init__(self):
        self.by_content = {}
        self.candidates = {}
        os.makedirs(os.path.join(HERE, "references"), exist_ok=True)
        for name in os.listdir(os.path.join(HERE, "references")):
            if name.endswith(".pam"):
                os.remove(os.path.join(HERE, "references", name))

    @staticmethod
    def pam(image):
        tupltype = TUPLTYPES[image.mode]
        return (b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n"
                % (image.size + (len(image.mode), tupltype.encode())) + image.tobytes())

    def offer(self, name, image):
        """A source picture: written only once some file decodes to it."""
        self.candidates[self.pam(image)] = name

    def store(self, name, image):
        content = self.pam(image)
        if content not in self.by_content:
            name = self.candidates.get(content, name)
            with open(os.path.join(HERE, "references", name + ".pam"), "wb") as out:
                out.write(content)
            self.by_content[content] = "photos/references/%s.pam" % name
        return self.by_content[content]


def png_decoding(path):
    """Pillow's decoding by the PNG rules, then its EXIF orientation."""
    tupltype, width, height, samples = png_rules.reference(path)
    if png_rules.magick_reference(path, tupltype) != samples:
        sys.exit("%s: Pillow and ImageMagick differ" % path)
    image = Image.frombytes(CHANNELS[tupltype], (width, height), samples)
    exif = Image.open(path).info.get("exif")
    if exif:
        image.info["exif"] = exif
    return ImageOps.exif_transpose(image)


def jpeg_decoding(path, truncated=False):
    """Pillow's decoding (CMYK as RGB), upright, and the largest difference
    from djpeg's decoding of the stored picture."""
    ImageFile.LOAD_TRUNCATED_IMAGES = truncated
    try:
        stored = Image.open(path)
        stored.load()
        shown = ImageOps.exif_transpose(stored)
    finally:
        ImageFile.LOAD_TRUNCATED_IMAGES = False
    if shown.mode == "CMYK":
        shown = shown.convert("RGB")
    stored = stored.convert("RGB") if stored.mode == "CMYK" else stored
    result = subprocess.run(["djpeg", "-pnm", path], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    assert result.returncode in ((0, 2) if truncated else (0,)), (path, result.returncode)
    theirs = Image.open(io.BytesIO(result.stdout))
    assert theirs.mode == stored.mode and theirs.size == stored.size, path
    diff = max(abs(a - b) for a, b in zip(stored.tobytes(), theirs.tobytes()))
    return shown, diff


def read_pam(path):
    """A reference as written here, read back (Pillow reads no PAM)."""
    data = open(path, "rb").read()
    head, pixels = data.split(b"ENDHDR\n", 1)
    fields = dict(line.split(b" ", 1) for line in head.split(b"\n")[1:] if line)
    mode = CHANNELS[fields[b"TUPLTYPE"].decode()]
    size = int(fields[b"WIDTH"]), int(fields[b"HEIGHT"])
    assert int(fields[b"DEPTH"]) == len(mode) and fields[b"MAXVAL"] == b"255", path
    return Image.frombytes(mode, size, pixels)


def mean_difference(a, b):
    a, b = a.tobytes(), b.tobytes()
    assert len(a) == len(b)
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)


def visible(image):
    """The pixels as seen: the colour under alpha 0 does not count."""
    if "A" not in image.mode:
        return image.tobytes()
    n = len(image.mode)
    data = bytearray(image.tobytes())
    for i in range(n - 1, len(data), n):
        if data[i] == 0:
            data[i - n + 1:i] = bytes(n - 1)
    return bytes(data)


def first_rows_alike(a, b):
    """How many rows from the top two pictures share."""
    stride = a.size[0] * len(a.mode)
    x, y = a.tobytes(), b.tobytes()
    rows = 0
    while rows < a.size[1] and x[rows * stride:(rows + 1) * stride] == \
            y[rows * stride:(rows + 1) * stride]:
        rows += 1
    return rows


# --- making ----------------------------------------------------------------------------------

def run(args, stdout=None, stdin=None):
    subprocess.run(args, check=True, stdout=stdout, stdin=stdin)


def run_to(path, args):
    with open(path, "wb") as out:
        run(args, stdout=out)


def src(name):
    return os.path.join(TMP, name)


def crc_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def tool_versions():
    def first(args, pattern):
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, stdin=subprocess.DEVNULL)
        return re.search(pattern, result.stdout).group(1)
    return [
        ("ImageMagick", first([CONVERT, "-version"], r"ImageMagick (\S+ Q\d+)")),
        ("Pillow", PIL.__version__),
        ("libjpeg-turbo (cjpeg, djpeg, and the one Pillow and ImageMagick use)",
         first(["cjpeg", "-version"], r"version (\S+)")),
        ("netpbm", first(["pnmtopng", "-version"], r"Netpbm (?:Version: )?Netpbm (\S+)")),
        ("exiftool", first(["exiftool", "-ver"], r"(\S+)")),
        ("Python", sys.version.split()[0]),
    ]


def main():
    os.chdir(HERE)
    for name in os.listdir("."):
        if name.endswith((".jpg", ".png", ".gif", ".webp", ".tif", ".heic", ".bin")):
            os.remove(name)
    os.makedirs(TMP, exist_ok=True)
    refs = References()
    manifest = []  # (file, reference, expected, maxdiff, note, why)

    wide, tall = upright(WIDE), upright(TALL)
    grey = wide.convert("L")
    alpha = with_alpha(wide)
    binary = with_alpha(wide.quantize(colors=40, dither=Image.Dither.NONE).convert("RGB"), True)
    few = wide.quantize(colors=40, dither=Image.Dither.NONE).convert("RGB")
    for name, image in (("wide", wide), ("tall", tall), ("grey", grey), ("alpha", alpha),
                        ("binary-alpha", binary), ("few", few),
                        ("grey-alpha", alpha.convert("LA")), ("bw", grey.convert("1"))):
        refs.offer(name, image.convert("L" if image.mode == "1" else image.mode))
    wide.save(src("wide.ppm"))
    tall.save(src("tall.ppm"))
    grey.save(src("grey.pgm"))
    few.save(src("few.ppm"))
    alpha.save(src("alpha.png"))
    binary.save(src("binary.png"))
    alpha.convert("LA").save(src("grey-alpha.png"))
    grey16 = write_pnm16(src("grey16.pgm"), WIDE, 1)
    rgb16 = write_pnm16(src("rgb16.ppm"), WIDE, 3)
    rgba16 = write_pnm16(src("rgba16.pam"), WIDE, 4)
    for name, values, mode in (("grey16", grey16, "L"), ("rgb16", rgb16, "RGB"),
                               ("rgba16", rgba16, "RGBA")):
        refs.offer(name, Image.frombytes(mode, WIDE, bytes(v >> 8 for v in values)))
    wide.crop((0, 0, 1, 1)).save(src("one.ppm"))
    wide.crop((3, 2, 20, 11)).save(src("odd.ppm"))

    def add_jpeg(file, note, expect, source=wide, truncated=False, tolerance_to_source=14):
        """Checks the file is the variant it is said to be, that it shows its
        source picture, and files it with Pillow's decoding."""
        data = open(file, "rb").read()
        info = jpeg_structure(data)
        for key, value in expect.items():
            assert info[key] == value, (file, key, info[key], value)
        shown, diff = jpeg_decoding(file, truncated)
        if source is not None:
            compare = source.convert(shown.mode)
            assert shown.size == compare.size, (file, shown.size)
            difference = mean_difference(shown, compare)
            assert difference < tolerance_to_source, (file, difference)
        manifest.append([file, refs.store(file[:-4], shown), "shown", str(diff + 2),
                         "%s; %s" % (note, jpeg_summary(info)), "-"])
        return shown, info

    def add_png(file, note, expect, source=None, exact=True):
        data = open(file, "rb").read()
        info = png_structure(data)
        for key, value in expect.items():
            assert info[key] == value, (file, key, info[key], value)
        shown = png_decoding(file)
        if source is not None:
            if exact:
                assert shown.mode == source.mode and visible(shown) == visible(source), file
            else:
                assert mean_difference(shown, source.convert(shown.mode)) < 8, file
        manifest.append([file, refs.store(file[:-4], shown), "shown", "0",
                         "%s; %s" % (note, png_summary(info)), "-"])
        return shown

    # JPEG by cjpeg: every sampling it is given, progressive, arithmetic
    # coding, restart markers, grey and RGB coding; sizes that no MCU divides.
    def Y(luma):  # the luma sampling, then the two chroma components at 1x1
        return luma + ",1x1,1x1"
    for tag, sample in (("444", "1x1"), ("422", "2x1"), ("420", "2x2"), ("440", "1x2"),
                        ("411", "4x1")):
        run_to("cjpeg-%s.jpg" % tag, ["cjpeg", "-sample", sample, src("wide.ppm")])
        add_jpeg("cjpeg-%s.jpg" % tag, "cjpeg -sample %s (4:%s:%s)" % (sample, tag[1], tag[2]),
                 {"sof": 0xC0, "sampling": Y(sample)})
    run_to("cjpeg-420-tall.jpg", ["cjpeg", "-sample", "2x2", src("tall.ppm")])
    add_jpeg("cjpeg-420-tall.jpg", "cjpeg -sample 2x2, portrait, width not a multiple of 16",
             {"sof": 0xC0, "sampling": Y("2x2"), "size": TALL}, tall)
    run_to("cjpeg-411-tall.jpg", ["cjpeg", "-sample", "4x1", src("tall.ppm")])
    add_jpeg("cjpeg-411-tall.jpg", "cjpeg -sample 4x1, portrait, width not a multiple of 32",
             {"sof": 0xC0, "sampling": Y("4x1"), "size": TALL}, tall)
    run_to("cjpeg-420-1x1.jpg", ["cjpeg", "-sample", "2x2", src("one.ppm")])
    add_jpeg("cjpeg-420-1x1.jpg", "cjpeg -sample 2x2 of one pixel",
             {"sof": 0xC0, "size": (1, 1)}, wide.crop((0, 0, 1, 1)))
    run_to("cjpeg-420-17x9.jpg", ["cjpeg", "-sample", "2x2", src("odd.ppm")])
    add_jpeg("cjpeg-420-17x9.jpg", "cjpeg -sample 2x2 of 17 x 9 pixels (one partial MCU each way)",
             {"sof": 0xC0, "size": (17, 9)}, wide.crop((3, 2, 20, 11)), tolerance_to_source=25)
    cjpeg_more = [
        ("cjpeg-progressive.jpg", ["-progressive"], "cjpeg -progressive", {"sof": 0xC2}),
        ("cjpeg-arith.jpg", ["-arithmetic"], "cjpeg -arithmetic", {"sof": 0xC9}),
        ("cjpeg-arith-progressive.jpg", ["-arithmetic", "-progressive"],
         "cjpeg -arithmetic -progressive", {"sof": 0xCA}),
        ("cjpeg-restart-row.jpg", ["-restart", "1"], "cjpeg -restart 1 (every MCU row)",
         {"sof": 0xC0, "dri": 4}),
        ("cjpeg-restart-mcu.jpg", ["-restart", "1B"], "cjpeg -restart 1B (every MCU)",
         {"sof": 0xC0, "dri": 1}),
        ("cjpeg-grey.jpg", ["-grayscale"], "cjpeg -grayscale", {"sof": 0xC0, "ids": b"\x01"}),
        ("cjpeg-rgb.jpg", ["-rgb"], "cjpeg -rgb (RGB coded, no colour transform)",
         {"sof": 0xC0, "ids": b"RGB", "adobe": 0}),
    ]
    for file, options, note, expect in cjpeg_more:
        run_to(file, ["cjpeg"] + options + [src("wide.ppm")])
        add_jpeg(file, note, expect)

    # JPEG by ImageMagick: its default, each sampling factor, progressive,
    # grey, and CMYK (which it writes as YCCK).
    run([CONVERT, src("wide.ppm"), "im-default.jpg"])
    add_jpeg("im-default.jpg", "ImageMagick default (quality 92)", {"sof": 0xC0})
    for tag, sample in (("444", "1x1"), ("422", "2x1"), ("420", "2x2"), ("440", "1x2"),
                        ("411", "4x1")):
        file = "im-%s.jpg" % tag
        run([CONVERT, src("wide.ppm"), "-sampling-factor", sample, file])
        add_jpeg(file, "ImageMagick -sampling-factor %s" % sample,
                 {"sof": 0xC0, "sampling": Y(sample)})
    run([CONVERT, src("wide.ppm"), "-interlace", "JPEG", "im-progressive.jpg"])
    add_jpeg("im-progressive.jpg", "ImageMagick -interlace JPEG", {"sof": 0xC2})
    run([CONVERT, src("wide.ppm"), "-colorspace", "Gray", "im-grey.jpg"])
    add_jpeg("im-grey.jpg", "ImageMagick -colorspace Gray", {"ids": b"\x01"}, grey)
    run([CONVERT, src("wide.ppm"), "-colorspace", "CMYK", "im-ycck.jpg"])
    shown, _ = add_jpeg("im-ycck.jpg", "ImageMagick -colorspace CMYK: written as YCCK",
                        {"adobe": 2, "sampling": "1x1,1x1,1x1,1x1"})
    # Read right, it is the source picture; read without the Adobe inversion
    # it would be its negative.
    negative = Image.eval(wide, lambda v: 255 - v)
    assert mean_difference(shown, wide) * 5 < mean_difference(shown, negative), "im-ycck"

    # JPEG by Pillow: its default, quality 95, progressive, grey, CMYK.
    wide.save("pil-default.jpg")
    add_jpeg("pil-default.jpg", "Pillow default (quality 75)", {"sof": 0xC0,
                                                                "sampling": Y("2x2")})
    wide.save("pil-q95.jpg", quality=95)
    add_jpeg("pil-q95.jpg", "Pillow quality 95", {"sof": 0xC0})
    wide.save("pil-progressive.jpg", progressive=True)
    add_jpeg("pil-progressive.jpg", "Pillow progressive=True", {"sof": 0xC2})
    grey.save("pil-grey.jpg")
    add_jpeg("pil-grey.jpg", "Pillow mode L", {"ids": b"\x01"}, grey)
    wide.convert("CMYK").save("pil-cmyk.jpg")
    shown, _ = add_jpeg("pil-cmyk.jpg", "Pillow mode CMYK: written as Adobe CMYK, inverted",
                        {"adobe": 0, "sampling": "1x1,1x1,1x1,1x1"})
    assert mean_difference(shown, wide) * 5 < mean_difference(shown, negative), "pil-cmyk"

    # JPEG by netpbm.
    run_to("pbm-default.jpg", ["pnmtojpeg", src("wide.ppm")])
    add_jpeg("pbm-default.jpg", "pnmtojpeg default", {"sof": 0xC0})
    run_to("pbm-grey.jpg", ["pnmtojpeg", src("grey.pgm")])
    add_jpeg("pbm-grey.jpg", "pnmtojpeg of a PGM", {"ids": b"\x01"}, grey)

    # EXIF orientation: the picture stored as a camera held each way stores
    # it, the tag saying how to show it; both byte orders; 0 and 9 (out of
    # range: shown as stored); EXIF without the tag.
    for order in ("II", "MM"):
        for value in range(0, 10):
            picture = wide.transpose(STORE[value]) if value in STORE else wide
            file = "exif-%s-%d.jpg" % (order.lower(), value)
            picture.save(file, quality=90)
            run(["exiftool", "-q", "-overwrite_original", "-ExifByteOrder=" + order,
                 "-Orientation#=%d" % value, file])
            meaning = MEANING.get(value, "out of range: shown as stored")
            add_jpeg(file, "EXIF %s, orientation %d (%s)" % (order, value, meaning),
                     {"exif": order, "size": picture.size}, wide)
    wide.save("exif-none.jpg", quality=90)
    run(["exiftool", "-q", "-overwrite_original", "-ExifByteOrder=MM", "-Software=make.py",
         "-ImageDescription=no orientation tag", "exif-none.jpg"])
    add_jpeg("exif-none.jpg", "EXIF MM without an orientation tag", {"exif": "MM"})
    assert "Orientation" not in subprocess.run(["exiftool", "-s", "exif-none.jpg"],
                                               stdout=subprocess.PIPE, text=True).stdout
    for value in (6, 3):
        file = "exif-%d.png" % value
        exif = Image.Exif()
        exif[0x0112] = value
        wide.transpose(STORE[value]).save(file, exif=exif)
        listing = subprocess.run(["exiftool", "-v", file], stdout=subprocess.PIPE,
                                 text=True).stdout
        assert "PNG eXIf" in listing and "Orientation = %d" % value in listing, file
        chunk = next(body for kind, body, _ in png_rules.chunks(open(file, "rb").read())
                     if kind == b"eXIf")
        add_png(file, "Pillow exif=: eXIf chunk (%s), orientation %d (%s)"
                % (chunk[:2].decode(), value, MEANING[value]),
                {"exif_before_idat": True}, wide)

    # PNG by ImageMagick.
    magick = [
        ("im-png8.png", "PNG8:", src("wide.ppm"), [], "ImageMagick PNG8: (quantised to 256)",
         {"colour": 3, "depth": 8}, wide, False),
        ("im-png24.png", "PNG24:", src("wide.ppm"), [], "ImageMagick PNG24:",
         {"colour": 2, "depth": 8}, wide, True),
        ("im-png32.png", "PNG32:", src("alpha.png"), [], "ImageMagick PNG32:",
         {"colour": 6, "depth": 8}, alpha, True),
        ("im-png48.png", "PNG48:", src("rgb16.ppm"), [], "ImageMagick PNG48:",
         {"colour": 2, "depth": 16}, None, True),
        ("im-png64.png", "PNG64:", src("rgba16.pam"), [], "ImageMagick PNG64:",
         {"colour": 6, "depth": 16}, None, True),
        ("im-grey8.png", "", src("grey.pgm"), [], "ImageMagick, a grey picture",
         {"colour": 0, "depth": 8}, grey, True),
        ("im-grey16.png", "", src("grey16.pgm"), [], "ImageMagick, a 16-bit grey picture",
         {"colour": 0, "depth": 16}, None, True),
        ("im-grey-alpha.png", "", src("grey-alpha.png"), ["-type", "GrayscaleAlpha"],
         "ImageMagick -type GrayscaleAlpha", {"colour": 4, "depth": 8},
         alpha.convert("LA"), True),
        ("im-palette-trns.png", "PNG8:", src("binary.png"), [],
         "ImageMagick PNG8: of a picture with binary alpha", {"colour": 3, "trns": True},
         binary, True),
        ("im-adam7.png", "PNG24:", src("wide.ppm"), ["-interlace", "PNG"],
         "ImageMagick -interlace PNG", {"colour": 2, "interlace": 1}, wide, True),
    ]
    sixteen = {"im-png48.png": ("RGB", rgb16), "im-png64.png": ("RGBA", rgba16),
               "im-grey16.png": ("L", grey16)}
    for file, prefix, source_file, options, note, expect, source, exact in magick:
        # Without the dates, each run writes the same bytes.
        run([CONVERT, source_file, "-define", "png:exclude-chunks=date,time"] + options
            + [prefix + file])
        if file in sixteen:
            mode, values = sixteen[file]
            source = Image.frombytes(mode, WIDE, bytes(v >> 8 for v in values))
        add_png(file, note, expect, source, exact)

    # PNG by Pillow, every mode it writes.
    keyed_palette = few.quantize(colors=40, dither=Image.Dither.NONE)
    keyed_palette.info["transparency"] = 3
    i16 = Image.frombytes("I;16", WIDE, struct.pack("<%dH" % len(grey16), *grey16))
    pillow = [
        ("pil-1.png", grey.convert("1"), {}, "Pillow mode 1", {"colour": 0, "depth": 1}),
        ("pil-l.png", grey, {}, "Pillow mode L", {"colour": 0, "depth": 8}),
        ("pil-la.png", alpha.convert("LA"), {}, "Pillow mode LA", {"colour": 4, "depth": 8}),
        ("pil-p-trns.png", keyed_palette, {},
         "Pillow mode P, palette entry 3 transparent", {"colour": 3, "trns": True}),
        ("pil-rgb.png", wide, {}, "Pillow mode RGB", {"colour": 2, "depth": 8}),
        ("pil-rgba.png", alpha, {}, "Pillow mode RGBA", {"colour": 6, "depth": 8}),
        ("pil-i16.png", i16, {}, "Pillow mode I;16", {"colour": 0, "depth": 16}),
    ]
    for file, image, options, note, expect in pillow:
        image.save(file, **options)
        if image.mode == "P":
            expected = image.convert("RGBA")
            assert 0 < sum(1 for a in expected.getchannel("A").getdata() if a == 0), file
        elif image.mode == "1":
            expected = image.convert("L")
        elif image.mode == "I;16":
            expected = Image.frombytes("L", WIDE, bytes(v >> 8 for v in grey16))
        else:
            expected = image
        add_png(file, note, expect, expected)

    # PNG by netpbm.
    run_to("pbm-default.png", ["pnmtopng", src("wide.ppm")])
    add_png("pbm-default.png", "pnmtopng default", {"colour": 2, "depth": 8}, wide)
    run_to("pbm-interlace.png", ["pnmtopng", "-interlace", src("wide.ppm")])
    add_png("pbm-interlace.png", "pnmtopng -interlace", {"interlace": 1}, wide)
    key = (15, 10, 25)  # the F's colour, and no other pixel's
    run_to("pbm-transparent.png", ["pnmtopng", "-transparent", "rgb:%02x/%02x/%02x" % key,
                                   src("wide.ppm")])
    keyed = wide.convert("RGBA")
    keyed.putdata([p if p[:3] != key else p[:3] + (0,) for p in keyed.getdata()])
    add_png("pbm-transparent.png", "pnmtopng -transparent: the F's colour keyed out by tRNS",
            {"colour": 2, "trns": True}, keyed)
    run_to("pbm-grey16.png", ["pnmtopng", src("grey16.pgm")])
    add_png("pbm-grey16.png", "pnmtopng of a PGM of maxval 65535", {"colour": 0, "depth": 16},
            Image.frombytes("L", WIDE, bytes(v >> 8 for v in grey16)))
    run_to("pbm-palette.png", ["pnmtopng", src("few.ppm")])
    add_png("pbm-palette.png", "pnmtopng of a 40-colour picture (it chooses a palette)",
            {"colour": 3}, few)

    # The end-to-end pair: one busy 640 x 480 picture, as a JPEG and as the
    # PNG of Pillow's decoding of that JPEG, so that both have one reference.
    big = busy((640, 480))
    big.save("pil-busy-640x480.jpg", quality=90)
    shown, _ = add_jpeg("pil-busy-640x480.jpg", "Pillow quality 90, a busy 640 x 480 picture",
                        {"size": (640, 480)}, big, tolerance_to_source=6)
    shown.save("pil-busy-640x480.png", optimize=True)
    add_png("pil-busy-640x480.png", "Pillow, the busy 640 x 480 picture as that JPEG decodes",
            {"colour": 2, "size": (640, 480)}, shown)

    # Damaged files: cut short (shown as far as they go), a bad CRC, huge
    # declared sizes, broken streams.
    def flawed(file, reference_image, maxdiff, note, why):
        manifest.append([file, refs.store(file[:-4], reference_image), "flawed", str(maxdiff),
                         note, why])

    def refused(file, note, why):
        manifest.append([file, "-", "refused", "-", note, why])

    run_to(src("tall-q95.jpg"), ["cjpeg", "-quality", "95", "-sample", "1x1", src("tall.ppm")])
    whole = open(src("tall-q95.jpg"), "rb").read()
    cut = len(whole) * 6 // 10
    open("cut-baseline.jpg", "wb").write(whole[:cut])
    full, _ = jpeg_decoding(src("tall-q95.jpg"))
    part, diff = jpeg_decoding("cut-baseline.jpg", truncated=True)
    rows = first_rows_alike(full, part)
    assert 0 < rows < TALL[1], rows
    flawed("cut-baseline.jpg", part, diff + 2,
           "cjpeg baseline 4:4:4 40x64 cut at 60%% of its bytes (%d of %d): first %d rows "
           "intact, the rest what libjpeg fills in" % (cut, len(whole), rows), "truncated")

    whole = open("cjpeg-progressive.jpg", "rb").read()
    scans = jpeg_structure(whole)["scans"]
    cut = len(whole) // 2
    open("cut-progressive.jpg", "wb").write(whole[:cut])
    complete = jpeg_structure(whole[:cut] + b"\xff\xd9")["scans"] - 1
    part, diff = jpeg_decoding("cut-progressive.jpg", truncated=True)
    assert 0 < mean_difference(part, wide) < 40
    flawed("cut-progressive.jpg", part, diff + 2,
           "cjpeg-progressive.jpg cut at half its bytes (%d of %d): %d of its %d scans whole, "
           "the picture coarse" % (cut, len(whole), complete, scans), "truncated")

    whole = open("pbm-default.png", "rb").read()
    start = whole.index(b"IDAT") + 4
    length = struct.unpack_from(">I", whole, start - 8)[0]
    cut = start + length // 2
    open("cut-idat.png", "wb").write(whole[:cut])
    rows_data = zlib.decompressobj().decompress(whole[start:cut])
    rows = len(rows_data) // (1 + 3 * WIDE[0])
    ImageFile.LOAD_TRUNCATED_IMAGES = True
    try:
        part = Image.open("cut-idat.png")
        part.load()
        part = part.convert("RGB")
    finally:
        ImageFile.LOAD_TRUNCATED_IMAGES = False
    assert first_rows_alike(part, wide) >= rows > 0
    flawed("cut-idat.png", part, 0,
           "pbm-default.png cut in the middle of its IDAT (%d of %d bytes): first %d rows "
           "intact, the rest zeros" % (cut, len(whole), rows), "truncated")

    data = bytearray(open("pil-rgb.png", "rb").read())
    start = data.index(b"IDAT")
    length = struct.unpack_from(">I", data, start - 4)[0]
    data[start + 4 + length] ^= 0xFF
    open("bad-idat-crc.png", "wb").write(data)
    refused("bad-idat-crc.png", "pil-rgb.png with its IDAT CRC wrong", "badcrc")

    size = 60000
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 0, 0, 0, 0)
    stream = zlib.compress(b"\0" * (size + 1), 9)  # one row of zeros
    huge = (png_rules.SIGNATURE + crc_chunk(b"IHDR", ihdr) + crc_chunk(b"IDAT", stream)
            + crc_chunk(b"IEND", b""))
    open("bad-huge.png", "wb").write(huge)
    refused("bad-huge.png", "%d bytes declaring a %d x %d grey picture (IHDR CRC right), "
            "one row of data" % (len(huge), size, size), "hugedeclared")

    Image.new("RGB", (8, 8), (200, 30, 90)).save(src("small.jpg"))
    data = bytearray(open(src("small.jpg"), "rb").read())
    sof = data.index(b"\xff\xc0")
    struct.pack_into(">HH", data, sof + 5, 65000, 65000)
    open("bad-huge.jpg", "wb").write(data)
    assert len(data) < 1024 and jpeg_structure(bytes(data))["size"] == (65000, 65000)
    refused("bad-huge.jpg", "%d bytes (an 8x8 JPEG by Pillow) whose SOF declares 65000 x 65000"
            % len(data), "hugedeclared")

    data = bytearray(open("pil-rgb.png", "rb").read())
    start = data.index(b"IDAT")
    length = struct.unpack_from(">I", data, start - 4)[0]
    garbage = bytes(random.Random(7).randrange(256) for _ in range(length - 2))
    body = data[start + 4:start + 6] + garbage  # a zlib header, then no deflate stream
    data[start - 4:start + 8 + length] = crc_chunk(b"IDAT", bytes(body))
    open("bad-zlib.png", "wb").write(data)
    refused("bad-zlib.png", "pil-rgb.png with random bytes for its deflate stream (CRC right)",
            "corrupt")

    data = open("pil-default.jpg", "rb").read()
    out, pos = bytearray(data[:2]), 2
    while True:
        length = struct.unpack_from(">H", data, pos + 2)[0]
        if data[pos + 1] != 0xDB:
            out += data[pos:pos + 2 + length]
        pos += 2 + length
        if data[pos - 2 - length + 1] == 0xDA:
            out += data[pos:]
            break
    open("bad-no-dqt.jpg", "wb").write(out)
    assert jpeg_structure(bytes(out))["dqt"] == 0
    refused("bad-no-dqt.jpg", "pil-default.jpg without its quantisation tables (DQT)", "corrupt")

    open("not-text.jpg", "w").write("These are not the pixels you are looking for.\n"
                                    "A text file named like a JPEG: the reader must look at "
                                    "its bytes, not its name.\n")
    refused("not-text.jpg", "a text file named .jpg", "notimage")
    noise = bytes(random.Random(11).randrange(256) for _ in range(1000))
    assert noise[:2] != b"\xff\xd8" and noise[:4] != b"\x89PNG"
    open("not-random.png", "wb").write(noise)
    refused("not-random.png", "1000 random bytes named .png", "notimage")

    # GIF and WebP as ImageMagick writes them (tests/data/web has the
    # formats' variants): shown as Pillow decodes them.
    run([CONVERT, src("wide.ppm"), "im-gif.gif"])
    assert open("im-gif.gif", "rb").read(6) == b"GIF89a"
    manifest.append(["im-gif.gif", refs.store("im-gif", Image.open("im-gif.gif").convert("RGB")),
                     "shown", "0", "ImageMagick GIF89a (quantised to 256, dithered); reference "
                     "Pillow's decoding", "-"])
    run([CONVERT, src("wide.ppm"), "-quality", "60", "im-webp.webp"])
    head = open("im-webp.webp", "rb").read(16)
    assert head[:4] == b"RIFF" and head[8:15] == b"WEBPVP8", head
    manifest.append(["im-webp.webp", refs.store("im-webp", Image.open("im-webp.webp").convert(
        "RGB")), "shown", "3", "ImageMagick WebP (RIFF, %s), quality 60; reference Pillow's "
        "decoding" % head[12:16].decode().strip(), "-"])
    # TIFF as ImageMagick writes it, in both byte orders (tests/data/tiff
    # has the format's variants): lossless, shown as the source.
    for order, endian, magic in (("ii", "lsb", b"II*\0"), ("mm", "msb", b"MM\0*")):
        file = "im-tiff-%s.tif" % order
        # -endian is not heeded for TIFF; the coder's own define is.
        run([CONVERT, src("wide.ppm"), "-define", "tiff:endian=" + endian, "-compress", "zip",
             file])
        assert open(file, "rb").read(4) == magic, file
        assert Image.open(file).convert("RGB").tobytes() == wide.tobytes(), file
        manifest.append([file, refs.store("wide", wide), "shown", "0", "ImageMagick TIFF, "
                         "Deflate, byte order %s; Pillow decodes the source" % order.upper(),
                         "-"])
    # Other formats, to be refused by name.
    ftyp = b"heic" + struct.pack(">I", 0) + b"mif1heic"
    hdlr = struct.pack(">I", 0) + struct.pack(">I", 0) + b"pict" + b"\0" * 12 + b"\0"
    meta = struct.pack(">I", 0) + struct.pack(">I", 8 + len(hdlr)) + b"hdlr" + hdlr
    heif = (struct.pack(">I", 8 + len(ftyp)) + b"ftyp" + ftyp
            + struct.pack(">I", 8 + len(meta)) + b"meta" + meta)
    open("hand-heic.heic", "wb").write(heif)
    refused("hand-heic.heic", "hand-made: an ftyp box of brand heic, then a meta box holding "
            "only its hdlr (pict): no picture", "corrupt")
    # Lossy and chroma-subsampled on a small busy picture: its edges ring, so
    # it is held to the mean difference from its source (tests/data/heif has
    # the HEIF files with exact references).
    run([CONVERT, src("wide.ppm"), "im-heic.heic"])
    assert open("im-heic.heic", "rb").read(12)[4:12] == b"ftypheic"
    run(["heif-convert", "im-heic.heic", os.path.join(TMP, "im-heic.png")], stdout=subprocess.DEVNULL)
    heic_difference = mean_difference(Image.open(os.path.join(TMP, "im-heic.png")).convert("RGB"),
                                      wide)
    assert heic_difference < 6, heic_difference
    manifest.append(["im-heic.heic", refs.store("wide", wide), "shown", "~6",
                     "ImageMagick HEIC (libheif), lossy 4:2:0; mean |decoded - source| %.1f"
                     % heic_difference, "-"])

    # What the project's reader is to refuse, Pillow refuses too (or, where
    # Pillow does not check, ImageMagick's libpng or djpeg does).
    for file, _, expected, _, _, why in manifest:
        if expected != "refused" or why in ("gif", "webp", "tiff", "heif"):
            continue
        try:
            Image.open(file).load()
            pillow_refuses = False
        except (OSError, SyntaxError, ValueError, Image.DecompressionBombError):
            pillow_refuses = True
        print("%-18s refused by %s" % (file, "Pillow" if pillow_refuses else "ImageMagick"))
        if not pillow_refuses:
            others = subprocess.run([CONVERT, file, "null:"], stderr=subprocess.DEVNULL)
            assert others.returncode != 0, file + " is read by Pillow and ImageMagick"

    # Every reference has its file's size, turned by its orientation.
    for file, reference, expected, _, _, _ in manifest:
        if reference == "-":
            continue
        ref = read_pam(os.path.join("..", reference))
        if file.endswith(".jpg"):
            size = jpeg_structure(open(file, "rb").read())["size"]
        else:
            size = png_rules.header(open(file, "rb").read())[:2]
        # (A file cut short has no EXIF, and Pillow reads the whole PNG for it.)
        orientation = None if expected == "flawed" else Image.open(file).getexif().get(0x0112)
        if orientation in (5, 6, 7, 8):
            size = size[::-1]
        assert ref.size == size, (file, ref.size, size)

    for row in manifest:
        row[0] = "photos/" + row[0]
        assert "\t" not in "".join(row)
    manifest.sort()
    with open("manifest.tsv", "w") as out:
        out.write("# file\treference\texpected\tmaxdiff\tnote\twhy\n")
        out.write("".join("\t".join(row) + "\n" for row in manifest))
    write_readme(manifest, tool_versions())
    for name in os.listdir(TMP):
        os.remove(os.path.join(TMP, name))
    os.rmdir(TMP)
    print("%d files, %d references" % (len(manifest), len(os.listdir("references"))))


def write_readme(manifest, versions):
    """The generated part of README.md: tool versions and one line a file."""
    lines = ["Made with " + ", ".join("%s %s" % v for v in versions) + ".", "",
             "| File | Expected | What it tests |", "|---|---|---|"]
    for file, _, expected, _, note, why in manifest:
        status = expected if why == "-" else "%s (%s)" % (expected, why)
        lines.append("| `%s` | %s | %s |" % (file[len("photos/"):], status,
                                            note.replace("|", "/")))
    text = open("README.md").read()
    begin, end = "<!-- made by make.py -->\n", "<!-- end of what make.py makes -->\n"
    head, rest = text.split(begin)
    _, tail = rest.split(end)
    open("README.md", "w").write(head + begin + "\n".join(lines) + "\n" + end + tail)


if __name__ == "__main__":
    main()
