#!/usr/bin/python3
"""Writes the TIFF files of this folder, their references and manifest.tsv.

Every picture is drawn here (96 x 64) and written by Pillow, ImageMagick's
convert and libtiff's tiffcp and tiffset in each variant a TIFF reader
meets; a few damaged or hostile files are put together byte by byte. Each
shown file's reference is ImageMagick's decoding of it (its first page,
8 bits, stored order), checked against Pillow's decoding of the same file
and against the picture it was made from; oriented files are referenced by
the upright picture itself, turned by make.py, never by a reader.

Run from anywhere: tests/data/tiff/make.py (needs python3-pil, imagemagick,
libtiff-tools, libgs-common). CONVERT= picks another convert.
"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageCms

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
W, H = 96, 64
CMYK_ICC = "/usr/share/color/icc/ghostscript/default_cmyk.icc"
RELATIVE = 1
BPC = ImageCms.FLAGS["BLACKPOINTCOMPENSATION"]
SCREEN = ImageCms.createProfile("sRGB")

rows = []
failures = []
work = tempfile.mkdtemp()


def run(args, **kw):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          **kw).stdout


def tmp(name):
    return os.path.join(work, name)


# ---------------------------------------------------------------- pictures

def colour():
    """Blocks of primaries, neutrals and everyday colours over a hue ramp,
    with a corner mark, so a turn or a mirror shows."""
    im = Image.new("RGB", (W, H))
    px = im.load()
    blocks = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 255, 255), (255, 0, 255), (255, 255, 0),
              (0, 0, 0), (60, 60, 60), (128, 128, 128), (200, 200, 200), (255, 255, 255),
              (224, 172, 140)]
    for y in range(H):
        for x in range(W):
            if y < 32:
                px[x, y] = blocks[(y // 16) * 6 + x // 16]
            elif y < 48:
                v = round(x * 255 / (W - 1))
                px[x, y] = (v, 255 - v, (x * 7 + y * 3) % 256)
            else:
                px[x, y] = (round(y * 255 / (H - 1)), (x * 5) % 256, 128)
    for y in range(4):
        for x in range(8):
            px[x, y] = (255, 128, 0)  # top-left mark
    return im


def with_alpha(im):
    """Alpha from 64 to 255 left to right (never 0, so every colour counts)."""
    rgba = im.convert("RGBA")
    alpha = Image.new("L", (W, H))
    alpha.putdata([64 + round(191 * (i % W) / (W - 1)) for i in range(W * H)])
    rgba.putalpha(alpha)
    return rgba


def premultiplied(rgba):
    """The samples an associated-alpha file stores, and the straight
    picture a reader shows from them (divided by alpha, rounded)."""
    stored, straight = bytearray(), []
    for r, g, b, a in rgba.getdata():
        pre = [(v * a + 127) // 255 for v in (r, g, b)]
        stored += bytes(pre + [a])
        straight.append(tuple(min(255, (v * 255 + a // 2) // a) for v in pre) + (a,))
    shown = Image.new("RGBA", rgba.size)
    shown.putdata(straight)
    return bytes(stored), shown


# ---------------------------------------------------------------- decoding

def magick(path, mode):
    """ImageMagick's samples of the first page, as stored (no turning)."""
    channels = {"RGB": "rgb", "RGBA": "rgba", "CMYK": "cmyk"}[mode]
    raw = run([CONVERT, path + "[0]", "-depth", "8", channels + ":-"])
    return Image.frombytes(mode, (W, H) if len(raw) == W * H * len(mode) else (H, W), raw)


def pillow(path, mode):
    im = Image.open(path)
    im.load()
    if im.mode in ("I;16", "I;16B", "I;16L", "I"):
        im = im.point(lambda v: v / 257.0 if im.mode != "I" else v).convert("L")
    if im.mode == "F":
        im = im.point(lambda v: max(0, min(1, v)) * 255).convert("L")
    if mode == "CMYK" or im.mode == "CMYK" and mode == "CMYK":
        return im
    return im.convert(mode)


def max_diff(a, b):
    return max(abs(x - y) for x, y in zip(a.tobytes(), b.tobytes()))


def mean_diff(a, b):
    pairs = list(zip(a.tobytes(), b.tobytes()))
    return sum(abs(x - y) for x, y in pairs) / len(pairs)


def inks(cmyk):
    """R = (255 - C)(255 - K) / 255 and so on: the ink formula."""
    out = Image.new("RGB", cmyk.size)
    out.putdata([tuple(((255 - v) * (255 - k) + 127) // 255 for v in (c, m, y)) for c, m, y, k
                 in cmyk.getdata()])
    return out


def write_pam(im, name):
    depth = len(im.mode)
    tupl = {3: "RGB", 4: "RGB_ALPHA"}[depth]
    with open(os.path.join(HERE, "references", name), "wb") as out:
        out.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n"
                  % (im.size[0], im.size[1], depth, tupl.encode()))
        out.write(im.tobytes())
    return "tiff/references/" + name


# ---------------------------------------------------------------- outcomes

def keep(path, name):
    shutil.copy(path, os.path.join(HERE, name))
    return os.path.join(HERE, name)


def shown(path, name, note, mode="RGB", source=None, lossy=False, pillow_ok=True):
    """A file shown as ImageMagick decodes it, checked against Pillow and
    against its source; the tolerance is their largest difference + 1
    (the mean + 1 for lossy files)."""
    final = keep(path, name)
    ref = magick(final, mode)
    checks = []
    if pillow_ok:
        try:
            checks.append(("Pillow", pillow(final, mode)))
        except Exception:  # noqa: BLE001 - Pillow 9.4 reads fewer variants
            note += "; Pillow 9.4 cannot read it"
    if source is not None:
        checks.append(("source", source.convert(mode)))
    worst = 0.0
    for who, other in checks:
        d = mean_diff(ref, other) if lossy else max_diff(ref, other)
        if d > (4 if lossy else 3):
            failures.append("%s: ImageMagick and %s differ by %.1f" % (name, who, d))
        worst = max(worst, d)
    tolerance = ("~%.1f" % (worst + 1.5)) if lossy else str(int(worst) + 1)
    rows.append([name, write_pam(ref, name.rsplit(".", 1)[0] + ".pam"), "shown", tolerance,
                 note, "-"])


def oriented(path, name, note, upright):
    keep(path, name)
    rows.append([name, write_pam(upright, name.rsplit(".", 1)[0] + ".pam"), "shown", "0", note,
                 "-"])


def refused(data, name, note, why):
    open(os.path.join(HERE, name), "wb").write(data)
    rows.append([name, "-", "refused", "-", note, why])


def tiffcp(source, out, *options):
    run(["tiffcp"] + list(options) + [source, out])
    return out


# ---------------------------------------------------------------- byte-built files

def tiff_bytes(width, height, strips, bits=8, samples=1, photometric=1, compression=1,
               rows_per_strip=None, extra_samples=None):
    """A little-endian TIFF with its directory first, then its tables, then
    `strips`."""
    rows_per_strip = rows_per_strip or height
    n = len(strips)
    count = 10 + (extra_samples is not None)
    tables = 8 + 2 + count * 12 + 4  # where the directory ends
    bits_at = tables + (8 * n if n > 1 else 0)
    at = bits_at + 2 * samples
    offsets = []
    for strip in strips:
        offsets.append(at)
        at += len(strip)

    def entry(tag, kind, count, value):
        return struct.pack("<HHI", tag, kind, count) + value

    def short(v):
        return struct.pack("<HH", v, 0)

    def long_(v):
        return struct.pack("<I", v)

    entries = [
        entry(256, 4, 1, long_(width)), entry(257, 4, 1, long_(height)),
        entry(258, 3, samples, short(bits) if samples == 1 else long_(bits_at)),
        entry(259, 3, 1, short(compression)), entry(262, 3, 1, short(photometric)),
        entry(273, 4, n, long_(offsets[0] if n == 1 else tables)),
        entry(277, 3, 1, short(samples)), entry(278, 4, 1, long_(rows_per_strip)),
        entry(279, 4, n, long_(len(strips[0]) if n == 1 else tables + 4 * n)),
        entry(284, 3, 1, short(1))]
    if extra_samples is not None:
        entries.append(entry(338, 3, 1, short(extra_samples)))
    out = b"II*\0" + long_(8) + struct.pack("<H", len(entries)) + b"".join(entries) + long_(0)
    if n > 1:
        out += b"".join(long_(o) for o in offsets) + b"".join(long_(len(s)) for s in strips)
    out += b"".join(struct.pack("<H", bits) for _ in range(samples))
    return out + b"".join(strips)


# ---------------------------------------------------------------- the files

def main():
    os.chdir(HERE)
    for old in os.listdir(HERE):
        if old.endswith(".tif") or old.endswith(".tiff"):
            os.remove(old)
    shutil.rmtree("references", ignore_errors=True)
    os.makedirs("references")
    src = colour()
    src.save(tmp("src.png"))
    base = tmp("base.tif")
    src.save(base)  # Pillow, uncompressed, one strip
    grey = src.convert("L")
    grey.save(tmp("grey.tif"))
    bilevel = grey.point(lambda v: 255 if v > 110 else 0).convert("1")
    bilevel.save(tmp("bilevel.tif"))  # Pillow: 1 bit, min-is-black

    shown(base, "pil-rgb.tif", "Pillow, RGB 8-bit, uncompressed, one strip", source=src)
    for comp, what in (("lzw", "LZW"), ("zip", "Deflate"), ("packbits", "PackBits")):
        shown(tiffcp(base, tmp(comp + ".tif"), "-c", comp), "tiffcp-%s.tif" % comp,
              "tiffcp -c %s: RGB 8-bit %s" % (comp, what), source=src)
        shown(tiffcp(base, tmp(comp + "p.tif"), "-c", comp + ":2" if comp != "packbits"
                     else comp, "-r", "64" if comp != "packbits" else "4"), "tiffcp-%s-predictor.tif" % comp if comp != "packbits"
              else "tiffcp-packbits-rows4.tif",
              "tiffcp -c %s:2: horizontal predictor" % comp if comp != "packbits"
              else "tiffcp -c packbits -r 4: four rows a strip", source=src)
    shown(tiffcp(base, tmp("jpeg.tif"), "-c", "jpeg:90", "-r", "16"), "tiffcp-jpeg.tif",
          "tiffcp -c jpeg:90: YCbCr 4:2:0 JPEG strips", source=src, lossy=True)
    shown(tiffcp(base, tmp("jpegrgb.tif"), "-c", "jpeg:r:90", "-r", "16"), "tiffcp-jpeg-rgb.tif",
          "tiffcp -c jpeg:r:90: RGB-coded JPEG", source=src, lossy=True)
    shown(tiffcp(base, tmp("tiles.tif"), "-c", "lzw", "-t", "-w", "32", "-l", "48"),
          "tiffcp-tiles-lzw.tif", "tiffcp -t 32x48 tiles, LZW (edge tiles cut)", source=src)
    shown(tiffcp(base, tmp("sep.tif"), "-p", "separate", "-c", "zip"), "tiffcp-separate.tif",
          "tiffcp -p separate: planar RGB, Deflate", source=src)
    shown(tiffcp(base, tmp("septiles.tif"), "-p", "separate", "-t", "-w", "16", "-l", "16"),
          "tiffcp-separate-tiles.tif", "tiffcp -p separate -t 16x16: planar tiles", source=src)
    shown(tiffcp(base, tmp("mm.tif"), "-B", "-c", "lzw:2"), "tiffcp-mm.tif",
          "tiffcp -B: big-endian (MM), LZW, predictor 2", source=src)
    shown(tiffcp(base, tmp("big.tif"), "-8", "-c", "zip"), "tiffcp-bigtiff.tif",
          "tiffcp -8: BigTIFF, Deflate", source=src)
    shown(tiffcp(base, tmp("bigmm.tif"), "-8", "-B", "-t"), "tiffcp-bigtiff-mm-tiles.tif",
          "tiffcp -8 -B -t: BigTIFF, big-endian, tiles", source=src)

    # Grey, bit depths and photometrics.
    shown(tmp("grey.tif"), "pil-grey8.tif", "Pillow L: grey 8-bit, min-is-black", source=grey)
    for bits in (2, 4):
        run([CONVERT, tmp("src.png"), "-colorspace", "gray", "-depth", str(bits), "-compress",
             "lzw", tmp("g%d.tif" % bits)])
        shown(tmp("g%d.tif" % bits), "im-grey%d.tif" % bits,
              "ImageMagick: grey %d-bit, LZW" % bits)
    run([CONVERT, tmp("src.png"), "-colorspace", "gray", "-depth", "16", "-compress", "zip",
         "-define", "tiff:predictor=2", tmp("g16.tif")])
    shown(tmp("g16.tif"), "im-grey16.tif", "ImageMagick: grey 16-bit, Deflate, predictor 2")
    run([CONVERT, tmp("src.png"), "-depth", "16", "-compress", "lzw", tmp("rgb16.tif")])
    shown(tmp("rgb16.tif"), "im-rgb16.tif", "ImageMagick: RGB 16-bit, LZW", source=src,
          pillow_ok=False)
    run([CONVERT, tmp("src.png"), "-depth", "16", "-interlace", "plane", "-define",
         "tiff:endian=msb", "-compress", "zip", tmp("rgb16mm.tif")])
    shown(tmp("rgb16mm.tif"), "im-rgb16-mm-separate.tif", "ImageMagick -interlace plane "
          "-define tiff:endian=msb: RGB 16-bit big-endian separate planes, Deflate", source=src,
          pillow_ok=False)
    run([CONVERT, tmp("src.png"), "-colorspace", "gray", "-depth", "32", "-define",
         "quantum:format=floating-point", "-define", "tiff:predictor=3", "-compress", "lzw",
         tmp("float.tif")])
    shown(tmp("float.tif"), "im-grey-float-predictor3.tif",
          "ImageMagick: grey 32-bit floating point, LZW, predictor 3", pillow_ok=False)
    run([CONVERT, tmp("grey.tif"), "-define", "tiff:photometric=min-is-white", "-compress", "lzw",
         tmp("miw.tif")])
    shown(tmp("miw.tif"), "im-grey-min-is-white.tif",
          "ImageMagick: grey 8-bit, photometric min-is-white", source=grey)
    shown(tmp("bilevel.tif"), "pil-bilevel.tif", "Pillow 1: 1-bit, min-is-black", source=bilevel)
    for comp in ("g3", "g4"):
        shown(tiffcp(tmp("bilevel.tif"), tmp(comp + ".tif"), "-c", comp),
              "tiffcp-ccitt-%s.tif" % comp, "tiffcp -c %s: CCITT bilevel" % comp,
              source=bilevel)

    # Palettes.
    pal = src.quantize(colors=200)
    pal.save(tmp("pal8.tif"))
    shown(tmp("pal8.tif"), "pil-palette8.tif", "Pillow P: 8-bit palette, 200 colours",
          source=pal.convert("RGB"))
    run([CONVERT, tmp("src.png"), "-colors", "16", "-type", "Palette",
         "-compress", "rle", tmp("pal4.tif")])
    shown(tmp("pal4.tif"), "im-palette4.tif", "ImageMagick: 4-bit palette, PackBits")

    # Alpha.
    rgba = with_alpha(src)
    rgba.save(tmp("unassoc.tif"))
    shown(tmp("unassoc.tif"), "pil-rgba-unassociated.tif",
          "Pillow RGBA: unassociated alpha (ExtraSamples 2), kept", mode="RGBA", source=rgba)
    stored, straight = premultiplied(rgba)
    open(tmp("assoc.tif"), "wb").write(tiff_bytes(
        W, H, [stored[i:i + W * 4 * 16] for i in range(0, len(stored), W * 4 * 16)], samples=4,
        photometric=2, rows_per_strip=16, extra_samples=1))
    shown(tmp("assoc.tif"), "mk-rgba-associated.tif",
          "make.py: premultiplied RGBA, ExtraSamples 1 (associated): shown divided by alpha",
          mode="RGBA", source=straight)
    shown(tiffcp(tmp("assoc.tif"), tmp("assoc-sep.tif"), "-p", "separate", "-c", "lzw:2"),
          "tiffcp-rgba-associated-separate.tif", "the same, separate planes, LZW, predictor 2",
          mode="RGBA", source=straight)

    # CMYK, without and with a profile.
    cmyk_pixels = ImageCms.profileToProfile(src, SCREEN, ImageCms.getOpenProfile(CMYK_ICC),
                                            RELATIVE, outputMode="CMYK", flags=BPC)
    cmyk_pixels.info.pop("icc_profile", None)  # ImageCms attaches the profile it made them with
    cmyk_pixels.save(tmp("cmyk.tif"), compression="tiff_lzw")
    final = keep(tmp("cmyk.tif"), "pil-cmyk.tif")
    ref = inks(magick(final, "CMYK"))
    checks = max_diff(ref, inks(pillow(final, "CMYK")))
    rows.append(["pil-cmyk.tif", write_pam(ref, "pil-cmyk.pam"), "shown", str(checks + 1),
                 "Pillow CMYK, LZW, no profile: the ink formula", "-"])
    cmyk_pixels.save(tmp("cmykicc.tif"), icc_profile=open(CMYK_ICC, "rb").read())
    final = keep(tmp("cmykicc.tif"), "pil-cmyk-profile.tif")
    decoded = pillow(final, "CMYK")
    managed = ImageCms.profileToProfile(decoded, ImageCms.getOpenProfile(CMYK_ICC), SCREEN,
                                        RELATIVE, outputMode="RGB", flags=BPC)
    screen = tmp("screen.icc")
    open(screen, "wb").write(ImageCms.ImageCmsProfile(SCREEN).tobytes())
    by_magick = Image.frombytes("RGB", (W, H), run(
        [CONVERT, final, "-black-point-compensation", "-intent", "Relative", "-profile", screen,
         "-depth", "8", "rgb:-"]))
    d = max_diff(managed, by_magick)
    if d > 6:
        failures.append("pil-cmyk-profile.tif: Pillow and ImageMagick differ by %d" % d)
    rows.append(["pil-cmyk-profile.tif", write_pam(managed, "pil-cmyk-profile.pam"), "shown",
                 str(d + 2), "Pillow CMYK with Ghostscript's default_cmyk.icc: relative "
                 "colorimetric with black-point compensation (Little CMS through Pillow; "
                 "ImageMagick within %d); mean |managed - source| %.1f"
                 % (d, mean_diff(managed, src)), "-"])

    # Orientations: the upright picture stored turned, the tag set by tiffset.
    inverse = {2: Image.FLIP_LEFT_RIGHT, 3: Image.ROTATE_180, 4: Image.FLIP_TOP_BOTTOM,
               5: Image.TRANSPOSE, 6: Image.ROTATE_90, 7: Image.TRANSVERSE, 8: Image.ROTATE_270}
    for o in range(1, 9):
        stored = src if o == 1 else src.transpose(inverse[o])
        path = tmp("o%d.tif" % o)
        stored.save(path, compression="tiff_lzw")
        run(["tiffset", "-s", "274", str(o), path])
        oriented(path, "pil-orientation-%d.tif" % o,
                 "Pillow LZW, Orientation %d set by tiffset: stored turned by make.py" % o, src)

    # A multi-page file: the first page is shown.
    run(["tiffcp", "-c", "lzw", base, tmp("grey.tif"), tmp("pages.tif")])
    shown(tmp("pages.tif"), "tiffcp-two-pages.tif", "tiffcp of two pages (RGB, then grey): the "
          "first is shown", source=src)

    # Damaged and hostile files.
    strips = [src.tobytes()[i:i + W * 3 * 8] for i in range(0, W * H * 3, W * 3 * 8)]
    whole = tiff_bytes(W, H, strips, samples=3, photometric=2, rows_per_strip=8)
    cut = whole[:len(whole) - len(b"".join(strips[5:])) + 1000]
    open(tmp("cut.tif"), "wb").write(cut)
    shown_rows = src.copy()
    shown_rows.paste((255, 255, 255), (0, 40, W, H))
    final = keep(tmp("cut.tif"), "mk-cut-strips.tif")
    rows.append(["mk-cut-strips.tif", write_pam(shown_rows, "mk-cut-strips.pam"), "flawed", "0",
                 "make.py: directory first, 8 strips of 8 rows, cut inside the sixth: 40 rows "
                 "shown, the rest white", "truncated"])
    lzw = open(os.path.join(HERE, "tiffcp-lzw.tif"), "rb").read()
    refused(lzw[:len(lzw) // 2], "tiffcp-lzw-cut.tif", "tiffcp-lzw.tif cut in half: libtiff "
            "writes its directory last, so none is left", "truncated")
    mm = open(os.path.join(HERE, "tiffcp-mm.tif"), "rb").read()
    refused(mm[:len(mm) // 2], "tiffcp-mm-cut.tif", "tiffcp-mm.tif (big-endian) cut in half: "
            "its directory's offset, read big-endian, lies past the end", "truncated")
    rng = random.Random(1)
    refused(b"II*\0" + bytes(rng.randrange(256) for _ in range(2000)), "mk-garbage.tif",
            "make.py: the signature, then 2000 random bytes", "corrupt")
    refused(b"MM\0*" + bytes(rng.randrange(256) for _ in range(2000)), "mk-garbage-mm.tif",
            "make.py: the big-endian signature, then 2000 random bytes", "corrupt")
    refused(tiff_bytes(60000, 60000, [b"\x80\x00" * 8], compression=5), "mk-60000x60000.tif",
            "make.py: 60000 x 60000 grey declared, 16 bytes of LZW", "hugedeclared")
    refused(tiff_bytes(9000, 9000, [b"\x78\x9c" + b"\0" * 64], compression=8),
            "mk-9000x9000-deflate.tif", "make.py: 9000 x 9000 grey (81 megapixels) in 80 bytes "
            "of Deflate", "hugedeclared")

    with open("manifest.tsv", "w") as out:
        out.write("# file\treference\texpected\tmaxdiff\tnote\twhy\n")
        for row in sorted(rows):
            out.write("\t".join(["tiff/" + row[0]] + row[1:]) + "\n")
    shutil.rmtree(work)
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()
