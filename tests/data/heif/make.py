#!/usr/bin/python3
"""Writes the HEIC and AVIF files of this folder from small source pictures
of our own, with heif-enc, avifenc and ImageMagick as they stand, with
tools/make_heif_samples.cpp (libheif's encoding API, for what heif-enc
cannot set: matrices, limited range, nclx boxes, PQ and HLG samples,
irot/imir) and with isobmff.py (beside this file) for what no tool writes:
grids, clap before irot and imir, items listed before the primary one,
damaged files. Then the reference pixels the reader's output is checked
against, manifest.tsv and the generated lines of README.md.

Run from anywhere: tests/data/heif/make.py  (needs libheif-examples,
libheif-dev, libavif-bin, ImageMagick, python3-pil, ffmpeg, exiftool, a C++
compiler and pkg-config; MAKE_HEIF_SAMPLES=/path/to/make_heif_samples uses
a built copy of the tool instead of compiling it). Each run writes the same
bytes.

manifest.tsv has the columns of ../photos/manifest.tsv: file, reference,
expected (shown or refused here), maxdiff, note, why. A reference is a PAM
(P7, 8 bits a sample, RGB or RGB_ALPHA, rows top-down): the picture as it
is meant to be seen, upright and in sRGB.

- HEIC: the source picture itself (no decoder but libheif's reads HEIC
  here), the files lossless or nearly so. maxdiff is the largest difference
  between heif-convert's decoding (turned by libheif, brought to sRGB here)
  and the reference, plus 3.
- AVIF: avifdec's decoding (libavif and dav1d) as YCbCr, made RGB here by
  the file's matrix and range, turned as its clap, irot and imir say, in
  that order, and brought to sRGB from its ICC profile or its nclx code
  points with Little CMS (Pillow's ImageCms). maxdiff as for HEIC.
- HDR (PQ, HLG): the SDR picture they were made from (ITU-R BT.2408).

Every shown file is also decoded a second way, independently of libheif:
its coded pictures taken out of the file here (isobmff.py) and decoded by
ffmpeg (libavcodec's own HEVC decoder; libaom for AV1), turned into RGB,
assembled, turned and colour-converted by this script; that decoding must
lie within maxdiff of the reference too. ImageMagick (YCbCr from libheif,
its own RGB) must agree with heif-convert on average. Readings that get
the transforms, the Exif orientation, colour, alpha, matrix or range wrong
must miss the reference by more than maxdiff.
"""
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import zlib
from io import BytesIO

import PIL
from PIL import Image, ImageCms

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
import isobmff  # noqa: E402
from isobmff import Heif, Item  # noqa: E402

CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
TMP = os.path.join(HERE, ".sources")
ICC_DIR = "/usr/share/color/icc/colord"
T = Image.Transpose
SIZE = (96, 64)

# --- colour ---------------------------------------------------------------------------------

D65 = (0.3127, 0.3290)
PRIMARIES = {  # ITU-T H.273 colour primaries: red, green, blue (x, y); white D65
    1: ((0.640, 0.330), (0.300, 0.600), (0.150, 0.060)),
    9: ((0.708, 0.292), (0.170, 0.797), (0.131, 0.046)),
    12: ((0.680, 0.320), (0.265, 0.690), (0.150, 0.060)),
}
MATRICES = {1: (0.2126, 0.0722), 5: (0.299, 0.114), 6: (0.299, 0.114), 9: (0.2627, 0.0593)}


def mat_mul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)] for i in range(3)]


def mat_vec(m, v):
    return [sum(m[i][k] * v[k] for k in range(3)) for i in range(3)]


def mat_inv(m):
    (a, b, c), (d, e, f), (g, h, i) = m
    det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g)
    return [[(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det],
            [(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det],
            [(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det]]


def xyz(xy, luminance=1.0):
    x, y = xy
    return [x / y * luminance, luminance, (1 - x - y) / y * luminance]


def rgb_to_xyz(code, white=D65):
    columns = [xyz(p) for p in PRIMARIES[code]]
    m = [[columns[j][i] for j in range(3)] for i in range(3)]
    scale = mat_vec(mat_inv(m), xyz(white))
    return [[m[i][j] * scale[j] for j in range(3)] for i in range(3)]


def between(source, target):
    """Linear RGB of one set of primaries to another's (same white)."""
    return mat_mul(mat_inv(rgb_to_xyz(target)), rgb_to_xyz(source))


def srgb_decode(v):
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def srgb_encode(v):
    v = min(max(v, 0.0), 1.0)
    return 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055


PQ = (2610 / 16384, 2523 / 4096 * 128, 3424 / 4096, 2413 / 4096 * 32, 2392 / 4096 * 32)


def pq_inverse_eotf(luminance):
    m1, m2, c1, c2, c3 = PQ
    y = (max(luminance, 0.0) / 10000) ** m1
    return ((c1 + c2 * y) / (1 + c3 * y)) ** m2


def pq_eotf(signal):
    m1, m2, c1, c2, c3 = PQ
    e = max(signal, 0.0) ** (1 / m2)
    return 10000 * (max(e - c1, 0.0) / (c2 - c3 * e)) ** (1 / m1)


HLG_A = 0.17883277
HLG_B = 1 - 4 * HLG_A
HLG_C = 0.5 - HLG_A * math.log(4 * HLG_A)
HLG_PEAK, HLG_GAMMA = 1000.0, 1.2  # the nominal display of BT.2100's OOTF
WHITE = 203.0  # cd/m2: SDR white, HDR reference white (ITU-R BT.2408)
BT2020_LUMA = (0.2627, 0.6780, 0.0593)


def hlg_oetf(e):
    return math.sqrt(3 * e) if e <= 1 / 12 else HLG_A * math.log(12 * e - HLG_B) + HLG_C


def hlg_inverse_oetf(v):
    return v * v / 3 if v <= 0.5 else (math.exp((v - HLG_C) / HLG_A) + HLG_B) / 12


def sdr_to_hdr(rgb8, transfer):
    """An sRGB pixel as BT.2100 signals in [0, 1] (BT.2020 primaries), its
    white at 203 cd/m2: PQ's inverse EOTF, or HLG's inverse OOTF (1000 cd/m2
    display, gamma 1.2) then its OETF, which puts that white at 75%."""
    linear = mat_vec(between(1, 9), [srgb_decode(c / 255) for c in rgb8])
    display = [max(c, 0.0) * WHITE for c in linear]
    if transfer == 16:
        return [pq_inverse_eotf(c) for c in display]
    yd = sum(k * c for k, c in zip(BT2020_LUMA, display)) / HLG_PEAK
    if yd <= 0:
        return [0.0, 0.0, 0.0]
    ys = yd ** (1 / HLG_GAMMA)
    return [hlg_oetf(c / HLG_PEAK / ys ** (HLG_GAMMA - 1)) for c in display]


def hdr_to_sdr(signal, transfer):
    """The way back, as the reader does for light up to reference white."""
    if transfer == 16:
        display = [pq_eotf(c) for c in signal]
    else:
        scene = [hlg_inverse_oetf(c) for c in signal]
        ys = sum(k * c for k, c in zip(BT2020_LUMA, scene))
        display = [HLG_PEAK * ys ** (HLG_GAMMA - 1) * c for c in scene]
    linear = mat_vec(between(9, 1), [c / WHITE for c in display])
    return tuple(int(round(255 * srgb_encode(c))) for c in linear)


def s15(v):
    return struct.pack(">i", int(round(v * 65536)))


def rgb_profile(primaries, transfer, name):
    """A small ICC v4 matrix/TRC display profile, as Little CMS's
    cmsCreateRGBProfile makes one: colorants adapted to D50 (Bradford),
    transfer 'srgb' or a pure gamma."""
    bradford = [[0.8951, 0.2664, -0.1614], [-0.7502, 1.7135, 0.0367],
                [0.0389, -0.0685, 1.0296]]
    d50 = [0.9642, 1.0, 0.8249]
    source, target = mat_vec(bradford, xyz(D65)), mat_vec(bradford, d50)
    scale = [[target[i] / source[i] if i == j else 0 for j in range(3)] for i in range(3)]
    chad = mat_mul(mat_inv(bradford), mat_mul(scale, bradford))
    colorants = mat_mul(chad, rgb_to_xyz(primaries))

    def xyz_tag(v):
        return b"XYZ \0\0\0\0" + b"".join(s15(c) for c in v)

    def mluc(text):
        data = text.encode("utf-16-be")
        return b"mluc\0\0\0\0" + struct.pack(">II", 1, 12) + b"enUS" + struct.pack(
            ">II", len(data), 28) + data

    if transfer == "srgb":
        curve = b"para\0\0\0\0" + struct.pack(">HH", 3, 0) + b"".join(
            s15(v) for v in (2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045))
    else:
        curve = b"para\0\0\0\0" + struct.pack(">HH", 0, 0) + s15(transfer)
    tags = [(b"desc", mluc(name)), (b"cprt", mluc("No copyright, use freely")),
            (b"wtpt", xyz_tag(d50)), (b"chad", b"sf32\0\0\0\0" + b"".join(
                s15(v) for row in chad for v in row))]
    tags += [(kind, xyz_tag([colorants[i][j] for i in range(3)]))
             for j, kind in enumerate((b"rXYZ", b"gXYZ", b"bXYZ"))]
    tags += [(kind, curve) for kind in (b"rTRC", b"gTRC", b"bTRC")]
    table, body, offset, placed = b"", b"", 128 + 4 + 12 * len(tags), {}
    for kind, data in tags:
        if data not in placed:
            placed[data] = offset + len(body)
            body += data + b"\0" * (-len(data) % 4)
        table += kind + struct.pack(">II", placed[data], len(data))
    size = offset + len(body)
    header = (struct.pack(">I", size) + b"lcms" + bytes([4, 0x30, 0, 0]) + b"mntrRGB XYZ "
              + struct.pack(">6H", 2000, 1, 1, 0, 0, 0) + b"acsp" + b"\0" * 24
              + struct.pack(">I", 0) + b"".join(s15(v) for v in d50) + b"\0" * 48)
    assert len(header) == 128
    return header + struct.pack(">I", len(tags)) + table + body


SRGB = ImageCms.createProfile("sRGB")
SRGB_ICC = ImageCms.ImageCmsProfile(SRGB).tobytes()


def convert(image, source, target=None):
    """8-bit RGB(A) from one ICC profile (bytes) to another (sRGB unless
    given), relative colorimetric, by Little CMS; alpha untouched."""
    src = ImageCms.ImageCmsProfile(BytesIO(source))
    dst = SRGB if target is None else ImageCms.ImageCmsProfile(BytesIO(target))
    rgb = ImageCms.profileToProfile(image.convert("RGB"), src, dst,
                                    ImageCms.Intent.RELATIVE_COLORIMETRIC)
    if image.mode == "RGBA":
        rgb.putalpha(image.getchannel("A"))
    return rgb


def icc_file(name):
    return open(os.path.join(ICC_DIR, name), "rb").read()


def profile_for(nclx):
    """The ICC profile the reader builds for SDR code points: sRGB's curve
    for the sRGB and BT.709 families (1, 6, 13, 14, 15), 2.2 for 4; None
    when the pixels are sRGB already."""
    primaries, transfer = nclx[0], nclx[1]
    curve = {1: "srgb", 2: "srgb", 6: "srgb", 13: "srgb", 14: "srgb", 15: "srgb", 4: 2.2}[transfer]
    if primaries in (1, 2) and curve == "srgb":
        return None
    return rgb_profile(primaries, curve, "code points %d/%d" % (primaries, transfer))


# --- the source pictures ---------------------------------------------------------------------

QUADRANTS = ((220, 52, 40), (48, 176, 72), (44, 72, 212), (232, 200, 44))


def smooth(t):
    t = min(max(t, 0.0), 1.0)
    return t * t * (3 - 2 * t)


def quad(size, ramp=True):
    """Four flat quadrants of saturated colours (each of the eight turns and
    mirrors puts a different colour in the top left corner, or changes the
    size), meeting in soft edges 32 pixels wide so that chroma subsampling
    and lossy coding stay small, a gentle gradient over all, and a grey ramp
    from near black along the bottom, where transfer curves differ most,
    blended in over 16 rows. The samples stay within 8 and 235."""
    width, height = size
    band = (height // 6) & ~1 if ramp else 0
    split_x, split_y = width * 0.45, (height - band) * 0.5
    image = Image.new("RGB", size)
    pixels = []
    for y in range(height):
        for x in range(width):
            fx = smooth((x - split_x) / 32 + 0.5)
            fy = smooth((y - split_y) / 32 + 0.5)
            top = [a + (b - a) * fx for a, b in zip(QUADRANTS[0], QUADRANTS[1])]
            bottom = [a + (b - a) * fx for a, b in zip(QUADRANTS[2], QUADRANTS[3])]
            shade = 12 * (x / width - 0.5) - 8 * (y / height - 0.5)
            c = [a + (b - a) * fy + shade for a, b in zip(top, bottom)]
            if band:
                grey = 8 + 200 * x / (width - 1)
                w = smooth((y - (height - band - 16)) / 16)
                c = [v + (grey - v) * w for v in c]
            pixels.append(tuple(int(round(min(235, max(8, v)))) for v in c))
    image.putdata(pixels)
    return image


def with_alpha(image, low=64):
    """Alpha from low (left) to opaque (right), and a more transparent band:
    never below low, so that premultiplied colours keep their precision."""
    width, height = image.size
    alpha = Image.new("L", image.size)
    alpha.putdata([low if height // 3 <= y < height // 3 + 6 else
                   low + (255 - low) * x // (width - 1)
                   for y in range(height) for x in range(width)])
    rgba = image.copy()
    rgba.putalpha(alpha)
    return rgba


def premultiplied(image):
    pixels = [tuple((c * p[3] + 127) // 255 for c in p[:3]) + (p[3],) for p in image.getdata()]
    out = Image.new("RGBA", image.size)
    out.putdata(pixels)
    return out


def deep(size, bits):
    """Samples of bits bits (as floats in [0, 1]) of the quad picture, with
    a fine ripple in the low bits; and its 8-bit reference."""
    base = quad(size)
    top = (1 << bits) - 1
    values = []
    for i, p in enumerate(base.getdata()):
        values.append(tuple(min(top, round(c / 255 * top) + (i * 7 + k) % 3)
                            for k, c in enumerate(p)))
    reference = Image.new("RGB", size)
    reference.putdata([tuple(round(v * 255 / top) for v in p) for p in values])
    return [tuple(v / top for v in p) for p in values], reference


# --- PNG, PAM and pictures as sample lists ---------------------------------------------------

def read_png(path):
    """(width, height, channels, bits, samples) of a non-interlaced PNG."""
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, bits, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert interlace == 0 and bits in (8, 16) and colour in (0, 2, 4, 6), path
        elif kind == b"IDAT":
            idat += body
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    bpp = channels * bits // 8
    stride = width * bpp
    raw = zlib.decompress(idat)
    out, prev = bytearray(), bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += line
        prev = line
    samples = (list(struct.unpack(">%dH" % (len(out) // 2), bytes(out))) if bits == 16
               else list(out))
    return width, height, channels, bits, samples


def pam(image):
    tupltype = {"RGB": b"RGB", "RGBA": b"RGB_ALPHA"}[image.mode]
    return (b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n"
            % (image.size + (len(image.mode), tupltype)) + image.tobytes())


def opaque(image):
    """RGB for an RGBA picture whose alpha is 255 throughout."""
    if image.mode == "RGBA" and image.getchannel("A").getextrema() == (255, 255):
        return image.convert("RGB")
    return image


def mean_difference(a, b):
    if a.size != b.size or a.mode != b.mode:
        return 255.0
    a, b = a.tobytes(), b.tobytes()
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)


def max_difference(a, b):
    a, b = opaque(a), opaque(b)
    if a.size != b.size or a.mode != b.mode:
        return 255
    return max(abs(x - y) for x, y in zip(a.tobytes(), b.tobytes()))


def float_picture(size, values, alpha=None):
    """An 8-bit picture of [0, 1] RGB values, with 8-bit alpha if given."""
    image = Image.new("RGBA" if alpha else "RGB", size)
    pixels = [tuple(int(round(min(max(c, 0.0), 1.0) * 255)) for c in p) for p in values]
    if alpha:
        pixels = [p + (a,) for p, a in zip(pixels, alpha)]
    image.putdata(pixels)
    return image


# --- YCbCr ------------------------------------------------------------------------------------

def to_ycbcr(values, size, matrix, full, bits, chroma):
    """Planes of [0, 1] RGB values (nonlinear) for make_heif_samples: the
    matrix's YCbCr (or RGB for matrix 0), full or limited range, chroma
    subsampled by averaging; one byte a sample, or two little-endian."""
    width, height = size
    top = (1 << bits) - 1
    scale = 1 << (bits - 8)
    planes = [[], [], []]
    for r, g, b in values:
        if matrix == 0:
            assert full, "matrix 0 is written full range only"
            q = [g * top, b * top, r * top]
        else:
            kr, kb = MATRICES[matrix]
            y = kr * r + (1 - kr - kb) * g + kb * b
            pb, pr = (b - y) / (2 * (1 - kb)), (r - y) / (2 * (1 - kr))
            if full:
                q = [y * top, pb * top + (1 << (bits - 1)), pr * top + (1 << (bits - 1))]
            else:
                q = [(16 + 219 * y) * scale, (128 + 224 * pb) * scale, (128 + 224 * pr) * scale]
        for plane, v in zip(planes, q):
            plane.append(v)
    out = [[min(top, max(0, int(round(v)))) for v in planes[0]]]
    sx, sy = {"444": (1, 1), "rgb": (1, 1), "422": (2, 1), "420": (2, 2), "400": (1, 1)}[chroma]
    if chroma != "400":
        for plane in planes[1:]:
            sub = []
            for y in range(0, height, sy):
                for x in range(0, width, sx):
                    block = [plane[(y + j) * width + x + i] for j in range(sy) for i in range(sx)
                             if y + j < height and x + i < width]
                    sub.append(min(top, max(0, int(round(sum(block) / len(block))))))
            out.append(sub)
    if chroma == "rgb":  # make_heif_samples takes R, G, B
        out = [[min(top, max(0, int(round(p[c] * top)))) for p in values] for c in range(3)]
    if bits == 8:
        return b"".join(bytes(p) for p in out)
    return b"".join(struct.pack("<%dH" % len(p), *p) for p in out)


def from_ycbcr(planes, size, layout, bits, matrix, full):
    """[0, 1] RGB values of decoded planes: chroma repeated (as libheif 1.15
    upsamples), the nclx matrix and range."""
    width, height = size
    top = (1 << bits) - 1
    scale = 1 << (bits - 8)
    sx, sy = {"444": (1, 1), "422": (2, 1), "420": (2, 2), "400": (1, 1)}[layout]
    cw = (width + sx - 1) // sx
    luma = planes[0]
    values = []
    for y in range(height):
        for x in range(width):
            v = luma[y * width + x]
            if layout == "400":
                c = [(v - 16 * scale) / (219 * scale)] * 3 if not full else [v / top] * 3
                values.append(c)
                continue
            cb = planes[1][(y // sy) * cw + x // sx]
            cr = planes[2][(y // sy) * cw + x // sx]
            if full:
                yy, pb, pr = v / top, (cb - (1 << (bits - 1))) / top, (cr - (1 << (bits - 1))) / top
            else:
                yy = (v - 16 * scale) / (219 * scale)
                pb, pr = (cb - 128 * scale) / (224 * scale), (cr - 128 * scale) / (224 * scale)
            if matrix == 0:  # G, B, R (full range)
                values.append([cr / top, v / top, cb / top])
                continue
            kr, kb = MATRICES[matrix]
            r = yy + 2 * (1 - kr) * pr
            b = yy + 2 * (1 - kb) * pb
            g = (yy - kr * r - kb * b) / (1 - kr - kb)
            values.append([r, g, b])
    return values


# --- tools -----------------------------------------------------------------------------------

def run(args, stdout=subprocess.DEVNULL):
    subprocess.run(args, check=True, stdout=stdout, stderr=subprocess.PIPE)


def tmp(name):
    return os.path.join(TMP, name)


def samples_tool():
    """make_heif_samples: a built copy if named, else compiled here."""
    if os.environ.get("MAKE_HEIF_SAMPLES"):
        return os.environ["MAKE_HEIF_SAMPLES"]
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "libheif"], check=True,
                           stdout=subprocess.PIPE, text=True).stdout.split()
    out = tmp("make_heif_samples")
    run(["c++", "-std=c++17", "-O1", "-o", out,
         os.path.join(ROOT, "tools", "make_heif_samples.cpp")] + flags)
    return out


def write_png16(path, size, values, alpha=None):
    """A 16-bit RGB(A) PNG of [0, 1] values (Pillow writes no 16-bit RGB)."""
    width, height = size
    rows = b""
    for y in range(height):
        row = []
        for x in range(width):
            row += [int(round(c * 65535)) for c in values[y * width + x]]
            if alpha:
                row.append(alpha[y * width + x] * 257)
        rows += b"\0" + struct.pack(">%dH" % len(row), *row)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body)))
    header = struct.pack(">IIBBBBB", width, height, 16, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def exif(orientation):
    """An Exif block (with its "Exif\\0\\0" prefix) as a camera writes one."""
    block = Image.Exif()
    block[0x010F] = "brelvane"        # Make
    block[0x0110] = "make.py"         # Model
    block[0x0112] = orientation
    return block.tobytes()


def values_of(image):
    return [tuple(c / 255 for c in p[:3]) for p in image.convert("RGB").getdata()]


class Encoders:
    def __init__(self):
        self.tool = samples_tool()

    def heif(self, out, values, size, chroma="444", bits=8, matrix=6, full=True, nclx=None,
             alpha=None, premultiplied=False, icc=None, exif=None, orientation=1,
             quality=None, mend=True):
        """make_heif_samples: lossless unless a quality is given."""
        planes = to_ycbcr(values, size, 0 if chroma == "rgb" else matrix, full, bits, chroma)
        args = [self.tool, "--size", str(size[0]), str(size[1]), "--chroma", chroma,
                "--bits", str(bits), "--orientation", str(orientation)]
        if alpha:
            top = (1 << bits) - 1
            scaled = [int(round(a * top / 255)) for a in alpha]
            planes += bytes(scaled) if bits == 8 else struct.pack("<%dH" % len(scaled), *scaled)
            args.append("--alpha")
        if premultiplied:
            args.append("--premultiplied")
        if nclx:
            args += ["--nclx"] + [str(v) for v in nclx]
        for option, data in (("--icc", icc), ("--exif", exif)):
            if data:
                open(tmp(option[2:]), "wb").write(data)
                args += [option, tmp(option[2:])]
        args += ["--quality", str(quality)] if quality else ["--lossless"]
        open(tmp("planes"), "wb").write(planes)
        run(args + [tmp("planes"), out])
        if orientation != 1 and mend:
            # libheif 1.15 lists irot and imir before ispe, and writes the
            # ispe of a picture it gives irot 1 or 3 turned, width for
            # height (its reader takes the size so): list the transforms
            # last, as they must be, and put back the stored size.
            heif, item = read(out)
            transforms = (b"clap", b"irot", b"imir")
            at = [isobmff.property_kind(p) for p, _ in item.props].index(b"ispe")
            assert isobmff.property_kind(item.props[at - 1][0]) in transforms, out
            if orientation in (5, 6, 7, 8):
                assert item.props[at][0] == isobmff.ispe(size[1], size[0]), out
                item.props[at] = (isobmff.ispe(*size), item.props[at][1])
            item.props = ([p for p in item.props if isobmff.property_kind(p[0]) not in transforms]
                          + [p for p in item.props if isobmff.property_kind(p[0]) in transforms])
            open(out, "wb").write(heif.write())

    @staticmethod
    def heif_enc(out, image, options):
        """heif-enc itself, from a PNG of the picture (16-bit when given
        [0, 1] values and a size)."""
        if isinstance(image, tuple):
            write_png16(tmp("in.png"), image[1], image[0])
        else:
            image.save(tmp("in.png"), icc_profile=image.info.get("icc_profile"))
        run(["heif-enc"] + options + ["-o", out, tmp("in.png")])

    @staticmethod
    def avifenc(out, image, options):
        if isinstance(image, tuple):
            write_png16(tmp("in.png"), image[1], image[0], image[2] if len(image) > 2 else None)
        else:
            image.save(tmp("in.png"), icc_profile=None)  # profiles by --icc only
        run(["avifenc", "-j", "1", "-s", "6"] + options + [tmp("in.png"), out])


# --- what a file holds -------------------------------------------------------------------------

class Info:
    """What the reader must take from a file: its primary item, its bit
    depth, colour, alpha, transforms and Exif orientation."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        self.heif = Heif.read(self.data)
        self.primary = self.heif.item(self.heif.primary)
        coded = self.primary
        if coded.kind == b"grid":
            coded = self.heif.item(self.heif.refs_from(coded.id, b"dimg")[0])
        self.codec = {b"hvc1": "HEVC", b"av01": "AV1"}[coded.kind]
        self.coded = coded
        config = coded.prop(b"hvcC" if self.codec == "HEVC" else b"av1C")[8:]
        if self.codec == "HEVC":
            self.chroma = ["400", "420", "422", "444"][config[16] & 3]
            self.bits = (config[17] & 7) + 8
        else:
            flags = config[2]
            self.bits = 12 if flags & 0x20 else 10 if flags & 0x40 else 8
            self.chroma = "400" if flags & 0x10 else {(1, 1): "420", (1, 0): "422", (0, 0): "444"}[
                ((flags >> 3) & 1, (flags >> 2) & 1)]
        self.icc = self.nclx = None
        for item in (self.primary, coded):
            for prop, _ in item.props:
                if isobmff.property_kind(prop) == b"colr":
                    if prop[8:12] == b"prof":
                        self.icc = self.icc or prop[12:]
                    else:
                        p, t, m, f = struct.unpack(">HHHB", prop[12:19])
                        self.nclx = self.nclx or (p, t, m, f >> 7)
        self.transforms = [(isobmff.property_kind(p), p[8:]) for p, _ in self.primary.props
                           if isobmff.property_kind(p) in (b"clap", b"irot", b"imir")]
        self.alpha = None
        alpha_urns = (b"urn:mpeg:mpegB:cicp:systems:auxiliary:alpha",  # AVIF
                      b"urn:mpeg:hevc:2015:auxid:1")                   # HEIC
        for kind, src, tos in self.heif.refs:
            item = self.heif.item(src)
            if (kind == b"auxl" and self.primary.id in tos
                    and (item.prop(b"auxC") or b"")[12:-1] in alpha_urns):
                self.alpha = item
        self.premultiplied = any(kind == b"prem" and src == self.primary.id
                                 for kind, src, _ in self.heif.refs)
        self.orientation = 1
        for kind, src, tos in self.heif.refs:
            if (kind == b"cdsc" and self.primary.id in tos
                    and self.heif.item(src).kind == b"Exif"):
                data = self.heif.item(src).data
                offset = struct.unpack(">I", data[:4])[0]
                block = Image.Exif()
                block.load(data[4 + offset:])
                self.orientation = block.get(0x0112, 1)
        self.hdr = self.nclx[1] if self.nclx and self.nclx[1] in (16, 18) else None

    def profile(self):
        if self.icc:
            return self.icc
        if self.nclx and not self.hdr:
            return profile_for(self.nclx)
        return None

    def summary(self):
        """The file as its boxes say: codec, sampling, depth, size, colour,
        transforms, alpha, items."""
        size = struct.unpack(">II", self.primary.prop(b"ispe")[12:20])
        said = ["%s %s %d-bit %dx%d" % (self.codec, {"400": "monochrome"}.get(
            self.chroma, "4:%s:%s" % (self.chroma[1], self.chroma[2])), self.bits, *size)]
        if self.primary.kind == b"grid":
            rows, columns = self.primary.data[2] + 1, self.primary.data[3] + 1
            tile = struct.unpack(">II", self.coded.prop(b"ispe")[12:20])
            said.append("grid %dx%d of %dx%d tiles" % (columns, rows, *tile))
        if self.nclx:
            said.append("nclx %d/%d/%d %s" % (self.nclx[:3] + (
                "full" if self.nclx[3] else "limited",)))
        if self.icc:
            desc = ImageCms.getProfileDescription(ImageCms.ImageCmsProfile(BytesIO(self.icc)))
            said.append("ICC %s" % desc.strip())
        for kind, body in self.transforms:
            if kind == b"clap":
                w, _, h, _ = struct.unpack(">IIII", body[:16])
                said.append("clap %dx%d" % (w, h))
            else:
                said.append("%s %d" % (kind.decode(), body[0]))
        if self.orientation != 1:
            said.append("Exif orientation %d" % self.orientation)
        if self.alpha:
            said.append("alpha" + (" premultiplied" if self.premultiplied else ""))
        others = [i for i in self.heif.items if i.id != self.primary.id and i.kind in (
            b"hvc1", b"av01", b"grid") and not i.hidden and i is not self.alpha]
        for item in others:
            kinds = [k.decode() for k, src, tos in self.heif.refs
                     if src == item.id and self.primary.id in tos]
            said.append("%s item %d (%s)" % (item.kind.decode(), item.id, "/".join(kinds)))
        if others and self.heif.items.index(self.primary) > 0:
            said.append("primary item %d listed %d of %d" % (
                self.primary.id, self.heif.items.index(self.primary) + 1, len(self.heif.items)))
        return ", ".join(said)


# --- seeing a file ------------------------------------------------------------------------------

EXIF_SHOW = {2: T.FLIP_LEFT_RIGHT, 3: T.ROTATE_180, 4: T.FLIP_TOP_BOTTOM, 5: T.TRANSPOSE,
             6: T.ROTATE_270, 7: T.TRANSVERSE, 8: T.ROTATE_90}


def transform(image, transforms):
    """clap, irot, imir in the order the file lists them."""
    for kind, body in transforms:
        if kind == b"clap":
            w_n, w_d, h_n, h_d, x_n, x_d, y_n, y_d = struct.unpack(">IIIIiIiI", body[:32])
            width, height = w_n / w_d, h_n / h_d
            left = x_n / x_d + (image.size[0] - 1) / 2 - (width - 1) / 2
            top = y_n / y_d + (image.size[1] - 1) / 2 - (height - 1) / 2
            box = (round(left), round(top), round(left + width), round(top + height))
            image = image.crop(box)
        elif kind == b"irot":
            if body[0]:
                image = image.transpose([None, T.ROTATE_90, T.ROTATE_180, T.ROTATE_270][body[0]])
        elif kind == b"imir":
            image = image.transpose(T.FLIP_TOP_BOTTOM if body[0] == 0 else T.FLIP_LEFT_RIGHT)
    return image


def finish(values, alpha, size, info, colour=True, unpremultiply=True):
    """[0, 1] RGB values of the stored picture to 8-bit sRGB as the reader
    shows them: premultiplied colours divided by alpha, PQ and HLG mapped
    back to SDR, other colour converted from the ICC profile or code points."""
    if info.premultiplied and alpha and unpremultiply:
        values = [[min(1.0, c * 255 / a) if a else 0.0 for c in p] for p, a in zip(values, alpha)]
    if info.hdr and colour:
        top = (1 << info.bits) - 1
        image = Image.new("RGB", size)
        image.putdata([hdr_to_sdr([round(c * top) / top for c in p], info.hdr) for p in values])
        if alpha:
            image.putalpha(Image.frombytes("L", size, bytes(alpha)))
        return image
    image = float_picture(size, values, alpha)
    profile = info.profile()
    if profile and colour:
        image = convert(image, profile)
    return image


def png_values(path, bits, shifted):
    """[0, 1] values and 8-bit alpha of a decoded PNG; heif-convert writes
    samples of more than 8 bits shifted to the top of 16 (shifted)."""
    width, height, channels, depth, samples = read_png(path)
    if depth == 16:
        top = (1 << bits) - 1
        scale = (lambda v: (v >> (16 - bits)) / top) if shifted else (lambda v: v / 65535)
    else:
        scale = (lambda v: v / 255)
    colour = 1 if channels < 3 else 3
    values, alpha = [], [] if channels in (2, 4) else None
    for i in range(0, len(samples), channels):
        p = [scale(v) for v in samples[i:i + colour]]
        values.append(p * 3 if colour == 1 else p)
        if alpha is not None:
            alpha.append(int(round(scale(samples[i + channels - 1]) * 255)))
    return values, alpha, (width, height)


def seen_by_libheif(path, info):
    """heif-convert's decoding (libheif turns it), brought to sRGB."""
    out = tmp("libheif.png")
    if info.heif.major == b"avis":
        # heif-convert turns away what heif_check_filetype calls unsupported,
        # as it calls brand avis; libheif itself reads the file's items.
        path = tmp("avis-as-avif.avif")
        open(path, "wb").write(info.data[:8] + b"avif" + info.data[12:])
    run(["heif-convert", path, out])
    values, alpha, size = png_values(out, info.bits, True)
    return finish(values, alpha, size, info)


def read_y4m(path):
    """The planes of avifdec's y4m output: dav1d's samples as libavif hands
    them out, before any conversion to RGB."""
    data = open(path, "rb").read()
    head, rest = data.split(b"\n", 1)
    fields = {f[:1]: f[1:] for f in head.split()[1:]}
    width, height = int(fields[b"W"]), int(fields[b"H"])
    match = re.fullmatch(rb"(420|422|444|mono)(?:jpeg|paldv|mpeg2)?(?:p(\d+))?(alpha)?",
                         fields[b"C"])
    layout = {b"mono": "400"}.get(match.group(1), match.group(1).decode())
    bits = int(match.group(2) or 8)
    full = b"XCOLORRANGE=FULL" in head
    assert rest.startswith(b"FRAME\n")
    raw = rest[6:]
    samples = list(struct.unpack("<%dH" % (len(raw) // 2), raw)) if bits > 8 else list(raw)
    sx, sy = {"444": (1, 1), "422": (2, 1), "420": (2, 2), "400": (1, 1)}[layout]
    chroma = ((width + sx - 1) // sx) * ((height + sy - 1) // sy)
    sizes = [width * height] + ([chroma] * 2 if layout != "400" else [])
    sizes += [width * height] if match.group(3) else []
    planes, pos = [], 0
    for n in sizes:
        planes.append(samples[pos:pos + n])
        pos += n
    assert pos == len(samples), path
    return planes, layout, bits, (width, height), full, bool(match.group(3))


def seen_by_avifdec(path, info):
    """avifdec's decoding (libavif and dav1d) as YCbCr (y4m), made RGB here
    by the nclx matrix exactly (chroma repeated, as libheif does), turned
    here (avifdec applies no transforms) and brought to sRGB. A file with a
    track is given to avifdec as its primary item alone."""
    if b"moov" in [kind for kind, _, _ in isobmff.boxes(info.data)]:
        still = Heif(b"avif", [b"avif", b"mif1", b"miaf"])
        still.items = [Item(1, info.primary.kind, info.primary.data, info.primary.props)]
        if info.alpha:
            still.items.append(Item(2, info.alpha.kind, info.alpha.data, info.alpha.props))
            still.refs.append((b"auxl", 2, [1]))
        still.primary = 1
        path = tmp("still.avif")
        open(path, "wb").write(still.write())
    run(["avifdec", path, tmp("avifdec.y4m")])
    planes, layout, bits, size, full, has_alpha = read_y4m(tmp("avifdec.y4m"))
    matrix = info.nclx[2] if info.nclx else 6
    values = from_ycbcr(planes, size, layout, bits, matrix, full)
    alpha = None
    if has_alpha:
        alpha = [int(round(v * 255 / ((1 << bits) - 1))) for v in planes[-1]]
    elif info.alpha:
        # y4m holds alpha for 8-bit 4:4:4 only: take it from avifdec's PNG.
        run(["avifdec", "-d", "8", path, tmp("avifdec.png")])
        alpha = list(Image.open(tmp("avifdec.png")).getchannel("A").getdata())
    return transform(finish(values, alpha, size, info), info.transforms)


def avifdec_rgb(path, info):
    """avifdec's own RGB (libavif's conversion, through libyuv where it can),
    turned and brought to sRGB: compared, not used."""
    if b"moov" in [kind for kind, _, _ in isobmff.boxes(info.data)]:
        path = tmp("still.avif")
    run(["avifdec", "-d", "8" if info.bits == 8 else "16", path, tmp("avifdec.png")])
    values, alpha, size = png_values(tmp("avifdec.png"), info.bits, False)
    # avifdec divides premultiplied colours by alpha itself (libheif does not).
    return transform(finish(values, alpha, size, info, unpremultiply=False), info.transforms)


def ffmpeg_planes(item, heif):
    """One coded picture decoded by ffmpeg (libavcodec's HEVC decoder, or
    libaom for AV1): its planes, layout, depth, and the code points its
    bitstream gives."""
    hevc = item.kind == b"hvc1"
    stream = isobmff.hevc_annex_b(item) if hevc else isobmff.av1_obus(item)
    open(tmp("stream"), "wb").write(stream)
    demux = ["-f", "hevc"] if hevc else ["-f", "obu", "-c:v", "libaom-av1"]
    # No -pix_fmt: the decoder's own layout, unconverted, which the output
    # stream's line names, with the range and matrix the bitstream gives.
    result = subprocess.run(["ffmpeg", "-hide_banner", "-nostats", "-y"] + demux + [
        "-i", tmp("stream"), "-frames:v", "1", "-f", "rawvideo", tmp("raw")], check=True,
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    output = re.search(r"Output #0.*?Video: rawvideo \([^)]*\), (\w+)(?:\(([^)]*)\))?, "
                       r"(\d+)x(\d+)", result, re.S)
    pix_fmt, details = output.group(1), (output.group(2) or "").split(", ")
    # gbrp's planes G, B, R are matrix 0's Y, Cb, Cr in that order.
    match = re.fullmatch(r"(?:yuvj?(4\d\d)p|(gray)|gbrp)(?:(\d+)le)?", pix_fmt)
    assert match, pix_fmt
    layout = match.group(1) or ("400" if match.group(2) else "444")
    bits = int(match.group(3) or 8)
    raw = open(tmp("raw"), "rb").read()
    fields = {"width": output.group(3), "height": output.group(4),
              "color_range": details[0] if details[0] in ("pc", "tv") else "unknown",
              "color_space": next((d.split("/")[0] for d in details if "/" in d or d in (
                  "bt709", "bt470bg", "smpte170m", "bt2020nc", "gbr")), "unknown")}
    width, height = int(fields["width"]), int(fields["height"])
    sx, sy = {"444": (1, 1), "422": (2, 1), "420": (2, 2), "400": (1, 1)}[layout]
    sizes = [width * height] + ([((width + sx - 1) // sx) * ((height + sy - 1) // sy)] * 2
                                if layout != "400" else [])
    if bits > 8:
        samples = list(struct.unpack("<%dH" % (len(raw) // 2), raw))
    else:
        samples = list(raw)
    planes, pos = [], 0
    for n in sizes:
        planes.append(samples[pos:pos + n])
        pos += n
    assert pos == len(samples), (pos, len(samples))
    matrix = {"bt709": 1, "bt470bg": 5, "smpte170m": 6, "bt2020nc": 9, "gbr": 0}.get(
        fields.get("color_space"), 6)
    full = fields.get("color_range") != "tv"
    return planes, layout, bits, (width, height), (matrix, full)


def ffmpeg_item(item, heif, nclx):
    """An item's picture as [0, 1] RGB values: a coded one, or a grid of them."""
    if item.kind == b"grid":
        rows, columns = item.data[2] + 1, item.data[3] + 1
        wide = item.data[1] & 1
        width, height = struct.unpack(">II" if wide else ">HH", item.data[4:12 if wide else 8])
        tiles = heif.refs_from(item.id, b"dimg")
        assert len(tiles) == rows * columns
        assert isobmff.ispe(width, height) == item.prop(b"ispe"), "ispe is not the grid's size"
        canvas, tile_size = None, None
        for n, tile in enumerate(tiles):
            values, tile_size = ffmpeg_item(heif.item(tile), heif, nclx)
            if canvas is None:
                canvas = [None] * (tile_size[0] * columns * tile_size[1] * rows)
            row, column = divmod(n, columns)
            for y in range(tile_size[1]):
                start = (row * tile_size[1] + y) * tile_size[0] * columns + column * tile_size[0]
                canvas[start:start + tile_size[0]] = values[y * tile_size[0]:(y + 1) * tile_size[0]]
        full_width = tile_size[0] * columns
        return [canvas[y * full_width + x] for y in range(height) for x in range(width)], (
            width, height)
    planes, layout, bits, size, (matrix, full) = ffmpeg_planes(item, heif)
    kinds = [isobmff.property_kind(p) for p, _ in item.props]
    turned = kinds.index(b"ispe") > kinds.index(b"irot") if b"irot" in kinds else False
    declared = struct.unpack(">II", item.prop(b"ispe")[12:20])
    # libheif 1.15's own layout: irot before an ispe that holds the turned size.
    assert declared == (size[::-1] if turned and item.prop(b"irot")[8] % 2 else size), (
        "ispe is not the coded size")
    if nclx:
        matrix, full = nclx[2], nclx[3]
    return from_ycbcr(planes, size, layout, bits, matrix, full), size


def seen_by_ffmpeg(path, info, colour=True, transforms=True, unpremultiply=True, exif=False,
                   nclx=None):
    """The second reader, independent of libheif and libavif (see the top);
    nclx in place of the file's, for what a reader misreading it shows."""
    values, size = ffmpeg_item(info.primary, info.heif, nclx or info.nclx)
    alpha = None
    if info.alpha:
        planes, layout, bits, alpha_size, (_, full) = ffmpeg_planes(info.alpha, info.heif)
        assert alpha_size == size
        top = (1 << bits) - 1
        alpha = [int(round(v * 255 / top)) for v in planes[0]]
    image = finish(values, alpha, size, info, colour, unpremultiply)
    if transforms:
        image = transform(image, info.transforms)
    if exif and info.orientation in EXIF_SHOW:
        image = image.transpose(EXIF_SHOW[info.orientation])
    return image


def seen_by_magick(path):
    out = tmp("magick.png")
    run([CONVERT, path, out])
    return Image.open(out)


# --- putting files together ------------------------------------------------------------------

def read(path):
    heif = Heif.read(open(path, "rb").read())
    return heif, heif.item(heif.primary)


def renumbered(item, new_id, hidden=None):
    return Item(new_id, item.kind, item.data, item.props, item.name,
                item.hidden if hidden is None else hidden, item.in_idat)


def picture_items(path, first_id):
    """A file's primary picture as items numbered from first_id: its coded
    item, or (as libheif writes a picture under 64 pixels high or wide) a
    grid of one larger tile that crops it, with that hidden tile; the dimg
    reference joining them; the id of the picture's item."""
    heif, item = read(path)
    if item.kind != b"grid":
        return [renumbered(item, first_id)], [], first_id
    tiles = [renumbered(heif.item(t), first_id + n)
             for n, t in enumerate(heif.refs_from(item.id, b"dimg"))]
    grid = renumbered(item, first_id + len(tiles))
    return tiles + [grid], [(b"dimg", grid.id, [t.id for t in tiles])], grid.id


def grid_data(rows, columns, size):
    return struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, *size)


def tiles_of(image, tile, columns, rows, fill):
    """The picture on a canvas of whole tiles (the rest fill), cut into tiles
    row by row."""
    canvas = Image.new(image.mode, (tile * columns, tile * rows), fill)
    canvas.paste(image, (0, 0))
    return [canvas.crop((c * tile, r * tile, (c + 1) * tile, (r + 1) * tile))
            for r in range(rows) for c in range(columns)]


def patch_still(sequence, still):
    """An avis file whose primary item is another picture than its track's:
    the still item's coded bytes appended to the mdat (the last box) and
    its iloc extent and av1C changed in place, so the track's offsets hold."""
    data = bytearray(sequence)
    heif = Heif.read(sequence)
    kinds = [(kind, body, end) for kind, body, end in isobmff.boxes(sequence)]
    assert kinds[-1][0] == b"mdat", "mdat must come last"
    meta, meta_end = isobmff.find(sequence, b"meta")
    iloc, _ = isobmff.find(sequence, b"iloc", meta + 4, meta_end)
    version = data[iloc]
    assert version == 0 and data[iloc + 4] == 0x44 and data[iloc + 5] == 0, "iloc layout"
    count = struct.unpack_from(">H", data, iloc + 6)[0]
    pos = iloc + 8
    for _ in range(count):
        item_id, _, extents = struct.unpack_from(">HHH", data, pos)
        if item_id == heif.primary:
            assert extents == 1
            struct.pack_into(">II", data, pos + 6, len(data), len(still.data))
        pos += 6 + 8 * extents
    old = heif.item(heif.primary).prop(b"av1C")
    new = still.prop(b"av1C")
    assert len(old) == len(new)
    at = data.index(old, meta, meta_end)
    data[at:at + len(old)] = new
    # The track's creation and modification times (avifenc's now) set to
    # 0, so that each run writes the same bytes.
    def untime(start, end):
        for kind, body, stop in isobmff.boxes(data, start, end):
            if kind in (b"mvhd", b"tkhd", b"mdhd"):
                size = 8 if data[body] == 1 else 4
                data[body + 4:body + 4 + 2 * size] = bytes(2 * size)
            elif kind in (b"moov", b"trak", b"mdia"):
                untime(body, stop)
    untime(0, len(data))
    mdat_start = kinds[-1][1] - 8
    struct.pack_into(">I", data, mdat_start, len(data) - mdat_start + len(still.data))
    return bytes(data + still.data)


def cut(source, target, at):
    data = open(source, "rb").read()
    open(target, "wb").write(data[:at])
    return len(data)


def box_span(data, path):
    """(start, end) of a box's body, found by a path of types from the top."""
    start, end = 0, len(data)
    for kind in path:
        start, end = isobmff.find(data, kind, start, end)
        if kind == b"meta":
            start += 4
    return start, end


# --- the folder ------------------------------------------------------------------------------

class Folder:
    def __init__(self):
        self.manifest = []
        self.references = {}  # PAM bytes: path
        self.checks = {}      # file: (libheif, ffmpeg, magick) differences from the reference
        refs = os.path.join(HERE, "references")
        os.makedirs(refs, exist_ok=True)
        for name in os.listdir(refs):
            if name.endswith(".pam"):
                os.remove(os.path.join(refs, name))

    def reference(self, name, image):
        content = pam(image)
        if content not in self.references:
            with open(os.path.join(HERE, "references", name + ".pam"), "wb") as out:
                out.write(content)
            self.references[content] = "heif/references/%s.pam" % name
        return self.references[content]

    def shown(self, file, note, meant, name=None):
        """A file to be shown. meant is the picture it was made from, as it
        is meant to be seen: the reference for HEIC and HDR files; for the
        others the reference is avifdec's decoding, which must be near it."""
        info = Info(file)
        reference, avifdec = meant, None
        if info.codec == "AV1":
            decoded = opaque(seen_by_avifdec(file, info))
            near = mean_difference(decoded, meant)
            assert near < 4, (file, near)
            if info.hdr:  # the reference stays the SDR picture: avifdec is checked
                avifdec = ("avifdec", max_difference(decoded, meant))
            else:
                reference, name = decoded, file[:-5]
                avifdec = ("avifdec's RGB",
                           max_difference(opaque(avifdec_rgb(file, info)), reference))
        libheif = seen_by_libheif(file, info)
        maxdiff = max_difference(libheif, reference) + 3
        assert maxdiff < 20, (file, maxdiff)
        ffmpeg = seen_by_ffmpeg(file, info)
        second = max_difference(ffmpeg, reference)
        assert second <= maxdiff, (file, "ffmpeg", second, maxdiff)
        if info.orientation != 1:  # the Exif block read by another reader
            said = subprocess.run(["exiftool", "-s3", "-n", "-Orientation", file], check=True,
                                  stdout=subprocess.PIPE, text=True).stdout.split()
            assert said == [str(info.orientation)], (file, said)
        # ImageMagick 6 takes YCbCr from libheif and makes RGB itself (BT.601,
        # chroma as libheif subsamples it), and drops alpha: a loose check of
        # the colour, on average.
        ours = Image.open(tmp("libheif.png")).convert("RGB")
        magick = mean_difference(ours, seen_by_magick(file).convert("RGB"))
        assert magick < 2.5, (file, "ImageMagick", magick)
        # What a reader gets wrong must fail: transforms left out, the Exif
        # orientation applied as well, colours or HDR left unconverted,
        # premultiplied colours left as they are.
        wrong = []
        if info.transforms:
            wrong.append(("transforms left out", seen_by_ffmpeg(file, info, transforms=False)))
        if info.orientation != 1:
            wrong.append(("Exif orientation applied", seen_by_ffmpeg(file, info, exif=True)))
        if info.profile() or info.hdr:
            wrong.append(("colour left unconverted", seen_by_ffmpeg(file, info, colour=False)))
        if info.premultiplied:
            wrong.append(("alpha left premultiplied",
                          seen_by_ffmpeg(file, info, unpremultiply=False)))
        if info.nclx and info.nclx[2] not in (5, 6) and info.chroma != "400":
            wrong.append(("matrix taken as BT.601", seen_by_ffmpeg(
                file, info, nclx=info.nclx[:2] + (6, info.nclx[3]))))
        if info.nclx and not info.nclx[3]:
            wrong.append(("limited range taken as full", seen_by_ffmpeg(
                file, info, nclx=info.nclx[:3] + (1,))))
        for what, image in wrong:
            assert max_difference(image, reference) > maxdiff, (file, what)
        self.checks[file] = (maxdiff - 3, second, magick, [what for what, _ in wrong], avifdec)
        path = self.reference(name or file.rsplit(".", 1)[0], reference)
        self.manifest.append([file, path, "shown", str(maxdiff), "%s; %s" % (note, info.summary()),
                              "-"])
        print("%-34s maxdiff %2d (ffmpeg %2d)" % (file, maxdiff, second))
        return info

    def refused(self, file, note, why):
        libheif = subprocess.run(["heif-convert", file, tmp("refused.png")],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        message = libheif.stdout.strip().splitlines()[-1] if libheif.stdout.strip() else ""
        refusals = ["libheif" if libheif.returncode else None]
        if file.endswith(".avif"):
            avifdec = subprocess.run(["avifdec", file, tmp("refused.png")],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            refusals.append("avifdec" if avifdec.returncode else None)
        self.checks[file] = ([r for r in refusals if r], message)
        self.manifest.append([file, "-", "refused", "-", note, why])
        print("%-34s refused (%s): %s" % (file, why, message))


def tool_versions():
    def first(args, pattern):
        result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, stdin=subprocess.DEVNULL)
        return re.search(pattern, result.stdout).group(1)
    avif = subprocess.run(["avifenc", "--version"], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True).stdout
    return [
        ("libheif (heif-enc, heif-convert, make_heif_samples; x265 and libde265)",
         first(["heif-enc", "--help"], r"libheif version: (\S+)")),
        ("x265", first(["heif-enc", "--list-encoders"], r"x265 HEVC encoder \((\S+?)[+)]")),
        ("libavif (avifenc, avifdec)", re.search(r"Version: (\S+)", avif).group(1)),
        ("aom", re.search(r"aom \[enc/dec\]:v?(\S+?)[),]", avif).group(1)),
        ("dav1d", re.search(r"dav1d \[dec\]:(\S+?)[),]", avif).group(1)),
        ("ImageMagick", first([CONVERT, "-version"], r"ImageMagick (\S+ Q\d+)")),
        ("ffmpeg", first(["ffmpeg", "-version"], r"ffmpeg version (\S+)")),
        ("Pillow", PIL.__version__),
        ("Little CMS (Pillow's)", ImageCms.core.littlecms_version),
        ("exiftool", first(["exiftool", "-ver"], r"(\S+)")),
        ("Python", sys.version.split()[0]),
    ]


# --- the files -------------------------------------------------------------------------------

def main():
    os.chdir(HERE)
    for name in os.listdir("."):
        if name.endswith((".heic", ".avif")):
            os.remove(name)
    shutil.rmtree(TMP, ignore_errors=True)
    os.makedirs(TMP)
    make = Encoders()
    folder = Folder()
    shown, refused = folder.shown, folder.refused

    base = quad(SIZE)
    values = values_of(base)
    alpha = with_alpha(base)
    grey = base.convert("L").convert("RGB")
    adobe = icc_file("AdobeRGB1998.icc")
    p3 = rgb_profile(12, "srgb", "Display P3 (make.py)")

    # heif-enc as it stands: lossless, each chroma sampling, 10 and 12 bits
    # from 16-bit PNGs, alpha, premultiplied alpha, a thumbnail, an ICC
    # profile from the PNG's iCCP. It writes no nclx box and codes BT.601
    # full range whatever --matrix_coefficients says.
    lossless = ["-L", "-p", "chroma=444", "--matrix_coefficients=0"]
    make.heif_enc("heifenc-lossless.heic", base, lossless)
    shown("heifenc-lossless.heic", "heif-enc -L -p chroma=444 --matrix_coefficients=0, "
          "which codes BT.601 YCbCr all the same (1 off)", base, "quad")
    for chroma in ("420", "422", "444"):
        file = "heifenc-%s.heic" % chroma
        make.heif_enc(file, base, ["-q", "90", "-p", "chroma=" + chroma])
        shown(file, "heif-enc -q 90 -p chroma=%s, no colr box (BT.601 full range coded)"
              % chroma, base, "quad")
    ten, ten_reference = deep(SIZE, 10)
    make.heif_enc("heifenc-10bit.heic", (ten, SIZE), ["-b", "10", "-q", "90"])
    shown("heifenc-10bit.heic", "heif-enc -b 10 -q 90 from a 16-bit PNG", ten_reference, "deep10")
    twelve, twelve_reference = deep(SIZE, 12)
    make.heif_enc("heifenc-12bit.heic", (twelve, SIZE), ["-b", "12"] + lossless)
    shown("heifenc-12bit.heic", "heif-enc -b 12 -L from a 16-bit PNG", twelve_reference,
          "deep12")
    make.heif_enc("heifenc-alpha.heic", alpha, lossless)
    shown("heifenc-alpha.heic", "heif-enc -L, alpha", alpha, "quad-alpha")
    make.heif_enc("heifenc-premultiplied.heic", premultiplied(alpha),
                  lossless + ["--premultiplied-alpha"])
    shown("heifenc-premultiplied.heic", "heif-enc -L --premultiplied-alpha of premultiplied "
          "colours: shown divided by alpha", alpha, "quad-alpha")
    make.heif_enc("heifenc-thumbnail.heic", base, ["-q", "90", "-t", "48"])
    shown("heifenc-thumbnail.heic", "heif-enc -t 48: a 48x32 thumbnail, which heif-enc wraps "
          "in a grid of one 64x64 tile", base, "quad")
    in_adobe = convert(base, SRGB_ICC, adobe)
    in_adobe.info["icc_profile"] = adobe
    make.heif_enc("heifenc-icc-adobergb.heic", in_adobe, lossless)
    shown("heifenc-icc-adobergb.heic", "heif-enc -L of an Adobe RGB PNG: colord's "
          "AdobeRGB1998.icc in a colr prof box", base, "quad")
    base.save(tmp("quad.png"))
    run([CONVERT, tmp("quad.png"), "-quality", "90", "im-q90.heic"])
    shown("im-q90.heic", "ImageMagick convert -quality 90", base, "quad")

    # make_heif_samples: matrices and ranges, monochrome, code points that
    # are not sRGB, an ICC profile beside an nclx box, PQ and HLG.
    for file, nclx, chroma, note in (
            ("heic-matrix0.heic", (1, 13, 0, 1), "rgb", "matrix 0 (RGB, as G, B, R)"),
            ("heic-matrix1.heic", (1, 13, 1, 1), "444", "matrix 1 (BT.709)"),
            ("heic-matrix5.heic", (1, 13, 5, 1), "444", "matrix 5 (BT.601 625)"),
            ("heic-matrix9.heic", (1, 13, 9, 1), "444", "matrix 9 (BT.2020 non-constant)"),
            ("heic-matrix6-limited.heic", (1, 13, 6, 0), "444", "matrix 6, limited range"),
            ("heic-matrix1-limited-420.heic", (1, 13, 1, 0), "420",
             "matrix 1, limited range, 4:2:0 as video is")):
        make.heif(file, values, SIZE, chroma, matrix=nclx[2], full=nclx[3], nclx=nclx)
        shown(file, "make_heif_samples, lossless: " + note, base, "quad")
    make.heif("heic-400.heic", values_of(grey), SIZE, "400", nclx=(1, 13, 6, 1))
    shown("heic-400.heic", "make_heif_samples, lossless: monochrome", grey, "grey")

    def colour_case(file, nclx, bits, chroma, note, icc=None):
        """The picture in the file's colour space (from sRGB by Little CMS,
        through the profile the reader will build), its reference the sRGB
        picture it was made from."""
        profile = icc or profile_for(nclx)
        stored = values_of(convert(base, SRGB_ICC, profile))
        make.heif(file, stored, SIZE, chroma, bits, matrix=nclx[2] if nclx else 0,
                  full=nclx[3] if nclx else 1, nclx=nclx, icc=icc)
        shown(file, note, base, "quad")

    colour_case("heic-nclx-p3.heic", (12, 13, 6, 1), 8, "444",
                "make_heif_samples, lossless: Display P3 by code points (primaries 12, "
                "transfer 13)")
    colour_case("heic-nclx-bt2020.heic", (9, 14, 9, 0), 10, "444",
                "make_heif_samples, lossless: BT.2020 primaries (9), transfer 14 read as "
                "sRGB's curve, 10 bits limited range")
    colour_case("heic-nclx-bt709-gamma22.heic", (1, 4, 1, 1), 8, "444",
                "make_heif_samples, lossless: BT.709 primaries with transfer 4 (gamma 2.2)")
    colour_case("heic-icc-p3.heic", None, 8, "rgb",
                "make_heif_samples, lossless RGB: a Display P3 ICC profile (made by make.py)",
                icc=p3)
    colour_case("heic-icc-and-nclx.heic", (2, 2, 1, 0), 8, "444",
                "make_heif_samples, lossless: colord's Adobe RGB profile beside an nclx box "
                "(primaries and transfer 2, none given; matrix 1, limited range): the profile "
                "for colour, the nclx box for the matrix", icc=adobe)

    def hdr_case(file, nclx, chroma, note, quality=None):
        signals = [sdr_to_hdr([round(c * 255) for c in p], nclx[1]) for p in values]
        make.heif(file, signals, SIZE, chroma, 10, matrix=nclx[2], full=nclx[3], nclx=nclx,
                  quality=quality)
        shown(file, note, base, "quad")
        return signals

    pq = hdr_case("heic-pq.heic", (9, 16, 9, 0), "420",
                  "make_heif_samples -q 95: PQ, 10 bits, made from the sRGB picture (white "
                  "at 203 cd/m2)", quality=95)
    hlg = hdr_case("heic-hlg.heic", (9, 18, 9, 1), "444",
                   "make_heif_samples, lossless: HLG, 10 bits, made from the sRGB picture "
                   "(white at 75% signal)")

    # Orientation: libheif writes irot/imir for an EXIF orientation value;
    # the Exif block says the same, and the picture must be turned once.
    for orientation, file, note in (
            (6, "heic-irot3-exif6.heic", "irot 3 (turned 270 degrees anticlockwise) and Exif 6"),
            (8, "heic-irot1-exif8.heic", "irot 1 (turned 90 degrees anticlockwise) and Exif 8"),
            (2, "heic-imir1-exif2.heic", "imir 1 (left and right exchanged) and Exif 2"),
            (5, "heic-transpose-exif5.heic", "irot 3 then imir 1 (transposed) and Exif 5")):
        inverse = {6: T.ROTATE_90, 8: T.ROTATE_270, 2: T.FLIP_LEFT_RIGHT, 5: T.TRANSPOSE}
        stored = base.transpose(inverse[orientation])
        make.heif(file, values_of(stored), stored.size, "444", nclx=(1, 13, 6, 1),
                  exif=exif(orientation), orientation=orientation)
        shown(file, "make_heif_samples, lossless: %s, both from libheif's encoder "
              "(shown turned once)" % note, base, "quad")
    make.heif("heic-libheif-irot3-exif6.heic", values_of(base.transpose(T.ROTATE_90)), (64, 96),
              "444", nclx=(1, 13, 6, 1), exif=exif(6), orientation=6, mend=False)
    shown("heic-libheif-irot3-exif6.heic", "make_heif_samples, lossless, as libheif 1.15 writes "
          "it: irot 3 listed before an ispe that gives the turned size (96x64 for a 64x96 "
          "picture), and Exif 6", base, "quad")
    make.heif("heic-exif6-no-irot.heic", values, SIZE, "444", nclx=(1, 13, 6, 1), exif=exif(6))
    shown("heic-exif6-no-irot.heic", "make_heif_samples, lossless: Exif orientation 6 and no "
          "irot: shown as stored", base, "quad")

    # clap, irot and imir in the order they apply: the stored picture is the
    # meant one mirrored, turned and framed by a magenta border the crop
    # takes off (left 8, top 6).
    inner = base.transpose(T.FLIP_TOP_BOTTOM).transpose(T.ROTATE_90)
    stored = Image.new("RGB", (inner.size[0] + 16, inner.size[1] + 14), (230, 20, 230))
    stored.paste(inner, (8, 6))
    make.heif(tmp("clap.heic"), values_of(stored), stored.size, "444", nclx=(1, 13, 6, 1),
              orientation=7)
    heif, item = read(tmp("clap.heic"))
    at = [isobmff.property_kind(p) for p, _ in item.props].index(b"irot")
    item.props.insert(at, (isobmff.clap(*inner.size, 8, 6, *stored.size), True))
    open("heic-clap-irot-imir.heic", "wb").write(heif.write())
    assert transform(stored, Info("heic-clap-irot-imir.heic").transforms) == base
    shown("heic-clap-irot-imir.heic", "make_heif_samples and make.py: clap (a 64x96 crop at "
          "8,6 of 80x110), then irot 3, then imir 0, listed in that order", base, "quad")

    # The primary picture only: a thumbnail, or a depth map, listed first.
    make.heif(tmp("main.heic"), values, SIZE, "444", nclx=(1, 13, 6, 1))
    small = base.resize((48, 32), Image.Resampling.BOX)
    make.heif(tmp("thumb.heic"), values_of(small), small.size, "420", nclx=(1, 13, 6, 1),
              quality=80)
    _, main_item = read(tmp("main.heic"))
    thumb_items, thumb_refs, thumb_id = picture_items(tmp("thumb.heic"), 1)
    heif = Heif()
    heif.items = thumb_items + [renumbered(main_item, thumb_id + 1)]
    heif.refs = thumb_refs + [(b"thmb", thumb_id, [thumb_id + 1])]
    heif.primary = thumb_id + 1
    open("heic-thumbnail-first.heic", "wb").write(heif.write())
    shown("heic-thumbnail-first.heic", "make.py: a 48x32 thumbnail (libheif's grid of one tile) "
          "listed first, the primary item last", base, "quad")
    depth = Image.linear_gradient("L").resize(SIZE).transpose(T.ROTATE_90).resize(SIZE)
    make.heif(tmp("depth.heic"), values_of(depth.convert("RGB")), SIZE, "400",
              nclx=(2, 2, 6, 1))
    _, depth_item = read(tmp("depth.heic"))
    depth_item.props.append((isobmff.auxc("urn:mpeg:hevc:2015:auxid:2"), True))
    heif = Heif()
    heif.items = [renumbered(depth_item, 1), renumbered(main_item, 2)]
    heif.refs = [(b"auxl", 1, [2])]
    heif.primary = 2
    open("heic-depth-first.heic", "wb").write(heif.write())
    shown("heic-depth-first.heic", "make.py: a depth map (auxC urn:mpeg:hevc:2015:auxid:2) "
          "listed first (item 1), the primary second", base, "quad")

    # Grids as phones write them (512x512 tiles there, 64x64 here), cropped
    # to a size no tile divides; the grid description in idat.
    def heic_grid(meant_stored, nclx, quality, first_id=1):
        columns = (meant_stored.size[0] + 63) // 64
        rows = (meant_stored.size[1] + 63) // 64
        items = []
        for n, tile in enumerate(tiles_of(meant_stored, 64, columns, rows, (230, 20, 230))):
            make.heif(tmp("tile.heic"), values_of(tile), tile.size, "420", nclx=nclx,
                      quality=quality)
            _, item = read(tmp("tile.heic"))
            items.append(renumbered(item, first_id + n, hidden=True))
        grid = Item(first_id + len(items), b"grid", grid_data(rows, columns, meant_stored.size),
                    [(isobmff.ispe(*meant_stored.size), False), (isobmff.nclx(*nclx), False),
                     (isobmff.pixi(8, 8, 8), False)], in_idat=True)
        return items, grid

    big = quad((176, 104))
    tiles, grid = heic_grid(big, (1, 13, 6, 1), 90)
    heif = Heif()
    heif.items = tiles + [grid]
    heif.refs = [(b"dimg", grid.id, [t.id for t in tiles])]
    heif.primary = grid.id
    open("heic-grid.heic", "wb").write(heif.write())
    shown("heic-grid.heic", "make_heif_samples -q 90 tiles, make.py grid: 3x2 tiles of 64x64 "
          "cropped to 176x104", big, "grid")

    # A phone's picture: held upright, stored on its side as a grid with
    # irot 3 and Exif orientation 6, Display P3 code points, a thumbnail and
    # an Exif item after the grid, brands as an iPhone writes them.
    phone = quad((120, 180))
    stored = phone.transpose(T.ROTATE_90)
    stored_p3 = convert(stored, SRGB_ICC, p3)
    p3_nclx = (12, 13, 6, 1)
    tiles, grid = heic_grid(stored_p3, p3_nclx, 90)
    grid.props.append((isobmff.irot(3), True))
    thumb_picture = stored_p3.resize((60, 40), Image.Resampling.BOX)
    make.heif(tmp("thumb.heic"), values_of(thumb_picture), thumb_picture.size, "420",
              nclx=p3_nclx, quality=80, orientation=6)
    thumb_items, thumb_refs, thumb_id = picture_items(tmp("thumb.heic"), grid.id + 1)
    exif_item = Item(thumb_items[-1].id + 1, b"Exif", struct.pack(">I", 6) + exif(6),
                     hidden=True)
    heif = Heif(b"heic", [b"mif1", b"MiHE", b"MiPr", b"miaf", b"MiHB", b"heic"])
    heif.items = tiles + [grid] + thumb_items + [exif_item]
    heif.refs = [(b"dimg", grid.id, [t.id for t in tiles])] + thumb_refs + [
        (b"thmb", thumb_id, [grid.id]), (b"cdsc", exif_item.id, [grid.id])]
    heif.primary = grid.id
    open("heic-phone-like.heic", "wb").write(heif.write())
    shown("heic-phone-like.heic", "make_heif_samples -q 90 tiles, make.py: as a phone writes "
          "a portrait picture: a grid stored on its side with irot 3 and Exif orientation 6, "
          "Display P3 code points, a 60x40 thumbnail (itself turned by irot 3) and an Exif "
          "item after the grid",
          phone, "phone")

    # AVIF by avifenc: each sampling, 10 and 12 bits, lossless, limited
    # range, matrices, alpha, code points and an ICC profile, PQ and HLG.
    quality = ["--min", "4", "--max", "12"]
    for chroma in ("420", "422", "444", "400"):
        file = "avifenc-%s.avif" % chroma
        make.avifenc(file, base, ["-y", chroma] + quality)
        shown(file, "avifenc -y %s" % chroma, grey if chroma == "400" else base)
    make.avifenc("avifenc-10bit.avif", (ten, SIZE), ["-d", "10", "-y", "420"] + quality)
    shown("avifenc-10bit.avif", "avifenc -d 10 -y 420 from a 16-bit PNG", ten_reference)
    make.avifenc("avifenc-12bit.avif", (twelve, SIZE), ["-d", "12", "-y", "444"] + quality)
    shown("avifenc-12bit.avif", "avifenc -d 12 -y 444 from a 16-bit PNG", twelve_reference)
    make.avifenc("avifenc-lossless.avif", base, ["-l"])
    shown("avifenc-lossless.avif", "avifenc -l (lossless: matrix 0)", base)
    make.avifenc("avifenc-limited.avif", base, ["-r", "limited", "-y", "420"] + quality)
    shown("avifenc-limited.avif", "avifenc -r limited -y 420", base)
    for matrix, name in ((1, "BT.709"), (5, "BT.601 625"), (9, "BT.2020 non-constant")):
        file = "avifenc-matrix%d.avif" % matrix
        make.avifenc(file, base, ["--cicp", "1/13/%d" % matrix, "-y", "444"] + quality)
        shown(file, "avifenc --cicp 1/13/%d -y 444: matrix %d (%s)" % (matrix, matrix, name),
              base)
    make.avifenc("avifenc-alpha.avif", alpha, quality)
    shown("avifenc-alpha.avif", "avifenc, alpha (lossless alpha plane)", alpha)
    make.avifenc("avifenc-premultiplied.avif", alpha, ["-p"] + quality)
    shown("avifenc-premultiplied.avif", "avifenc -p: colours premultiplied by alpha, shown "
          "divided by it", alpha)

    def avif_colour(file, profile, options, note):
        stored = convert(base, SRGB_ICC, profile)
        make.avifenc(file, stored, options + quality)
        shown(file, note, base)

    avif_colour("avifenc-icc-adobergb.avif", adobe, ["--icc", os.path.join(
        ICC_DIR, "AdobeRGB1998.icc"), "-y", "444"], "avifenc --icc colord's AdobeRGB1998.icc")
    avif_colour("avifenc-nclx-p3.avif", p3, ["--cicp", "12/13/6", "-y", "420"],
                "avifenc --cicp 12/13/6 -y 420: Display P3 by code points")
    avif_colour("avifenc-nclx-bt2020.avif", profile_for((9, 1)), [
        "--cicp", "9/1/9", "-y", "444", "-r", "limited"],
        "avifenc --cicp 9/1/9 -r limited: BT.2020 primaries, transfer 1 read as sRGB's curve")
    avif_colour("avifenc-nclx-bt709-gamma22.avif", profile_for((1, 4)), [
        "--cicp", "1/4/1", "-y", "444"], "avifenc --cicp 1/4/1: BT.709 primaries, gamma 2.2")
    # PQ and HLG put SDR tones in a narrow share of the code range: a finer quantizer
    # keeps their coding errors from growing when mapped back.
    fine = ["--min", "0", "--max", "4"]
    make.avifenc("avifenc-pq.avif", (pq, SIZE), ["-d", "10", "-y", "444", "--cicp", "9/16/9"]
                 + fine)
    shown("avifenc-pq.avif", "avifenc -d 10 --cicp 9/16/9: PQ made from the sRGB picture "
          "(white at 203 cd/m2)", base, "quad")
    make.avifenc("avifenc-hlg.avif", (hlg, SIZE), ["-d", "10", "-y", "420", "-r", "limited",
                                                    "--cicp", "9/18/9"] + fine)
    shown("avifenc-hlg.avif", "avifenc -d 10 -y 420 -r limited --cicp 9/18/9: HLG made from "
          "the sRGB picture (white at 75% signal)", base, "quad")

    # AVIF orientation: avifenc turns an Exif orientation into irot/imir
    # itself; make.py takes the irot out again for the Exif-only file.
    open(tmp("exif6"), "wb").write(exif(6))
    make.avifenc("avifenc-irot3-exif6.avif", base.transpose(T.ROTATE_90),
                 ["--exif", tmp("exif6")] + quality)
    shown("avifenc-irot3-exif6.avif", "avifenc --exif with orientation 6, which it turns into "
          "irot 3 (shown turned once)", base)
    make.avifenc(tmp("exif6.avif"), base, ["--exif", tmp("exif6")] + quality)
    heif, item = read(tmp("exif6.avif"))
    item.drop(b"irot")
    open("avifenc-exif6-no-irot.avif", "wb").write(heif.write())
    shown("avifenc-exif6-no-irot.avif", "avifenc --exif with orientation 6, the irot it wrote "
          "taken out by make.py: shown as stored", base)
    inner = base.transpose(T.FLIP_LEFT_RIGHT).transpose(T.ROTATE_270)
    stored = Image.new("RGB", (inner.size[0] + 20, inner.size[1] + 12), (230, 20, 230))
    stored.paste(inner, (12, 4))
    make.avifenc("avifenc-clap-irot-imir.avif", stored,
                 ["--crop", "12,4,%d,%d" % inner.size, "--irot", "1", "--imir", "1"] + quality)
    assert transform(stored, Info("avifenc-clap-irot-imir.avif").transforms) == base
    shown("avifenc-clap-irot-imir.avif", "avifenc --crop 12,4,64,96 --irot 1 --imir 1 of 84x108",
          base)

    # AVIF grids: avifenc's own (tiles dividing the picture), and one of
    # 3x2 tiles cropped to a size no tile divides.
    square = quad((128, 128))
    make.avifenc("avifenc-grid.avif", square, ["-g", "2x2"] + quality)
    shown("avifenc-grid.avif", "avifenc -g 2x2 of 128x128", square)
    wide = quad((168, 100))
    items = []
    for n, tile in enumerate(tiles_of(wide, 64, 3, 2, (230, 20, 230))):
        make.avifenc(tmp("tile.avif"), tile, ["-y", "420"] + quality)
        _, item = read(tmp("tile.avif"))
        items.append(renumbered(item, n + 1, hidden=True))
    grid = Item(7, b"grid", grid_data(2, 3, wide.size),
                [(isobmff.ispe(*wide.size), False), (items[0].prop(b"pixi"), False),
                 (items[0].prop(b"colr"), False)], in_idat=True)
    heif = Heif(b"avif", [b"avif", b"mif1", b"miaf"])
    heif.items = items + [grid]
    heif.refs = [(b"dimg", 7, [1, 2, 3, 4, 5, 6])]
    heif.primary = 7
    open("avif-grid.avif", "wb").write(heif.write())
    shown("avif-grid.avif", "avifenc tiles, make.py grid: 3x2 tiles of 64x64 cropped to "
          "168x100", wide)

    # An avis file: a track of three other pictures beside a still primary
    # item; the still one is shown.
    frames = [base.transpose(T.ROTATE_180), base.transpose(T.FLIP_LEFT_RIGHT),
              base.transpose(T.FLIP_TOP_BOTTOM)]
    for n, frame in enumerate(frames):
        frame.save(tmp("frame%d.png" % n))
    run(["avifenc", "-j", "1", "-s", "6"] + quality + [tmp("frame%d.png" % n) for n in range(3)]
        + [tmp("sequence.avif")])
    make.avifenc(tmp("still.avif"), base, quality)
    _, still = read(tmp("still.avif"))
    open("avifenc-avis.avif", "wb").write(patch_still(open(tmp("sequence.avif"), "rb").read(),
                                                      still))
    shown("avifenc-avis.avif", "avifenc of three frames (brand avis, a track), its primary "
          "item made by make.py another picture than the frames (the track's first frame "
          "is this picture turned 180 degrees)", base)

    make.avifenc(tmp("main.avif"), base, quality)
    make.avifenc(tmp("thumb.avif"), small, quality)
    _, main_avif = read(tmp("main.avif"))
    _, thumb_avif = read(tmp("thumb.avif"))
    heif = Heif(b"avif", [b"avif", b"mif1", b"miaf"])
    heif.items = [renumbered(thumb_avif, 1), renumbered(main_avif, 2)]
    heif.refs = [(b"thmb", 1, [2])]
    heif.primary = 2
    open("avif-thumbnail-first.avif", "wb").write(heif.write())
    shown("avif-thumbnail-first.avif", "make.py: a 48x32 thumbnail item listed first (item 1), "
          "the primary second", base)
    run([CONVERT, tmp("quad.png"), "-quality", "90", "im-q90.avif"])
    shown("im-q90.avif", "ImageMagick convert -quality 90", base)

    # Damaged and hostile files.
    whole = open("heic-matrix1.heic", "rb").read()
    start, end = box_span(whole, [b"meta"])
    cut("heic-matrix1.heic", "cut-heic-meta.heic", (start + end) // 2)
    refused("cut-heic-meta.heic", "heic-matrix1.heic cut in the middle of its meta box "
            "(%d of %d bytes)" % ((start + end) // 2, len(whole)), "truncated")
    start, end = box_span(whole, [b"mdat"])
    cut("heic-matrix1.heic", "cut-heic-data.heic", (start + end) // 2)
    refused("cut-heic-data.heic", "heic-matrix1.heic cut in the middle of its coded picture "
            "(%d of %d bytes)" % ((start + end) // 2, len(whole)), "truncated")
    whole = open("heic-grid.heic", "rb").read()
    heif = Heif.read(whole)
    start, end = box_span(whole, [b"mdat"])
    at = start + sum(len(heif.item(n).data) for n in (1, 2, 3)) + len(heif.item(4).data) // 2
    cut("heic-grid.heic", "cut-heic-grid.heic", at)
    refused("cut-heic-grid.heic", "heic-grid.heic cut in its fourth tile (%d of %d bytes): "
            "three tiles whole" % (at, len(whole)), "truncated")
    whole = open("avifenc-444.avif", "rb").read()
    start, end = box_span(whole, [b"meta", b"iprp"])
    cut("avifenc-444.avif", "cut-avif-meta.avif", (start + end) // 2)
    refused("cut-avif-meta.avif", "avifenc-444.avif cut in its item properties (%d of %d "
            "bytes)" % ((start + end) // 2, len(whole)), "truncated")
    start, end = box_span(whole, [b"mdat"])
    cut("avifenc-444.avif", "cut-avif-data.avif", start + (end - start) * 6 // 10)
    refused("cut-avif-data.avif", "avifenc-444.avif cut at 60%% of its coded picture (%d of "
            "%d bytes)" % (start + (end - start) * 6 // 10, len(whole)), "truncated")

    noise = random.Random(5)
    whole = open("heic-matrix1.heic", "rb").read()
    ftyp = whole[:struct.unpack(">I", whole[:4])[0]]
    garbage = bytes(noise.randrange(256) for _ in range(1500))
    open("bad-garbage-after-ftyp.heic", "wb").write(
        ftyp + struct.pack(">I", len(garbage)) + garbage[4:])
    refused("bad-garbage-after-ftyp.heic", "heic-matrix1.heic's ftyp box, then 1500 random "
            "bytes but for a box size that ends them with the file: nothing cut short, no meta "
            "box", "corrupt")

    tiny = Image.new("RGB", (64, 64), QUADRANTS[0])
    make.heif(tmp("tiny.heic"), values_of(tiny), tiny.size, "420", nclx=(1, 13, 6, 1),
              quality=50)
    heif, item = read(tmp("tiny.heic"))
    at = [isobmff.property_kind(p) for p, _ in item.props].index(b"ispe")
    item.props[at] = (isobmff.ispe(60000, 60000), False)
    data = heif.write()
    open("bad-huge-ispe.heic", "wb").write(data)
    refused("bad-huge-ispe.heic", "%d bytes (a 64x64 HEIC) whose ispe declares 60000 x 60000"
            % len(data), "hugedeclared")
    tiny = Image.new("RGB", (16, 16), QUADRANTS[0])
    make.avifenc(tmp("tiny.avif"), tiny, quality)
    heif, item = read(tmp("tiny.avif"))
    at = [isobmff.property_kind(p) for p, _ in item.props].index(b"ispe")
    item.props[at] = (isobmff.ispe(20000, 20000), False)
    data = heif.write()
    open("bad-huge-ispe.avif", "wb").write(data)
    refused("bad-huge-ispe.avif", "%d bytes (a 16x16 AVIF) whose ispe declares 20000 x 20000: "
            "within libheif's limits, over the reader's" % len(data), "hugedeclared")

    heif = Heif.read(open("heic-grid.heic", "rb").read())
    heif.items = [i for i in heif.items if i.id not in (5, 6)]
    open("bad-grid-missing-tiles.heic", "wb").write(heif.write())
    refused("bad-grid-missing-tiles.heic", "heic-grid.heic without its last two tile items, "
            "which the grid still names", "corrupt")
    heif = Heif.read(open("avif-grid.avif", "rb").read())
    heif.refs = [(b"dimg", 7, [1, 2, 3, 4])]
    open("bad-grid-few-tiles.avif", "wb").write(heif.write())
    refused("bad-grid-few-tiles.avif", "avif-grid.avif whose grid of 3x2 names four tiles",
            "corrupt")

    for row in folder.manifest:
        row[0] = "heif/" + row[0]
        assert "\t" not in "".join(row)
    folder.manifest.sort()
    with open("manifest.tsv", "w") as out:
        out.write("# file\treference\texpected\tmaxdiff\tnote\twhy\n")
        out.write("".join("\t".join(row) + "\n" for row in folder.manifest))
    write_readme(folder, tool_versions())
    shutil.rmtree(TMP)
    print("%d files, %d references" % (len(folder.manifest), len(os.listdir("references"))))


def write_readme(folder, versions):
    """The generated lines of README.md: tool versions, one line a file."""
    lines = ["Made with " + ", ".join("%s %s" % v for v in versions) + ".", "",
             "| File | Expected | maxdiff | What it tests | Checked |", "|---|---|---|---|---|"]
    for file, _, expected, maxdiff, note, why in folder.manifest:
        name = file[len("heif/"):]
        check = folder.checks[name]
        if expected == "refused":
            status = "%s (%s)" % (expected, why)
            checked = "refused by %s" % (" and ".join(check[0]) or "neither libheif nor avifdec")
        else:
            status = expected
            checked = "libheif %d, ffmpeg %d, ImageMagick %.1f" % check[:3]
            if check[4] is not None:
                checked += ", %s %d" % check[4]
            if check[3]:
                checked += "; fails if %s" % ", ".join(check[3])
        lines.append("| `%s` | %s | %s | %s | %s |" % (name, status, maxdiff,
                                                      note.replace("|", "/"), checked))
    text = open("README.md").read()
    begin, end = "<!-- made by make.py -->\n", "<!-- end of what make.py makes -->\n"
    head, rest = text.split(begin)
    _, tail = rest.split(end)
    open("README.md", "w").write(head + begin + "\n".join(lines) + "\n" + end + tail)


if __name__ == "__main__":
    main()
