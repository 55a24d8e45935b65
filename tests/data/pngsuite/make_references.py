#!/usr/bin/python3
"""Writes references/*.pam and manifest.tsv for the PNG conformance suite in
this folder: each file that is not a damaged one (x*) decoded by Pillow, the
reader the project's PNG reader is checked against.

Run from anywhere: tests/data/pngsuite/make_references.py  (needs python3-pil
and ImageMagick's convert). It rewrites references/*.pam and manifest.tsv;
references/README.md says what the references hold.

The references follow the rules the project's reader is held to: 8 bits a
sample (16-bit samples keep their high byte), top-down rows, transparency
(an alpha channel or tRNS) as an alpha channel, palette pictures expanded to
RGB or RGB_ALPHA, gAMA, cHRM, sRGB and iCCP ignored (the samples as stored).
Each is checked against ImageMagick's decoding of the same file with the same
rules, and its size against the file's IHDR.
"""
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = os.environ.get("CONVERT", "/usr/bin/convert")
SIGNATURE = b"\x89PNG\r\n\x1a\n"

COLOUR_TYPES = {0: "grey", 2: "RGB", 3: "palette", 4: "grey+alpha", 6: "RGBA"}
FILTERS = {0: "none", 1: "sub", 2: "up", 3: "average", 4: "paeth"}

# What each group of the suite tests, in the words of the suite's README.md.
GROUPS = [
    ("bas", "basic formats"),
    ("s", "odd size"),
    ("bg", "background colour (bKGD is advice)"),
    ("t", "transparency"),
    ("g", "gamma (gAMA)"),
    ("c", "ancillary chunks that change nothing"),
    ("f", "row filters"),
    ("p", "palette in odd forms (suggested palettes)"),
    ("o", "chunk ordering: IDAT split"),
    ("z", "zlib compression level"),
    ("PngSuite", "the suite's logo"),
]

# The damaged files, each by what was done to it (checked in notes()).
DAMAGE = {
    "xc1": "colour type 1 (no such type)",
    "xc9": "colour type 9 (no such type)",
    "xcr": "bad signature: its LF bytes turned into CR (text-mode copy)",
    "xcs": "bad CRC of IDAT",
    "xd0": "bit depth 0",
    "xd3": "bit depth 3",
    "xd9": "bit depth 99",
    "xdt": "no IDAT chunk",
    "xhd": "bad CRC of IHDR",
    "xlf": "bad signature: its CR bytes turned into LF (text-mode copy)",
    "xs1": "bad signature: first byte 09",
    "xs2": "bad signature: second byte 'Q'",
    "xs4": "bad signature: fourth byte 'g'",
    "xs7": "bad signature: seventh byte a space",
}


def chunks(data):
    """(type, body, crc_ok) of every chunk, stopping where the data ends."""
    pos = 8
    while pos + 12 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if len(body) < length or pos + 12 + length > len(data):
            return
        crc = struct.unpack_from(">I", data, pos + 8 + length)[0]
        yield kind, body, zlib.crc32(kind + body) == crc
        pos += 12 + length


def header(data):
    ihdr = next(body for kind, body, _ in chunks(data) if kind == b"IHDR")
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", ihdr)
    return width, height, depth, colour, interlace


def magick_samples(path):
    """ImageMagick's RGBA samples at 16 bits (Q16 keeps every bit)."""
    raw = subprocess.run([CONVERT, path, "-set", "colorspace", "sRGB", "-alpha", "on",
                          "-depth", "16", "-endian", "MSB", "rgba:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    return struct.unpack(">%dH" % (len(raw) // 2), raw)


def reference(path):
    """(tupltype, width, height, samples) of a suite file, decoded by Pillow."""
    data = open(path, "rb").read()
    width, height, depth, colour, _ = header(data)
    trns = next((body for kind, body, _ in chunks(data) if kind == b"tRNS"), None)
    image = Image.open(path)
    image.load()
    assert image.size == (width, height), path
    count = width * height
    if colour == 3:
        if trns is not None:
            return "RGB_ALPHA", width, height, image.convert("RGBA").tobytes()
        return "RGB", width, height, image.convert("RGB").tobytes()
    if colour == 6:
        return "RGB_ALPHA", width, height, image.convert("RGBA").tobytes()
    if colour == 4:
        # Pillow gives grey + alpha as LA, or as RGBA with the grey repeated.
        grey, alpha = image.getchannel(0).tobytes(), image.getchannel(image.mode[-1]).tobytes()
        return "GRAYSCALE_ALPHA", width, height, interleave(grey, alpha)
    if colour == 0:
        if image.mode == "I":  # 16 bits, whole
            values = list(image.getdata())
            grey = bytes(v >> 8 for v in values)
        else:  # 1, 2 and 4 bits come widened to 0..255 (v * 255 / largest)
            values = list(image.convert("L").getdata())
            grey = bytes(values)
        if trns is None:
            return "GRAYSCALE", width, height, grey
        (key,) = struct.unpack(">H", trns[:2])
        if depth < 8:
            key = key * 255 // ((1 << depth) - 1)
        alpha = bytes(0 if v == key else 255 for v in values)
        return "GRAYSCALE_ALPHA", width, height, interleave(grey, alpha)
    assert colour == 2, path
    rgb = image.convert("RGB").tobytes()
    if trns is None:
        return "RGB", width, height, rgb
    key = struct.unpack(">3H", trns[:6])
    if depth == 16:
        # Pillow keeps only the high bytes of 16-bit RGB, and the key is
        # matched on all 16 bits: take the whole samples from ImageMagick.
        samples = magick_samples(path)
        pixels = [tuple(samples[4 * i:4 * i + 3]) for i in range(count)]
    else:
        pixels = [tuple(rgb[3 * i:3 * i + 3]) for i in range(count)]
    alpha = bytes(0 if p == key else 255 for p in pixels)
    return "RGB_ALPHA", width, height, interleave_rgb(rgb, alpha)


def interleave(grey, alpha):
    out = bytearray(2 * len(grey))
    out[0::2], out[1::2] = grey, alpha
    return bytes(out)


def interleave_rgb(rgb, alpha):
    out = bytearray(4 * len(alpha))
    for channel in range(3):
        out[channel::4] = rgb[channel::3]
    out[3::4] = alpha
    return bytes(out)


def magick_reference(path, tupltype):
    """The same rules applied to ImageMagick's decoding."""
    high = bytes(v >> 8 for v in magick_samples(path))
    keep = {"GRAYSCALE": (0,), "GRAYSCALE_ALPHA": (0, 3), "RGB": (0, 1, 2),
            "RGB_ALPHA": (0, 1, 2, 3)}[tupltype]
    return bytes(high[4 * i + c] for i in range(len(high) // 4) for c in keep)


def write_pam(path, tupltype, width, height, samples):
    depth = {"GRAYSCALE": 1, "GRAYSCALE_ALPHA": 2, "RGB": 3, "RGB_ALPHA": 4}[tupltype]
    assert len(samples) == width * height * depth
    with open(path, "wb") as out:
        out.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n"
                  % (width, height, depth, tupltype.encode()))
        out.write(samples)


def note(name, data):
    """What the file tests: its group, then what its chunks hold."""
    if name.startswith("x"):
        return "damaged: " + DAMAGE[name[:3]]
    group = next(text for prefix, text in GROUPS if name.startswith(prefix))
    width, height, depth, colour, interlace = header(data)
    parts = ["%s %d-bit" % (COLOUR_TYPES[colour], depth),
             "Adam7" if interlace else "not interlaced"]
    if width != 32 or height != 32 or name.startswith("s"):
        parts.append("%dx%d" % (width, height))
    found = [kind for kind, _, _ in chunks(data)]
    plain = (b"IHDR", b"IDAT", b"IEND", b"gAMA", b"sBIT") + ((b"PLTE",) if colour == 3 else ())
    extra = [k.decode() for k in dict.fromkeys(found) if k not in plain]
    if colour != 3 and b"PLTE" in found:
        extra[extra.index("PLTE")] = "PLTE (suggested palette)"
    for kind, body, _ in chunks(data):
        if kind == b"gAMA" and name.startswith("g"):
            parts.append("gAMA %.2f" % (struct.unpack(">I", body)[0] / 100000))
        if kind == b"sBIT" and name.startswith("cs"):
            parts.append("sBIT %s" % "/".join(str(b) for b in body))
    if extra:
        parts.append(" ".join(extra))
    if name.startswith("t") and b"tRNS" not in found:
        parts.append("no tRNS: opaque")
    if name.startswith("o"):
        parts.append("%d IDAT chunk%s" % (found.count(b"IDAT"), "s"[:found.count(b"IDAT") > 1]))
    stream = b"".join(body for kind, body, _ in chunks(data) if kind == b"IDAT")
    if name.startswith("z"):
        level = int(name[1:3])
        # Level 0 stores: its first deflate block is of type 0.
        assert (level == 0) == ((stream[2] >> 1) & 3 == 0), name
        parts.append("zlib level %d%s" % (level, " (stored blocks)" if level == 0 else ""))
    if name.startswith("f") and not interlace:
        rows = zlib.decompress(stream)
        stride = 1 + (width * depth * {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour] + 7) // 8
        used = sorted({rows[row * stride] for row in range(height)})
        parts.append("filters " + "+".join(FILTERS[f] for f in used))
    return "%s: %s" % (group, ", ".join(parts))


def check_damage(name, data):
    """The damage each x file is said to have is the damage it has."""
    key = name[:3]
    if key.startswith("xs") or key in ("xcr", "xlf"):
        assert data[:8] != SIGNATURE, name
        return
    assert data[:8] == SIGNATURE, name
    found = {kind: (body, ok) for kind, body, ok in chunks(data)}
    ihdr = found[b"IHDR"][0]
    expected = {"xc1": lambda: ihdr[9] == 1, "xc9": lambda: ihdr[9] == 9,
                "xd0": lambda: ihdr[8] == 0, "xd3": lambda: ihdr[8] == 3,
                "xd9": lambda: ihdr[8] == 99, "xdt": lambda: b"IDAT" not in found,
                "xhd": lambda: not found[b"IHDR"][1],
                "xcs": lambda: not found[b"IDAT"][1]}[key]
    assert expected(), name


def main():
    os.chdir(HERE)
    os.makedirs("references", exist_ok=True)
    for name in os.listdir("references"):
        if name.endswith(".pam"):
            os.remove(os.path.join("references", name))
    lines = ["# file\treference\texpected\tmaxdiff\tnote"]
    mismatches = []
    for name in sorted(n for n in os.listdir(".") if n.endswith(".png")):
        data = open(name, "rb").read()
        if name.startswith("x"):
            check_damage(name, data)
            lines.append("\t".join(["pngsuite/" + name, "-", "refused", "-", note(name, data)]))
            continue
        tupltype, width, height, samples = reference(name)
        width_h, height_h = header(data)[:2]
        if (width, height) != (width_h, height_h):
            sys.exit("%s: reference is %dx%d, IHDR says %dx%d" % (name, width, height,
                                                                 width_h, height_h))
        if magick_reference(name, tupltype) != samples:
            mismatches.append(name)
        pam = "references/" + name[:-4] + ".pam"
        write_pam(pam, tupltype, width, height, samples)
        lines.append("\t".join(["pngsuite/" + name, "pngsuite/" + pam, "shown", "0",
                                note(name, data)]))
    if mismatches:
        sys.exit("Pillow and ImageMagick differ on: " + " ".join(mismatches))
    with open("manifest.tsv", "w") as out:
        out.write("\n".join(lines) + "\n")
    print("%d files, %d references" % (len(lines) - 1, sum(1 for l in lines if "\tshown\t" in l)))


if __name__ == "__main__":
    main()
