#!/usr/bin/python3
"""Writes the BMP files of this folder with ImageMagick, Pillow and netpbm,
each in every variant it writes, from a few small source pictures of our own,
and the reference pixels the reader's output is checked against.

Run from anywhere: tests/data/toolbmps/make.py  (needs ImageMagick's convert,
netpbm's ppmtobmp and bmptopnm, and python3-pil). It rewrites the folder's
*.bmp, *.pam and manifest.txt.

manifest.txt has one line a file: `file reference tolerance`. The reference
is a PAM (RGB_ALPHA, 8 bits) of the source picture the tool was given when
the variant keeps every colour, or the writing tool's own decoding of the
file when the variant cannot (alpha in a format without it), or for 16-bit
pixels the file's own bit fields decoded here; tolerance is the largest
difference allowed per channel (rounding of 5-bit and 6-bit channels).
"""
import io
import os
import struct
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
# The sandbox-free ImageMagick binary when there is one (some machines put a
# wrapper named convert first on PATH).
CONVERT = os.environ.get("CONVERT", "convert")
WIDTH, HEIGHT = 61, 37  # odd sizes: every row of every depth needs padding


def palette(count, seed):
    colours = [((i * 53 + seed) % 256, (i * 97 + 40 + seed) % 256, (i * 151 + 80) % 256)
               for i in range(count)]
    assert len(set(colours)) == count
    return colours


def index_at(x, y, count):
    """Blocks (long runs for RLE) with scattered single pixels (short ones)."""
    if (x * 7 + y * 13) % 29 == 0:
        return (x + y) % count
    return ((x // 7) + 5 * (y // 6)) % count


def picture(colours):
    image = Image.new("RGB", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            image.putpixel((x, y), colours[index_at(x, y, len(colours))])
    return image


def sources():
    """The source pictures by name: each is what a tool is given."""
    c40 = picture(palette(40, 17))
    c16 = picture(palette(16, 5))
    two = picture([(20, 30, 120), (250, 200, 40)])
    bw = picture([(0, 0, 0), (255, 255, 255)])
    grey = picture([(v, v, v) for v in range(3, 256, 9)][:28])
    alpha = c40.convert("RGBA")
    for y in range(HEIGHT):
        for x in range(WIDTH):
            r, g, b, _ = alpha.getpixel((x, y))
            # Fully transparent or opaque blocks: 1-bit alpha keeps them.
            alpha.putpixel((x, y), (r, g, b, 0 if (x // 7 + y // 6) % 3 == 0 else 255))
    return {"c40": c40, "c16": c16, "two": two, "bw": bw, "grey": grey, "alpha": alpha}


def decode_bitfields16(path):
    """A 16-bit BI_BITFIELDS file with its masks in the header, each channel
    widened to 8 bits as round(value * 255 / largest value)."""
    data = open(path, "rb").read()
    offset, header = struct.unpack_from("<II", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    assert bits == 16 and compression == 3 and header >= 56 and height > 0
    masks = struct.unpack_from("<4I", data, 54)
    stride = (width * 2 + 3) // 4 * 4
    image = Image.new("RGBA", (width, height))
    for row in range(height):
        for x in range(width):
            value = struct.unpack_from("<H", data, offset + row * stride + 2 * x)[0]
            channels = []
            for mask in masks:
                if mask == 0:
                    channels.append(255)
                    continue
                shift = (mask & -mask).bit_length() - 1
                largest = mask >> shift
                channels.append(round(((value & mask) >> shift) * 255 / largest))
            image.putpixel((x, height - 1 - row), tuple(channels))
    return image


def write_pam(image, path):
    rgba = image.convert("RGBA")
    with open(path, "wb") as out:
        out.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                  % rgba.size)
        out.write(rgba.tobytes())


def run(args, stdin=None, stdout=None):
    subprocess.run(args, check=True, stdin=stdin, stdout=stdout)


def main():
    os.chdir(HERE)
    for name in os.listdir("."):
        if name.endswith((".bmp", ".pam")) or name == "manifest.txt":
            os.remove(name)
    pictures = sources()
    tmp = os.path.join(HERE, ".sources")
    os.makedirs(tmp, exist_ok=True)
    for name, image in pictures.items():
        write_pam(image, name + ".pam")
        if image.mode == "RGBA":
            image.save(os.path.join(tmp, name + ".png"))
        else:
            image.save(os.path.join(tmp, name + ".ppm"))
    src = lambda name: os.path.join(tmp, name + (".png" if name == "alpha" else ".ppm"))
    manifest = []

    def keep(file, source):
        manifest.append("%s %s.pam 0" % (file, source))

    def own_decoding(file, decoded, tolerance):
        reference = file[:-4] + ".pam"
        write_pam(decoded, reference)
        manifest.append("%s %s %d" % (file, reference, tolerance))

    def magick_decoding(file):
        raw = subprocess.run([CONVERT, file, "-alpha", "on", "-depth", "8", "rgba:-"],
                             check=True, stdout=subprocess.PIPE).stdout
        return Image.frombytes("RGBA", (WIDTH, HEIGHT), raw)

    # ImageMagick: its default (V5 header), BMP3 (40-byte header) and BMP2
    # (OS/2 1.x core header); palette pictures come out as RLE8 unless told
    # otherwise, 16 colours as 4 bits, 2 as 1 bit; alpha as 32-bit bit fields.
    magick = [
        ("im-default-rgb.bmp", "c40", []),
        ("im-default-palette-rle8.bmp", "c40", ["-type", "palette"]),
        ("im-palette-none.bmp", "c40", ["-type", "palette", "-compress", "none"]),
        ("im-palette16.bmp", "c16", ["-type", "palette"]),
        ("im-palette16-rle.bmp", "c16", ["-type", "palette", "-compress", "RLE"]),
        ("im-palette2.bmp", "two", ["-type", "palette"]),
        ("im-monochrome.bmp", "bw", ["-monochrome"]),
        ("im-grey.bmp", "grey", ["-type", "grayscale"]),
        ("im-grey-palette.bmp", "grey", ["-type", "palette"]),
        ("im-alpha.bmp", "alpha", []),
        ("im-alpha-palette.bmp", "c40", ["-type", "palettealpha"]),
        ("im-bmp3-rgb.bmp", "c40", ["BMP3:"]),
        ("im-bmp3-palette.bmp", "c40", ["-type", "palette", "BMP3:"]),
        ("im-bmp3-palette16.bmp", "c16", ["-type", "palette", "BMP3:"]),
        ("im-bmp2-rgb.bmp", "c40", ["BMP2:"]),
        ("im-bmp2-palette.bmp", "c40", ["-type", "palette", "BMP2:"]),
        ("im-bmp2-palette16.bmp", "c16", ["-type", "palette", "BMP2:"]),
        ("im-bmp2-palette2.bmp", "two", ["-type", "palette", "BMP2:"]),
    ]
    for file, source, options in magick:
        prefix = options[-1] if options and options[-1].endswith(":") else ""
        options = options[:-1] if prefix else options
        run([CONVERT, src(source)] + options + [prefix + file])
        if file == "im-alpha-palette.bmp":
            own_decoding(file, magick_decoding(file), 0)
        else:
            keep(file, source)
    # 16-bit subtypes: 4 to 6 bits a channel, so the reference is the file's
    # own pixels, decoded here (ImageMagick's reader widens 4-bit channels
    # by shifting and reads a 1-bit alpha as half transparent).
    for subtype, source in (("RGB565", "c40"), ("RGB555", "c40"), ("ARGB1555", "alpha"),
                            ("ARGB4444", "alpha")):
        file = "im-16-%s.bmp" % subtype.lower()
        run([CONVERT, src(source), "-define", "bmp:subtype=" + subtype, file])
        own_decoding(file, decode_bitfields16(file), 1)
    # Alpha in BMP3: dropped by the writer (24 bits), so its decoding is the
    # reference.
    run([CONVERT, src("alpha"), "BMP3:im-bmp3-alpha.bmp"])
    own_decoding("im-bmp3-alpha.bmp", magick_decoding("im-bmp3-alpha.bmp"), 0)

    # Pillow: every mode it writes BMP from (1, L, P, RGB, RGBA; RGBA as
    # 32-bit BI_RGB, whose fourth byte is not alpha).
    pillow = [
        ("pil-1.bmp", "bw", lambda im: im.convert("1")),
        ("pil-l.bmp", "grey", lambda im: im.convert("L")),
        ("pil-p.bmp", "c40", lambda im: im.quantize(colors=40, dither=Image.Dither.NONE)),
        ("pil-p16.bmp", "c16", lambda im: im.quantize(colors=16, dither=Image.Dither.NONE)),
        ("pil-rgb.bmp", "c40", lambda im: im),
        ("pil-rgba.bmp", "alpha", lambda im: im),
    ]
    for file, source, prepare in pillow:
        prepare(pictures[source]).save(file)
        if file == "pil-rgba.bmp":
            own_decoding(file, Image.open(file).convert("RGBA"), 0)
        else:
            keep(file, source)

    # netpbm: Windows (40-byte) and OS/2 1.x (12-byte) headers at every depth
    # ppmtobmp writes, and its default depth (the fewest bits that hold the
    # picture's colours).
    for header in ("windows", "os2"):
        for bpp, source in (("1", "two"), ("4", "c16"), ("8", "c40"), ("24", "c40"),
                            ("", "c40"), ("", "grey")):
            file = "pbm-%s-%s.bmp" % (header, bpp + "bit" if bpp else "default-" + source)
            with open(file, "wb") as out:
                run(["ppmtobmp", "-quiet", "-" + header] + (["-bpp", bpp] if bpp else []) +
                    [src(source)], stdout=out)
            keep(file, source)

    # Every variant that keeps the colours must decode to its source in the
    # writing tool's own reader too, or the reference would be wrong.
    for line in manifest:
        file, reference, _ = line.split()
        if reference[:-4] in pictures:
            if file.startswith("im-"):
                decoded = magick_decoding(file)
            elif file.startswith("pbm-"):
                pnm = subprocess.run(["bmptopnm", "-quiet", file], check=True,
                                     stdout=subprocess.PIPE).stdout
                decoded = Image.open(io.BytesIO(pnm)).convert("RGBA")
            else:
                decoded = Image.open(file).convert("RGBA")
            expected = pictures[reference[:-4]]
            # Only a picture with alpha is compared with it: ImageMagick
            # reads an odd pixel of its own palette files as transparent.
            if decoded.convert(expected.mode).tobytes() != expected.tobytes():
                sys.exit("%s does not decode to %s in its own tool" % (file, reference))

    with open("manifest.txt", "w") as out:
        out.write("\n".join(sorted(manifest)) + "\n")
    for name in os.listdir(tmp):
        os.remove(os.path.join(tmp, name))
    os.rmdir(tmp)
    print("%d files" % len(manifest))


if __name__ == "__main__":
    main()
