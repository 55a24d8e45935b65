#!/usr/bin/python3
"""Writes the colour-managed pictures of this folder: two small source
pictures of our own, converted into a number of ICC profiles and stored with
the profile embedded as JPEG, PNG and BMP V5 files would carry it, plus files
whose profile is damaged or unusable, and for each file the pixels a reader
should show on an sRGB screen, made by two independent tools.

Run from anywhere: tests/data/profiles/make.py  (needs python3-pil,
ImageMagick's convert, exiftool, colord-data, icc-profiles-free and
libgs-common). It rewrites the folder's pictures, source/, ref/ and
manifest.tsv.

Every conversion is relative colorimetric, with black point compensation for
the CMYK profile (as photo editors convert print pictures for screens) and
without it for the others,
8 bits a sample. The pixels of a file are the source converted from sRGB
INTO the file's profile, so that a reader that honours the profile shows the
source again. The managed reference is Pillow's (lcms2) conversion of the
file's decoded pixels from the embedded profile to lcms2's built-in sRGB;
ImageMagick makes the same conversion from the file itself, and the largest
difference between the two, plus 2, is the tolerance in manifest.tsv. The
unmanaged reference is the decoded pixels as they stand, shown as sRGB.
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image, ImageCms

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = os.environ.get("CONVERT", "convert")
EXIFTOOL = os.environ.get("EXIFTOOL", "exiftool")
WIDTH, HEIGHT = 48, 32
RELATIVE = 1  # INTENT_RELATIVE_COLORIMETRIC, by value: Pillow renames it
# Black point compensation, for conversions to and from CMYK only.
BPC = ImageCms.FLAGS["BLACKPOINTCOMPENSATION"]
FOLDER = "profiles"  # this folder's name under tests/data/, for manifest paths

# The profiles embedded, by short name: the Debian package and file each is
# copied from, unchanged. README.md gives their licences.
COLORD = "/usr/share/color/icc/colord/"
PROFILES = {
    "adobergb": ("colord-data", COLORD + "AdobeRGB1998.icc"),
    "prophoto": ("colord-data", COLORD + "ProPhotoRGB.icc"),
    "widegamut": ("colord-data", COLORD + "WideGamutRGB.icc"),
    "srgb": ("colord-data", COLORD + "sRGB.icc"),
    "swapped": ("colord-data", COLORD + "SwappedRedAndGreen.icc"),
    "grey": ("icc-profiles-free", "/usr/share/color/icc/Gray-CIE_L.icc"),
    "cmyk": ("libgs-common", "/usr/share/color/icc/ghostscript/default_cmyk.icc"),
    # A small CMYK profile, only ever put on pixels it does not fit.
    "cmyk-small": ("libgs-common", "/usr/share/color/icc/ghostscript/ps_cmyk.icc"),
}
RGB_PROFILES = ["adobergb", "prophoto", "widegamut", "srgb", "swapped"]

# The screen: lcms2's own sRGB, the one a reader gets from cmsCreate_sRGBProfile.
SCREEN = ImageCms.createProfile("sRGB")


# ---------------------------------------------------------------- sources

def hue(h):
    """Fully saturated colour of hue h in [0, 1)."""
    sector, f = divmod(h * 6, 1)
    up, down = round(255 * f), round(255 * (1 - f))
    return [(255, up, 0), (down, 255, 0), (0, 255, up), (0, down, 255), (up, 0, 255),
            (255, 0, down)][int(sector)]


def colour_source():
    """8 x 8 blocks (JPEG's own blocks, so each keeps its colour) of primaries
    and secondaries, neutrals, and everyday colours; then a grey ramp and a
    hue ramp a pixel a step."""
    bands = [
        [(255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 255, 255), (255, 0, 255), (255, 255, 0)],
        [(0, 0, 0), (50, 50, 50), (100, 100, 100), (150, 150, 150), (200, 200, 200),
         (255, 255, 255)],
        [(224, 172, 140), (90, 150, 220), (60, 120, 40), (250, 140, 20), (120, 40, 160),
         (120, 20, 30)],
    ]
    image = Image.new("RGB", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if y < 24:
                colour = bands[y // 8][x // 8]
            elif y < 28:
                v = round(x * 255 / (WIDTH - 1))
                colour = (v, v, v)
            else:
                colour = hue(x / WIDTH)
            image.putpixel((x, y), colour)
    return image


def grey_source():
    """Grey blocks from black to white, then a rising and a falling ramp."""
    levels = [0, 16, 32, 64, 96, 128, 160, 192, 224, 240, 250, 255]
    image = Image.new("RGB", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if y < 16:
                v = levels[(y // 8) * 6 + x // 8]
            elif y < 24:
                v = round(x * 255 / (WIDTH - 1))
            else:
                v = 255 - round(x * 255 / (WIDTH - 1))
            image.putpixel((x, y), (v, v, v))
    return image


# ---------------------------------------------------------------- helpers

def run(args, **kwargs):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, **kwargs).stdout


def profile_bytes(name):
    return open(PROFILES[name][1], "rb").read()


def cms(data):
    return ImageCms.ImageCmsProfile(io.BytesIO(data))


def into(source, name, mode):
    """The source (sRGB) converted into profile `name`, `mode` pixels."""
    return ImageCms.profileToProfile(source, SCREEN, cms(profile_bytes(name)), RELATIVE,
                                     outputMode=mode, flags=BPC if mode == "CMYK" else 0)


def write_pam(image, path):
    rgb = image.convert("RGB")
    with open(path, "wb") as out:
        out.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n"
                  % rgb.size)
        out.write(rgb.tobytes())


def unmanaged(decoded):
    """The decoded samples shown as they stand: grey as R = G = B, CMYK by the
    plain formula R = (255 - C)(255 - K) / 255 (Pillow's), after the Adobe
    inversion is undone."""
    return decoded.convert("RGB")


def jpeg_bytes(image, **options):
    out = io.BytesIO()
    # 4:4:4 and a high quality: the pixels stay near the source, so a wrong
    # conversion stands out from the compression error.
    image.save(out, "JPEG", quality=95, subsampling=0, **options)
    return out.getvalue()


def png_bytes(image, **options):
    out = io.BytesIO()
    image.save(out, "PNG", **options)
    return out.getvalue()


def jpeg_segments(data):
    """(marker, payload) of each segment before the scan."""
    assert data[:2] == b"\xff\xd8"
    pos, segments = 2, []
    while True:
        marker = data[pos + 1]
        length = struct.unpack_from(">H", data, pos + 2)[0]
        segments.append((marker, data[pos + 4:pos + 2 + length]))
        if marker == 0xDA:
            return segments
        pos += 2 + length


def jpeg_icc_chunks(data):
    """(sequence number, count, bytes) of each APP2 ICC_PROFILE segment, in
    file order."""
    return [(p[12], p[13], p[14:]) for m, p in jpeg_segments(data)
            if m == 0xE2 and p[:12] == b"ICC_PROFILE\0"]


def jpeg_with_chunks(image, chunks):
    """A JPEG of `image` with the given APP2 ICC_PROFILE segments, each
    (sequence number, count, bytes), right after the JFIF APP0 segment."""
    data = jpeg_bytes(image)
    assert data[2:4] == b"\xff\xe0"
    after_app0 = 4 + struct.unpack_from(">H", data, 4)[0]
    segments = b"".join(b"\xff\xe2" + struct.pack(">H", 2 + 14 + len(chunk)) +
                        b"ICC_PROFILE\0" + bytes([seq, count]) + chunk
                        for seq, count, chunk in chunks)
    return data[:after_app0] + segments + data[after_app0:]


def split(profile, parts):
    size = -(-len(profile) // parts)
    return [profile[i:i + size] for i in range(0, len(profile), size)]


def png_with_chunks(image, chunks):
    """A PNG of `image` with extra (type, data) chunks right after IHDR."""
    data = png_bytes(image)
    assert data[12:16] == b"IHDR"
    after_ihdr = 8 + 12 + 13
    extra = b"".join(struct.pack(">I", len(body)) + kind + body +
                     struct.pack(">I", zlib.crc32(kind + body))
                     for kind, body in chunks)
    return data[:after_ihdr] + extra + data[after_ihdr:]


LCS = {"MBED": 0x4D424544, "LINK": 0x4C494E4B, "sRGB": 0x73524742}


def bmp_v5(image, cs_type, profile=b"", profile_size=None, profile_first=False):
    """A BMP with a 124-byte V5 header, 24-bit BI_RGB rows bottom-up, and
    `profile` (a profile, or for LINK a file name) after the pixels, where
    writers put it, or with profile_first between the header and the
    pixels. bV5ProfileData counts from the start of the info header;
    profile_size overrides bV5ProfileSize (to claim more bytes than the file
    holds)."""
    width, height = image.size
    stride = (width * 3 + 3) // 4 * 4
    rows = b""
    for y in range(height - 1, -1, -1):
        row = b"".join(bytes((b, g, r)) for r, g, b in
                       (image.getpixel((x, y)) for x in range(width)))
        rows += row + b"\0" * (stride - len(row))
    padded = profile + b"\0" * (-len(profile) % 4)
    if profile_first:
        profile_at, pixels_at = 124, 14 + 124 + len(padded)
        after_header = padded + rows
    else:
        profile_at, pixels_at = 124 + len(rows), 14 + 124
        after_header = rows + padded
    profile_at = profile_at if profile else 0
    header = struct.pack("<IiiHHIIiiII", 124, width, height, 1, 24, 0, len(rows), 2835, 2835,
                         0, 0)
    header += b"\0" * 16  # no bit masks: BI_RGB
    header += struct.pack("<I", LCS[cs_type]) + b"\0" * 36 + b"\0" * 12  # end points, gamma
    header += struct.pack("<IIII", 2,  # LCS_GM_GRAPHICS: relative colorimetric
                          profile_at, len(profile) if profile_size is None else profile_size, 0)
    assert len(header) == 124
    body = header + after_header
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, pixels_at) + body


def bmp_profile(data):
    """(bV5CSType, bytes the header's profile fields point at) of a V5 BMP."""
    assert struct.unpack_from("<I", data, 14)[0] == 124
    cs_type = struct.unpack_from("<I", data, 14 + 56)[0]
    at, size = struct.unpack_from("<II", data, 14 + 112)
    return cs_type, data[14 + at:14 + at + size]


def exiftool_profile(path):
    return run([EXIFTOOL, "-b", "-ICC_Profile", path])


def magick_samples(args, channels):
    raw = run([CONVERT] + args + ["-depth", "8", channels + ":-"], stderr=subprocess.DEVNULL)
    mode = {"rgb": "RGB", "gray": "L", "cmyk": "CMYK"}[channels]
    return Image.frombytes(mode, (WIDTH, HEIGHT), raw)


def max_difference(a, b):
    return max(abs(x - y) for x, y in zip(a.convert("RGB").tobytes(),
                                          b.convert("RGB").tobytes()))


def mean_difference(a, b):
    pairs = list(zip(a.convert("RGB").tobytes(), b.convert("RGB").tobytes()))
    return sum(abs(x - y) for x, y in pairs) / len(pairs)


# ---------------------------------------------------------------- the files

def files(colour, grey, cmyk_source):
    """(file name, bytes, embedded profile or None, outcome, note, source
    name) of every file."""
    out = []
    converted = {name: into(colour, name, "RGB") for name in RGB_PROFILES}
    adobe = converted["adobergb"]
    adobe_profile = profile_bytes("adobergb")
    with tempfile.TemporaryDirectory() as tmp:
        for name in RGB_PROFILES:
            profile = profile_bytes(name)
            what = "%s profile (%s)" % (name, os.path.basename(PROFILES[name][1]))
            out.append(("jpeg-%s.jpg" % name, jpeg_bytes(converted[name], icc_profile=profile),
                        profile, "converted", "APP2, one segment: " + what, "colour"))
            out.append(("png-%s.png" % name, png_bytes(converted[name], icc_profile=profile),
                        profile, "converted", "iCCP: " + what, "colour"))
            # ImageMagick's BMP writer: V5 header, bV5CSType MBED and the
            # profile after the pixels (-profile on a picture without one
            # only attaches it).
            ppm = os.path.join(tmp, name + ".ppm")
            bmp = os.path.join(tmp, name + ".bmp")
            converted[name].save(ppm)
            run([CONVERT, ppm, "-profile", PROFILES[name][1], bmp])
            out.append(("bmp-%s.bmp" % name, open(bmp, "rb").read(), profile, "converted",
                        "V5 MBED, written by ImageMagick (profile after the pixels): " + what,
                        "colour"))
        # No colour information in the BMP but ImageMagick's bV5CSType sRGB.
        ppm = os.path.join(tmp, "plain.ppm")
        colour.save(ppm)
        run([CONVERT, ppm, os.path.join(tmp, "plain.bmp")])
        out.append(("bmp-cstype-srgb.bmp", open(os.path.join(tmp, "plain.bmp"), "rb").read(),
                    None, "srgb", "V5, bV5CSType 'sRGB' (ImageMagick's default): nothing to do",
                    "colour"))

    out.append(("bmp-own-adobergb.bmp", bmp_v5(adobe, "MBED", adobe_profile), adobe_profile,
                "converted", "V5 MBED written by make.py: no bit masks, bV5Intent "
                "LCS_GM_GRAPHICS, profile after the pixels", "colour"))
    out.append(("bmp-profile-first.bmp", bmp_v5(adobe, "MBED", adobe_profile,
                                                profile_first=True),
                adobe_profile, "converted", "V5 MBED written by make.py with the profile "
                "between the header and the pixels (bV5ProfileData 124, bfOffBits after it)",
                "colour"))

    grey_pixels = into(grey, "grey", "L")
    grey_profile = profile_bytes("grey")
    out.append(("jpeg-grey.jpg", jpeg_bytes(grey_pixels, icc_profile=grey_profile),
                grey_profile, "converted", "one-channel JPEG, grey profile (Gray-CIE_L.icc, "
                "L* tone curve)", "grey"))
    out.append(("png-grey.png", png_bytes(grey_pixels, icc_profile=grey_profile), grey_profile,
                "converted", "grey PNG (colour type 0), grey profile (Gray-CIE_L.icc, L* tone "
                "curve)", "grey"))

    cmyk_pixels = into(cmyk_source, "cmyk", "CMYK")
    cmyk_profile = profile_bytes("cmyk")
    out.append(("jpeg-cmyk.jpg", jpeg_bytes(cmyk_pixels, icc_profile=cmyk_profile),
                cmyk_profile, "converted", "CMYK, Adobe APP14 (transform 0), samples stored "
                "inverted; profile of 187484 bytes in 3 APP2 segments (default_cmyk.icc)",
                "colour-cmyk"))

    chunks = split(adobe_profile, 5)
    in_order = [(i + 1, 5, c) for i, c in enumerate(chunks)]
    out.append(("jpeg-split5.jpg", jpeg_with_chunks(adobe, in_order), adobe_profile,
                "converted", "adobergb profile split by make.py over 5 APP2 segments, in order",
                "colour"))
    shuffled = [in_order[i] for i in (2, 0, 4, 1, 3)]
    out.append(("jpeg-split5-shuffled.jpg", jpeg_with_chunks(adobe, shuffled), adobe_profile,
                "converted", "adobergb profile over 5 APP2 segments in the order 3 1 5 2 4: "
                "the sequence numbers tell the order", "colour"))

    # Damaged or unusable: shown as they stand.
    cut = adobe_profile[:len(adobe_profile) // 2]
    out.append(("jpeg-cut.jpg", jpeg_bytes(adobe, icc_profile=cut), None, "unused",
                "profile cut to its first %d of %d bytes (header size says %d)"
                % (len(cut), len(adobe_profile), len(adobe_profile)), "colour"))
    out.append(("png-cut.png", png_bytes(adobe, icc_profile=cut), None, "unused",
                "iCCP holds the profile's first %d of %d bytes" % (len(cut), len(adobe_profile)),
                "colour"))
    out.append(("jpeg-chunk-missing.jpg", jpeg_with_chunks(adobe, in_order[:2] + in_order[3:]),
                None, "unused", "APP2 segments 1 2 4 5 of 5: segment 3 missing", "colour"))
    out.append(("jpeg-rgb-cmyk-profile.jpg",
                jpeg_bytes(colour, icc_profile=profile_bytes("cmyk-small")), None, "unused",
                "RGB JPEG carrying a CMYK profile (ps_cmyk.icc): wrong colour space", "colour"))
    out.append(("png-grey-rgb-profile.png", png_bytes(grey.convert("L"),
                                                      icc_profile=adobe_profile),
                None, "unused", "grey PNG carrying an RGB profile: wrong colour space", "grey"))
    junk = b"This is not an ICC profile, only some text standing where one would be. " * 4
    out.append(("jpeg-not-profile.jpg", jpeg_bytes(colour, icc_profile=junk), None, "unused",
                "APP2 ICC_PROFILE holding %d bytes of text" % len(junk), "colour"))
    out.append(("png-not-profile.png", png_bytes(colour, icc_profile=junk), None, "unused",
                "iCCP holding %d bytes of text" % len(junk), "colour"))
    out.append(("bmp-linked.bmp", bmp_v5(adobe, "LINK", b"AdobeRGB1998.icc\0"), None, "unused",
                "V5 LINK: profile data is a file name (AdobeRGB1998.icc), never opened",
                "colour"))
    out.append(("bmp-profile-past-end.bmp",
                bmp_v5(adobe, "MBED", adobe_profile[:4096], profile_size=len(adobe_profile)),
                None, "unused", "V5 MBED whose bV5ProfileSize (%d) runs past the end of the file"
                % len(adobe_profile), "colour"))
    out.append(("png-srgb-chunk.png", png_with_chunks(colour, [(b"sRGB", b"\0")]), None, "srgb",
                "sRGB chunk (perceptual), no iCCP: nothing to do", "colour"))
    chrm = struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)
    out.append(("png-gama-chrm.png",
                png_with_chunks(colour, [(b"gAMA", struct.pack(">I", 100000)),
                                         (b"cHRM", chrm)]),
                None, "unused", "gAMA 1.0 and sRGB's cHRM only: not a profile, shown as it "
                "stands", "colour"))
    out.append(("jpeg-no-profile.jpg", jpeg_bytes(colour), None, "srgb",
                "no colour information: taken as sRGB", "colour"))
    return out


def embedded_profile(name, data):
    """The profile as the file's own container holds it, found here by
    reading the bytes back (not from what was meant to be written)."""
    if name.endswith(".jpg"):
        chunks = sorted(jpeg_icc_chunks(data))
        return b"".join(c for _, _, c in chunks) if chunks else None
    if name.endswith(".png"):
        return Image.open(io.BytesIO(data)).info.get("icc_profile")
    cs_type, profile = bmp_profile(data)
    return profile if cs_type == LCS["MBED"] else None


def lcms_verdict(profile, decoded):
    """What lcms2 makes of a damaged profile on its own: a reader that
    leaves the checking to it may convert with a broken profile."""
    try:
        opened = cms(profile)
    except (OSError, ImageCms.PyCMSError):
        return "lcms2 refuses the profile"
    try:
        ImageCms.profileToProfile(decoded, opened, SCREEN, RELATIVE, outputMode="RGB")
    except ImageCms.PyCMSError:
        return "lcms2 opens the profile but builds no transform"
    return "lcms2 opens the profile AND converts with it: the reader must check it first"


def main():
    os.chdir(HERE)
    for folder in ("source", "ref"):
        shutil.rmtree(folder, ignore_errors=True)
        os.mkdir(folder)
    for name in os.listdir("."):
        if name.endswith((".jpg", ".png", ".bmp")) or name == "manifest.tsv":
            os.remove(name)
    colour = colour_source()
    # The colour source brought into the printer's gamut (a round trip
    # through the CMYK profile): the saturated sRGB colours it cannot hold
    # would otherwise hide how near the managed CMYK file comes.
    cmyk_source = ImageCms.profileToProfile(into(colour, "cmyk", "CMYK"),
                                            cms(profile_bytes("cmyk")), SCREEN, RELATIVE,
                                            outputMode="RGB", flags=BPC)
    sources = {"colour": colour, "grey": grey_source(), "colour-cmyk": cmyk_source}
    for name, image in sources.items():
        write_pam(image, "source/%s.pam" % name)

    screen = tempfile.NamedTemporaryFile(suffix=".icc")
    screen.write(ImageCms.ImageCmsProfile(SCREEN).tobytes())
    screen.flush()

    rows, failures = [], []
    for name, data, profile, outcome, note, source in files(
            sources["colour"], sources["grey"], sources["colour-cmyk"]):
        with open(name, "wb") as out:
            out.write(data)
        decoded = Image.open(name)
        decoded.load()
        channels = {"RGB": "rgb", "L": "gray", "CMYK": "cmyk"}[decoded.mode]
        # ImageMagick's own decoding must match Pillow's (the same libjpeg
        # underneath), or the unmanaged reference would depend on the reader.
        try:
            # ImageMagick reads a PNG with gAMA 1.0 as linear RGB and turns it
            # into sRGB on the way out: the samples as they stand are wanted.
            magick_raw = magick_samples([name] + (["-set", "colorspace", "sRGB"]
                                                  if name.endswith(".png") else []), channels)
        except subprocess.CalledProcessError:
            magick_raw = None  # ImageMagick refuses the file: Pillow's decoding stands
        if magick_raw is not None and magick_raw.tobytes() != decoded.tobytes():
            failures.append("%s: ImageMagick decodes other samples than Pillow" % name)
        stem = name.rsplit(".", 1)[0]
        plain = unmanaged(decoded)
        write_pam(plain, "ref/%s.unmanaged.pam" % stem)
        plain_path = "%s/ref/%s.unmanaged.pam" % (FOLDER, stem)

        if outcome == "converted":
            # The profile must come back out of the file byte for byte, read
            # by make.py's own parsing and by exiftool.
            if embedded_profile(name, data) != profile:
                failures.append("%s: the embedded profile does not read back" % name)
            if exiftool_profile(name) != profile:
                failures.append("%s: exiftool reads another profile" % name)
            inks = decoded.mode == "CMYK"
            managed = ImageCms.profileToProfile(decoded, cms(profile), SCREEN, RELATIVE,
                                                outputMode="RGB", flags=BPC if inks else 0)
            intent = ["-intent", "Relative"] + (["-black-point-compensation"] if inks else [])
            # ImageMagick from the file, taking the profile it finds there;
            # where it finds another one (it joins APP2 segments in file
            # order), from the decoded samples and the profile given to it.
            found = subprocess.run([CONVERT, name, "icc:-"], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL).stdout
            if found == profile:
                how = "file"
                magick = magick_samples([name] + intent + ["-profile", screen.name],
                                        "rgb")
            else:
                how = "samples"
                with tempfile.TemporaryDirectory() as tmp:
                    raw = os.path.join(tmp, "pixels.raw")
                    icc = os.path.join(tmp, "embedded.icc")
                    open(raw, "wb").write(decoded.tobytes())
                    open(icc, "wb").write(profile)
                    magick = magick_samples(["-size", "%dx%d" % (WIDTH, HEIGHT), "-depth", "8",
                                             "%s:%s" % (channels, raw), "-profile", icc]
                                            + intent + ["-profile", screen.name], "rgb")
            tolerance = max_difference(managed, magick) + 2
            write_pam(managed, "ref/%s.srgb.pam" % stem)
            managed_path = "%s/ref/%s.srgb.pam" % (FOLDER, stem)
            near, far = (mean_difference(managed, sources[source]),
                         mean_difference(plain, sources[source]))
            note += "; mean |managed - source| %.1f, |unmanaged - source| %.1f" % (near, far)
            if how == "samples":
                note += "; ImageMagick converted the decoded samples with the profile given " \
                        "to it (it reads %s)" % ("another profile from the file" if found else
                                                 "no profile from the file")
            # Every profile but sRGB's moves the colours far enough that
            # showing the file unmanaged is visibly wrong.
            if "srgb" not in name and not far > near + 3:
                failures.append("%s: managed (%.1f) not clearly nearer the source than "
                                "unmanaged (%.1f)" % (name, near, far))
        else:
            found = embedded_profile(name, data)
            if found:
                note += "; " + lcms_verdict(found, decoded)
            tolerance = 2 + (0 if magick_raw is None else
                             max_difference(plain, magick_raw.convert("RGB")))
            managed_path = plain_path
        if magick_raw is None:
            note += "; ImageMagick 6.9.11 refuses to read the file"
        rows.append([FOLDER + "/" + name, managed_path, plain_path, str(tolerance), outcome,
                     note, "%s/source/%s.pam" % (FOLDER, source)])

    with open("manifest.tsv", "w") as out:
        out.write("# file\tmanaged\tunmanaged\ttolerance\toutcome\tnote\tsource\n")
        for row in sorted(rows):
            out.write("\t".join(row) + "\n")
    for row in sorted(rows):
        print("%-34s %-9s %3s  %s" % (row[0][len(FOLDER) + 1:], row[4], row[3], row[5]))
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()
