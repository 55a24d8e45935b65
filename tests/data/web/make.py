#!/usr/bin/python3
"""Writes the WebP, GIF and JPEG XL files of this folder from small source
pictures of our own, with the formats' own tools (cwebp, img2webp, gif2webp,
webpmux, cjxl, gifsicle, ImageMagick's convert, Pillow), then the reference
pixels the readers are checked against and manifest.tsv.

Run from anywhere: tests/data/web/make.py  (needs webp, libjxl-tools,
gifsicle, imagemagick, python3-pil and colord-data).

A reference is a PAM (P7, 8 bits a sample, RGB or RGB_ALPHA, rows
top-down): the picture as it is meant to be seen, upright and in sRGB.
- Lossless files (WebP lossless, GIF, JPEG XL modular): the source picture
  itself, and every such file decoded by an independent decoder (Pillow for
  WebP and GIF, djxl for JPEG XL) must give it exactly.
- Lossy WebP: Pillow's decoding. Lossy JPEG XL: djxl's decoding to an
  8-bit PNG, read back by Pillow and checked near the source (djxl 0.7
  writes garbled 16-bit PNGs and 8-bit PPMs, so neither is used).
- A recompressed JPEG: Pillow's decoding of the JPEG it was made from,
  checked against djxl's.
"""
import os
import random
import shutil
import struct
import subprocess
import sys

from PIL import Image, ImageCms

HERE = os.path.dirname(os.path.abspath(__file__))
TMP = os.path.join(HERE, ".sources")
REFS = os.path.join(HERE, "references")
CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
ADOBE = "/usr/share/color/icc/colord/AdobeRGB1998.icc"
SIZE = (96, 64)
CUT_BLOCKS = int(os.environ.get("CUT_BLOCKS", "1"))
manifest = []  # file, reference, expected, maxdiff, note, why


def run(args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def src(name):
    return os.path.join(TMP, name)


# --- source pictures ------------------------------------------------------------------------

def quad():
    """Four flat quadrants (red, green, blue, yellow: every turn puts another
    colour top left) under a gentle gradient, and a grey ramp along the bottom."""
    w, h = SIZE
    image = Image.new("RGB", SIZE)
    colours = [(200, 40, 40), (40, 180, 60), (40, 60, 200), (220, 200, 40)]
    for y in range(h):
        for x in range(w):
            r, g, b = colours[(y >= h // 2) * 2 + (x >= w // 2)]
            shade = (x + y) // 8
            if y >= h - 6:
                r = g = b = 10 + x * 2
            image.putpixel((x, y), (min(255, r + shade), min(255, g + shade), min(255, b + shade)))
    return image


def other(seed):
    """Another picture, for the later frames of an animation: the source
    turned half round, its colours inverted or not."""
    image = quad().transpose(Image.Transpose.ROTATE_180)
    return image.point(lambda v: 255 - v) if seed % 2 else image


def with_alpha(image):
    """A horizontal alpha ramp, and a transparent block whose colours stay."""
    rgba = image.convert("RGBA")
    w, h = SIZE
    rgba.putdata([(r, g, b, 0 if (8 <= x < 24 and 8 <= y < 24) else min(255, 40 + x * 3))
                  for (r, g, b, _), (x, y) in zip(rgba.getdata(),
                                                  ((x, y) for y in range(h) for x in range(w)))])
    return rgba


# --- references -----------------------------------------------------------------------------

def write_pam(path, image):
    mode = "RGB_ALPHA" if image.mode == "RGBA" else "RGB"
    image = image.convert("RGBA" if mode == "RGB_ALPHA" else "RGB")
    depth = 4 if mode == "RGB_ALPHA" else 3
    header = "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n" % (
        image.width, image.height, depth, mode)
    with open(path, "wb") as out:
        out.write(header.encode() + image.tobytes())


def reference(name, image):
    write_pam(os.path.join(REFS, name + ".pam"), image)
    return "web/references/%s.pam" % name


def largest_difference(a, b):
    a, b = a.convert("RGBA"), b.convert("RGBA")
    assert a.size == b.size, (a.size, b.size)
    return max(abs(p - q) for pa, pb in zip(a.getdata(), b.getdata()) for p, q in zip(pa, pb))


def mean_difference(a, b):
    a, b = a.convert("RGB"), b.convert("RGB")
    total = sum(abs(p - q) for pa, pb in zip(a.getdata(), b.getdata()) for p, q in zip(pa, pb))
    return total / (3 * a.width * a.height)


def pillow(file):
    image = Image.open(file)
    image.seek(0)
    return image.convert("RGBA" if image.mode in ("RGBA", "LA", "PA") or
                         "transparency" in image.info else "RGB")


def djxl(file):
    out = src(os.path.basename(file) + ".png")
    run(["djxl", file, out, "--bits_per_sample=8"])
    return Image.open(out).convert("RGBA" if Image.open(out).mode in ("RGBA", "LA") else "RGB")


def shown(file, ref, maxdiff, note):
    manifest.append(["web/" + file, ref, "shown", str(maxdiff), note, "-"])


def flawed(file, ref, maxdiff, note, why):
    manifest.append(["web/" + file, ref, "flawed", str(maxdiff), note, why])


def refused(file, note, why):
    manifest.append(["web/" + file, "-", "refused", "-", note, why])


def chunk(kind, body):
    pad = b"\0" if len(body) % 2 else b""
    return kind + struct.pack("<I", len(body)) + body + pad


def riff(chunks):
    body = b"WEBP" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


# --- WebP -----------------------------------------------------------------------------------

def make_webp(source, rgba, srgb_of_adobe):
    run(["cwebp", "-quiet", "-q", "80", src("quad.png"), "-o", "webp-lossy.webp"])
    decoded = pillow("webp-lossy.webp")
    assert mean_difference(decoded, source) < 4
    shown("webp-lossy.webp", reference("webp-lossy", decoded), 3,
          "cwebp -q 80 (VP8); reference Pillow's decoding")

    run(["cwebp", "-quiet", "-lossless", "-exact", src("quad.png"), "-o", "webp-lossless.webp"])
    assert largest_difference(pillow("webp-lossless.webp"), source) == 0
    quad_ref = reference("quad", source)
    shown("webp-lossless.webp", quad_ref, 0, "cwebp -lossless (VP8L)")

    run(["cwebp", "-quiet", "-q", "80", "-alpha_q", "100", "-exact", src("rgba.png"),
         "-o", "webp-alpha-lossy.webp"])
    decoded = pillow("webp-alpha-lossy.webp")
    assert decoded.mode == "RGBA" and mean_difference(decoded, rgba) < 4
    shown("webp-alpha-lossy.webp", reference("webp-alpha-lossy", decoded), 3,
          "cwebp -q 80 -alpha_q 100 (VP8X, ALPH, VP8), straight alpha; reference Pillow's")

    run(["cwebp", "-quiet", "-lossless", "-exact", src("rgba.png"), "-o",
         "webp-alpha-lossless.webp"])
    assert largest_difference(pillow("webp-alpha-lossless.webp"), rgba) == 0
    rgba_ref = reference("rgba", rgba)
    shown("webp-alpha-lossless.webp", rgba_ref, 0,
          "cwebp -lossless -exact of RGBA (colours kept under transparent pixels)")

    run(["img2webp", "-lossless", src("quad.png"), src("other1.png"), src("other2.png"),
         "-o", "webp-animated.webp"])
    assert b"ANIM" in open("webp-animated.webp", "rb").read(64)
    assert largest_difference(pillow("webp-animated.webp"), source.convert("RGBA")) == 0
    shown("webp-animated.webp", reference("quad-rgba", source.convert("RGBA")), 0,
          "img2webp -lossless of three frames: the first is shown")

    run(["gif2webp", "-quiet", "gif-animated.gif", "-o", "webp-gif2webp.webp"])
    decoded = pillow("webp-gif2webp.webp")
    assert largest_difference(decoded, pillow("gif-animated.gif").convert("RGBA")) == 0
    shown("webp-gif2webp.webp", reference("gif-animated-rgba", decoded), 0,
          "gif2webp of gif-animated.gif (lossless frames): the first is shown")

    run(["cwebp", "-quiet", "-lossless", "-exact", "-metadata", "icc", src("adobe.png"),
         "-o", "webp-icc-adobergb.webp"])
    assert b"ICCP" in open("webp-icc-adobergb.webp", "rb").read()
    shown("webp-icc-adobergb.webp", reference("quad-from-adobergb", srgb_of_adobe), 2,
          "cwebp -lossless -metadata icc: ICCP chunk Adobe RGB (1998); reference "
          "converted to sRGB by Little CMS (Pillow's ImageCms)")

    exif = Image.Exif()
    exif[0x0112] = 6
    open(src("exif6.bin"), "wb").write(exif.tobytes())
    run(["webpmux", "-set", "exif", src("exif6.bin"), "webp-lossless.webp", "-o",
         "webp-exif6.webp"])
    assert b"EXIF" in open("webp-exif6.webp", "rb").read()
    shown("webp-exif6.webp", reference("quad-orientation6", source.transpose(
        Image.Transpose.ROTATE_270)), 0, "webpmux -set exif: EXIF orientation 6, shown "
          "turned a quarter clockwise")

    data = open("webp-lossy.webp", "rb").read()
    open("webp-cut-header.webp", "wb").write(data[:24])
    refused("webp-cut-header.webp", "webp-lossy.webp cut to 24 bytes, inside its VP8 header",
            "truncated")
    data = open("webp-lossless.webp", "rb").read()
    open("webp-cut-data.webp", "wb").write(data[:len(data) // 3])
    refused("webp-cut-data.webp", "webp-lossless.webp cut to a third, before its first row "
            "(VP8L codes its entropy tables first)", "truncated")
    garbage = bytes(random.Random(5).randrange(256) for _ in range(200))
    open("webp-garbage.webp", "wb").write(riff([b"VP8 " + garbage]))
    refused("webp-garbage.webp", "RIFF WEBP and a VP8 chunk of random bytes", "corrupt")
    # An animation's canvas is checked before any frame is read.
    vp8x = struct.pack("<I", 0x02) + (60000 - 1).to_bytes(3, "little") + (60000 - 1).to_bytes(
        3, "little")
    open("webp-huge.webp", "wb").write(riff([chunk(b"VP8X", vp8x), chunk(b"ANIM", bytes(6))]))
    refused("webp-huge.webp", "a VP8X animation canvas of 60000 x 60000, no frames",
            "hugedeclared")
    # Valid, and under the pixel limit, but coding 90 megapixels of one
    # colour in a few hundred bytes: refused before the decoder fills it.
    Image.new("RGB", (9480, 9480), (200, 40, 40)).save(src("flat.png"))
    run(["cwebp", "-quiet", "-lossless", "-z", "9", src("flat.png"), "-o", "webp-flat-huge.webp"])
    refused("webp-flat-huge.webp", "cwebp -lossless of a 9480 x 9480 picture of one colour "
            "(%d bytes)" % os.path.getsize("webp-flat-huge.webp"), "hugedeclared")


# --- GIF ------------------------------------------------------------------------------------

def gif_parts(data):
    """Header and screen, global table, the rest (from the first block)."""
    flags = data[10]
    table = 3 * (2 << (flags & 7)) if flags & 0x80 else 0
    return data[:13], data[13:13 + table], data[13 + table:]


def lzw_pixels(data):
    """The indexes a GIF picture's LZW data gives (its code size byte, then
    sub-blocks), as far as its whole codes go."""
    minimum, at, stream = data[0], 1, b""
    while at < len(data) and data[at] and at + 1 + data[at] <= len(data):
        stream += data[at + 1:at + 1 + data[at]]
        at += 1 + data[at]
    clear, end = 1 << minimum, (1 << minimum) + 1
    bits, value, have, pixels = minimum + 1, 0, 0, []
    table, previous = None, None
    for byte in stream:
        value |= byte << have
        have += 8
        while have >= bits:
            code, value, have = value & ((1 << bits) - 1), value >> bits, have - bits
            if code == clear:
                table = [[i] for i in range(clear)] + [None, None]
                bits, previous = minimum + 1, None
                continue
            if code == end:
                return pixels
            if previous is None:
                entry = table[code]
            elif code < len(table):
                entry = table[code]
                table.append(previous + entry[:1])
            else:
                entry = previous + previous[:1]
                table.append(entry)
            pixels += entry
            previous = entry
            if len(table) == 1 << bits and bits < 12:
                bits += 1
    return pixels


def make_gif(palette_picture):
    rgb = palette_picture.convert("RGB")
    palette_picture.save("gif-pil-87a.gif")
    assert open("gif-pil-87a.gif", "rb").read(6) == b"GIF87a"
    assert largest_difference(pillow("gif-pil-87a.gif"), rgb) == 0
    palette_ref = reference("palette", rgb)
    shown("gif-pil-87a.gif", palette_ref, 0,
          "Pillow, GIF87a (no extensions), global table, interlaced (Pillow's default)")

    run([CONVERT, src("palette.png"), "gif-im.gif"])
    assert open("gif-im.gif", "rb").read(6) == b"GIF89a"
    assert largest_difference(pillow("gif-im.gif"), rgb) == 0
    shown("gif-im.gif", palette_ref, 0, "ImageMagick GIF89a")

    run(["gifsicle", "--interlace", "gif-im.gif", "-o", "gif-interlaced.gif"])
    desc = open("gif-interlaced.gif", "rb").read()
    assert largest_difference(pillow("gif-interlaced.gif"), rgb) == 0
    shown("gif-interlaced.gif", palette_ref, 0, "gifsicle --interlace (four passes)")

    # Local table: Pillow's file with its global table moved into the image.
    screen, table, rest = gif_parts(open("gif-pil-87a.gif", "rb").read())
    assert rest[0:1] == b","
    size_bits = screen[10] & 7
    local = bytearray(screen)
    local[10] &= 0x7F
    image = bytearray(rest[:10])
    image[9] |= 0x80 | size_bits
    open("gif-local-table.gif", "wb").write(bytes(local) + bytes(image) + table + rest[10:])
    assert largest_difference(pillow("gif-local-table.gif"), rgb) == 0
    shown("gif-local-table.gif", palette_ref, 0,
          "gif-pil-87a.gif with its colour table made the picture's local table (no global)")

    # Transparent index: Pillow writes the graphics-control block.
    palette_picture.save("gif-transparent.gif", transparency=0)
    decoded = pillow("gif-transparent.gif")
    assert decoded.mode == "RGBA" and decoded.getextrema()[3][0] == 0
    shown("gif-transparent.gif", reference("palette-transparent", decoded), 0,
          "Pillow, transparent index 0 (graphics-control block)")

    # A frame of 48 x 32 at (20, 16) on a 96 x 64 screen: transparent around.
    small = palette_picture.crop((0, 0, 48, 32))
    small.save(src("small.gif"))
    screen, table, rest = gif_parts(open(src("small.gif"), "rb").read())
    screen = screen[:6] + struct.pack("<HH", *SIZE) + screen[10:]
    image = rest[:1] + struct.pack("<HH", 20, 16) + rest[5:]
    open("gif-small-frame.gif", "wb").write(screen + table + image)
    expected = Image.new("RGBA", SIZE, (0, 0, 0, 0))
    expected.paste(small.convert("RGBA"), (20, 16))
    decoded = pillow("gif-small-frame.gif").convert("RGBA")
    assert largest_difference(decoded.crop((20, 16, 68, 48)), small.convert("RGBA")) == 0
    shown("gif-small-frame.gif", reference("small-frame", expected), 0,
          "a 48 x 32 frame at (20, 16) on a 96 x 64 screen: transparent outside the frame "
          "(Pillow shows the background colour there)")

    frames = [palette_picture] + [other(s).quantize(colors=64) for s in (1, 2)]
    for i, frame in enumerate(frames):
        frame.save(src("frame%d.gif" % i))
    run(["gifsicle", "--delay", "20", "--loop"] + [src("frame%d.gif" % i) for i in range(3)] +
        ["-o", "gif-animated.gif"])
    assert Image.open("gif-animated.gif").n_frames == 3
    assert largest_difference(pillow("gif-animated.gif"), rgb) == 0
    shown("gif-animated.gif", palette_ref, 0, "gifsicle, three frames: the first is shown")

    # Pixels past the colour table: the table cut to 64 entries (6 bits of
    # index still coded), the rest shown black.
    screen, table, rest = gif_parts(open("gif-pil-87a.gif", "rb").read())
    few = bytearray(screen)
    few[10] = (few[10] & 0xF8) | 5
    open("gif-index-past-table.gif", "wb").write(bytes(few) + table[:192] + rest)
    indexes = list(palette_picture.getdata())
    colours = palette_picture.getpalette()
    past = Image.new("RGB", SIZE)
    past.putdata([tuple(colours[3 * i:3 * i + 3]) if i < 64 else (0, 0, 0) for i in indexes])
    assert any(i >= 64 for i in indexes)
    flawed("gif-index-past-table.gif", reference("palette-past-table", past), 0,
           "gif-pil-87a.gif with its table cut to 64 colours: higher indexes shown black",
           "pasttable")

    # Cut after a whole data sub-block: the rows before it, the rest black.
    data = open("gif-pil-87a.gif", "rb").read()
    screen, table, rest = gif_parts(data)
    at = len(screen) + len(table) + 10 + 1  # past the descriptor and the code size
    for _ in range(CUT_BLOCKS):
        at += 1 + data[at]
    open("gif-cut.gif", "wb").write(data[:at])
    # No decoder here shows a cut GIF as far as it goes (Pillow stops at its
    # first row, ImageMagick refuses it): the codes that are there are
    # decoded below.
    pixels = lzw_pixels(data[len(screen) + len(table) + 10:at])
    interlaced = bool(rest[9] & 0x40)  # Pillow interlaces pictures of 16 rows or more
    assert interlaced
    order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2))
             for y in range(start, SIZE[1], step)]
    rows = len(pixels) // SIZE[0]
    full = list(Image.open("gif-pil-87a.gif").getdata())
    assert 0 < rows < SIZE[1]
    cut = Image.new("RGB", SIZE)
    for i, y in enumerate(order[:rows]):
        assert pixels[i * SIZE[0]:(i + 1) * SIZE[0]] == full[y * SIZE[0]:(y + 1) * SIZE[0]]
        cut.paste(rgb.crop((0, y, SIZE[0], y + 1)), (0, y))
    flawed("gif-cut.gif", reference("gif-cut", cut), 0,
           "gif-pil-87a.gif (interlaced) cut after its first data sub-block: the %d whole "
           "rows its codes make, in their passes' places, the rest black" % rows, "truncated")

    garbage = bytes(random.Random(7).randrange(256) for _ in range(200))
    open("gif-garbage.gif", "wb").write(b"GIF89a" + struct.pack("<HH", 96, 64) + b"\x00\x00\x00" +
                                        garbage)
    refused("gif-garbage.gif", "a GIF89a screen without a colour table, then random bytes",
            "corrupt")
    screen, table, rest = gif_parts(open("gif-pil-87a.gif", "rb").read())
    open("gif-huge.gif", "wb").write(screen[:6] + struct.pack("<HH", 60000, 60000) + screen[10:] +
                                     table + rest)
    refused("gif-huge.gif", "gif-pil-87a.gif declaring a 60000 x 60000 screen", "hugedeclared")
    open("gif-frame-outside.gif", "wb").write(
        screen + table + rest[:1] + struct.pack("<HH", 50, 0) + rest[5:])
    refused("gif-frame-outside.gif", "gif-pil-87a.gif with its frame moved 50 pixels right, "
            "past the screen's edge", "corrupt")


# --- JPEG XL --------------------------------------------------------------------------------

def make_jxl(source, rgba, srgb_of_adobe):
    run(["cjxl", src("quad.png"), "jxl-lossy.jxl", "-d", "1"])
    decoded = djxl("jxl-lossy.jxl")
    assert mean_difference(decoded, source) < 3
    shown("jxl-lossy.jxl", reference("jxl-lossy", decoded), 3,
          "cjxl -d 1 (VarDCT, XYB); reference djxl's 8-bit PNG")

    run(["cjxl", src("quad.png"), "jxl-lossless.jxl", "-d", "0"])
    assert largest_difference(djxl("jxl-lossless.jxl"), source) == 0
    shown("jxl-lossless.jxl", reference("quad", source), 0, "cjxl -d 0 (modular)")

    source.save(src("quad.jpg"), quality=90)
    run(["cjxl", src("quad.jpg"), "jxl-from-jpeg.jxl"])
    jpeg = Image.open(src("quad.jpg")).convert("RGB")
    decoded = djxl("jxl-from-jpeg.jxl")
    difference = largest_difference(decoded, jpeg)
    assert difference <= 4, difference
    shown("jxl-from-jpeg.jxl", reference("quad-jpeg", jpeg), difference + 1,
          "cjxl of a Pillow JPEG (quality 90), recompressed losslessly: decoded to pixels; "
          "reference Pillow's decoding of the JPEG (djxl's within %d)" % difference)

    run(["cjxl", src("quad16.ppm"), "jxl-16bit.jxl", "-d", "0"])
    shown("jxl-16bit.jxl", reference("quad", source), 1,
          "cjxl -d 0 of a 16-bit PPM (the 8-bit picture times 257, plus noise below 100)")

    run(["cjxl", src("rgba.png"), "jxl-alpha.jxl", "-d", "0", "--keep_invisible=1"])
    assert largest_difference(djxl("jxl-alpha.jxl"), rgba) == 0
    shown("jxl-alpha.jxl", reference("rgba", rgba), 0, "cjxl -d 0 of RGBA, straight alpha")

    run(["cjxl", "gif-animated.gif", "jxl-animated.jxl", "-d", "0"])
    shown("jxl-animated.jxl", reference("gif-animated-rgba",
                                        pillow("gif-animated.gif").convert("RGBA")), 0,
          "cjxl -d 0 of gif-animated.gif: the first of three frames")

    run(["cjxl", src("adobe.png"), "jxl-icc-adobergb.jxl", "-d", "0"])
    shown("jxl-icc-adobergb.jxl", reference("quad-from-adobergb", srgb_of_adobe), 2,
          "cjxl -d 0 of a PNG with an Adobe RGB (1998) profile: the decoder gives the "
          "profile; reference converted to sRGB by Pillow's ImageCms")

    source.convert("L").save(src("grey.png"))
    run(["cjxl", src("grey.png"), "jxl-grey.jxl", "-d", "0"])
    shown("jxl-grey.jxl", reference("grey", source.convert("L").convert("RGB")), 0,
          "cjxl -d 0 of a grey PNG")

    exif = Image.Exif()
    exif[0x0112] = 6
    source.save(src("quad-exif6.jpg"), quality=90, exif=exif.tobytes())
    run(["cjxl", src("quad-exif6.jpg"), "jxl-orientation6.jxl"])
    jpeg = Image.open(src("quad-exif6.jpg")).convert("RGB").transpose(
        Image.Transpose.ROTATE_270)
    decoded = djxl("jxl-orientation6.jxl")
    assert decoded.size == (64, 96), decoded.size
    difference = largest_difference(decoded, jpeg)
    assert difference <= 4, difference
    shown("jxl-orientation6.jxl", reference("quad-jpeg-orientation6", jpeg), difference + 1,
          "cjxl of a JPEG with EXIF orientation 6: the codestream's orientation 6, applied by "
          "the decoder (the Exif box is not applied again)")

    data = open("jxl-lossless.jxl", "rb").read()
    open("jxl-cut.jxl", "wb").write(data[:len(data) // 2])
    refused("jxl-cut.jxl", "jxl-lossless.jxl cut in half (its one group of pixels "
            "incomplete)", "truncated")
    garbage = bytes(random.Random(9).randrange(256) for _ in range(200))
    open("jxl-garbage.jxl", "wb").write(b"\xff\x0a" + garbage)
    refused("jxl-garbage.jxl", "a codestream signature, then random bytes", "corrupt")
    # Size header: not a multiple of 8, height 60000 in 18 bits, ratio 1:1;
    # then default metadata; then nothing more.
    bits = [0] + [0, 1] + [(59999 >> i) & 1 for i in range(18)] + [1, 0, 0] + [1]
    bits += [0] * (-len(bits) % 8)
    header = bytes(sum(bits[i + j] << j for j in range(8)) for i in range(0, len(bits), 8))
    open("jxl-huge.jxl", "wb").write(b"\xff\x0a" + header + b"\0" * 32)
    refused("jxl-huge.jxl", "a hand-made codestream header declaring 60000 x 60000",
            "hugedeclared")
    run(["cjxl", "--quiet", "-d", "0", src("flat.png"), "jxl-flat-huge.jxl"])
    refused("jxl-flat-huge.jxl", "cjxl -d 0 of a 9480 x 9480 picture of one colour "
            "(%d bytes)" % os.path.getsize("jxl-flat-huge.jxl"), "hugedeclared")


def main():
    os.chdir(HERE)
    for name in os.listdir("."):
        if name.endswith((".webp", ".gif", ".jxl")):
            os.remove(name)
    shutil.rmtree(REFS, ignore_errors=True)
    os.makedirs(REFS)
    os.makedirs(TMP, exist_ok=True)

    source = quad()
    rgba = with_alpha(source)
    source.save(src("quad.png"))
    rgba.save(src("rgba.png"))
    other(1).save(src("other1.png"))
    other(2).save(src("other2.png"))
    # 16 bits: the 8-bit picture times 257, plus noise that rounds away.
    rng = random.Random(3)
    samples = []
    for v in source.tobytes():
        sample = v * 257 + (rng.randrange(-100, 100) if 0 < v < 255 else 0)
        samples.append(struct.pack(">H", sample))
    with open(src("quad16.ppm"), "wb") as out:
        out.write(b"P6\n%d %d\n65535\n" % SIZE + b"".join(samples))
    # Adobe RGB: the picture's numbers as they are, tagged with the profile.
    icc = open(ADOBE, "rb").read()
    source.save(src("adobe.png"), icc_profile=icc)
    srgb_of_adobe = ImageCms.profileToProfile(
        source, ImageCms.ImageCmsProfile(ADOBE), ImageCms.createProfile("sRGB"),
        renderingIntent=ImageCms.Intent.RELATIVE_COLORIMETRIC)
    palette_picture = source.quantize(colors=200, dither=Image.Dither.NONE)
    palette_picture.save(src("palette.png"))

    make_gif(palette_picture)
    make_webp(source, rgba, srgb_of_adobe)
    make_jxl(source, rgba, srgb_of_adobe)

    with open("manifest.tsv", "w") as out:
        out.write("# file\treference\texpected\tmaxdiff\tnote\twhy\n")
        for row in sorted(manifest):
            out.write("\t".join(row) + "\n")
    shutil.rmtree(TMP)
    print("%d files, %d bytes" % (len(manifest), sum(
        os.path.getsize(row[0][4:]) for row in manifest)))


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    main()
