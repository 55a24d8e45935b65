// TIFF decoding with libtiff from memory, held by owners of its handles.
// Samples are read raw (scanlines or tiles) and brought to 8 bits here,
// which keeps unassociated alpha exact, 16-bit samples rounded, CMYK as
// inks and the stored row order; libtiff's RGBA reader serves only the
// photometrics read no other way (YCbCr outside JPEG, CIE L*a*b*, ...).
#include "photo/tiff_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

#include "utilities/byte_fields.h"

namespace libgr {

namespace {

// The most libtiff may allocate at once (a strip, a tile, a tag's values).
constexpr tmsize_t kLargestAllocation = 256 << 20;

// ---------------------------------------------------------------- the file

// The bytes libtiff reads through its client procedures.
struct MemoryFile {
  const unsigned char* data;
  uint64_t size;
  uint64_t at = 0;
};

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (count <= 0 || file->at >= file->size) return 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(count), file->size - file->at);
  std::memcpy(buffer, file->data + file->at, std::size_t(n));
  file->at += n;
  return tmsize_t(n);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) { return 0; }

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  const uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
  // Offsets are unsigned: a negative one wraps round; past the end is kept,
  // as a file allows, and reads there give nothing.
  file->at = base + offset;
  return file->at;
}

int closeNothing(thandle_t) { return 0; }
toff_t sizeOf(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }
// Not mapped: read through readBytes, libtiff loads a strip piece by piece,
// so the rows before a cut still decode.
int mapNothing(thandle_t, void**, toff_t*) { return 0; }
void unmapNothing(thandle_t, void*, toff_t) {}

// What libtiff reports about one file, counted, never printed.
struct Messages {
  int errors = 0;
};

int countError(TIFF*, void* user, const char*, const char*, va_list) {
  ++static_cast<Messages*>(user)->errors;
  return 1;  // handled: the global handlers are not called
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsRelease {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffRelease {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct RgbaRelease {
  void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffRelease>;

TiffHandle openFromMemory(MemoryFile& file, Messages& messages) {
  std::unique_ptr<TIFFOpenOptions, OptionsRelease> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kLargestAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), countError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, &messages);
  // "m": never map; libtiff copies the options it needs.
  return TiffHandle(TIFFClientOpenExt("photo", "rm", &file, readBytes, writeNothing, seekTo,
                                      closeNothing, sizeOf, mapNothing, unmapNothing,
                                      options.get()));
}

// Whether a file libtiff cannot open ends inside its first directory (or
// before it, when the directory lies not far past the end: libtiff's
// writers put it after the pixels), rather than holding garbage.
bool directoryCut(const unsigned char* b, std::size_t n) {
  const bool big = b[2] == 43 || b[3] == 43;
  const bool little = b[0] == 'I';
  const auto field = [&](uint64_t at, int bytes) -> uint64_t {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | b[at + uint64_t(little ? bytes - 1 - i : i)];
    return v;
  };
  const std::size_t header = big ? 16 : 8;
  if (n < header) return true;
  const uint64_t offset = big ? field(8, 8) : field(4, 4);
  const unsigned countBytes = big ? 8 : 2;
  // Compared without sums that could wrap: the offset is the file's to say.
  if (offset > n || n - offset < countBytes) return offset <= 16 * uint64_t(n) + (1u << 20);
  const uint64_t entries = field(offset, int(countBytes));
  if (entries >= 4096) return false;
  return entries * (big ? 20 : 12) > n - offset - countBytes;
}

// ---------------------------------------------------------------- the picture

// What each stored sample of a pixel becomes.
enum class Role : uint8_t {
  skip,
  grey,
  red,
  green,
  blue,
  cyan,
  magenta,
  yellow,
  black,
  alpha,
  index
};

struct Picture {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, photometric = 0, planar = PLANARCONFIG_CONTIG;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
  bool minIsWhite = false, associated = false;
  std::vector<Role> roles;  // one a sample
  uint32_t layout = grLayoutRGB, channels = 3;
  bool cmyk = false;
  std::vector<std::array<unsigned char, 3>> palette;
};

template <typename T>
T field(TIFF* tif, uint32_t tag, T fallback) {
  T value = fallback;
  return TIFFGetFieldDefaulted(tif, tag, &value) == 1 ? value : fallback;
}

// The alpha among the extra samples (those after the colour samples): the
// first marked associated or unassociated. An unspecified one counts as
// associated alpha after RGB, as libtiff takes it.
int alphaSample(TIFF* tif, const Picture& p, uint16_t colours) {
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 1 || !kinds) return -1;
  for (uint16_t i = 0; i < count && colours + i < p.samples; ++i)
    if (kinds[i] == EXTRASAMPLE_ASSOCALPHA || kinds[i] == EXTRASAMPLE_UNASSALPHA ||
        (kinds[i] == EXTRASAMPLE_UNSPECIFIED && colours == 3))
      return kinds[i] == EXTRASAMPLE_UNASSALPHA ? -(colours + i) - 2 : colours + i;
  return -1;
}

// The palette in 8 bits. Old writers stored 8-bit values in the 16-bit
// colour map; a map with no value over 255 is taken as theirs.
bool readPalette(TIFF* tif, Picture& p) {
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (p.bits > 8 || TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || !red)
    return false;
  const std::size_t count = std::size_t(1) << p.bits;
  bool eightBit = true;
  for (std::size_t i = 0; i < count; ++i)
    eightBit = eightBit && std::max({red[i], green[i], blue[i]}) < 256;
  const auto narrow = [eightBit](uint16_t v) {
    return (unsigned char)(eightBit ? v : (v + 128) / 257);
  };
  p.palette.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    p.palette[i] = {narrow(red[i]), narrow(green[i]), narrow(blue[i])};
  return true;
}

// Fills in the roles and the layout the picture is decoded into; false for
// a kind of picture the raw path does not read.
bool describeRaw(TIFF* tif, Picture& p) {
  const bool integer = p.sampleFormat == SAMPLEFORMAT_UINT && p.bits >= 1 && p.bits <= 16;
  const bool floating = p.sampleFormat == SAMPLEFORMAT_IEEEFP && p.bits == 32;
  if (!integer && !floating) return false;
  std::array<Role, 4> colourRoles{};
  uint16_t colours = 0;
  const auto colourSamples = [&](std::initializer_list<Role> roles) {
    for (Role role : roles) colourRoles[colours++] = role;
  };
  switch (p.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      colourSamples({Role::grey});
      p.minIsWhite = p.photometric == PHOTOMETRIC_MINISWHITE;
      break;
    case PHOTOMETRIC_PALETTE:
      if (!integer || !readPalette(tif, p)) return false;
      colourSamples({Role::index});
      break;
    case PHOTOMETRIC_RGB:
      colourSamples({Role::red, Role::green, Role::blue});
      break;
    case PHOTOMETRIC_SEPARATED:
      if (field<uint16_t>(tif, TIFFTAG_INKSET, INKSET_CMYK) != INKSET_CMYK) return false;
      colourSamples({Role::cyan, Role::magenta, Role::yellow, Role::black});
      p.cmyk = true;
      break;
    default:
      return false;
  }
  if (p.samples < colours) return false;
  p.roles.assign(p.samples, Role::skip);
  for (uint16_t s = 0; s < colours; ++s) p.roles[s] = colourRoles[s];
  const int alpha =
      p.cmyk || p.photometric == PHOTOMETRIC_PALETTE ? -1 : alphaSample(tif, p, colours);
  if (alpha != -1) {
    const int at = alpha >= 0 ? alpha : -alpha - 2;
    p.roles[at] = Role::alpha;
    p.associated = alpha >= 0;
  }
  const bool hasAlpha = alpha != -1;
  if (p.cmyk) {
    p.layout = grLayoutRGBA, p.channels = 4;  // inks in the RGBA places
  } else if (colours == 1 && !hasAlpha && p.photometric != PHOTOMETRIC_PALETTE) {
    p.layout = grLayoutLuminance, p.channels = 1;
  } else {
    p.layout = hasAlpha ? grLayoutRGBA : grLayoutRGB;
    p.channels = hasAlpha ? 4 : 3;
  }
  return true;
}

// ---------------------------------------------------------------- samples

// Sample `i` of a row of packed samples, as it stands (most significant
// bits first; libtiff has put 16-bit samples in this machine's order).
uint32_t rawSample(const unsigned char* row, uint64_t i, uint16_t bits) {
  if (bits == 8) return row[i];
  if (bits == 16) {
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    return v;
  }
  uint64_t bit = i * bits;
  uint32_t v = 0;
  for (uint16_t left = bits; left > 0;) {
    const uint32_t inByte = 8 - uint32_t(bit % 8);
    const uint32_t take = std::min<uint32_t>(inByte, left);
    const uint32_t part = (row[bit / 8] >> (inByte - take)) & ((1u << take) - 1);
    v = (v << take) | part;
    left = uint16_t(left - take);
    bit += take;
  }
  return v;
}

unsigned char eightBits(const Picture& p, const unsigned char* row, uint64_t i) {
  if (p.sampleFormat == SAMPLEFORMAT_IEEEFP) {
    float f;
    std::memcpy(&f, row + 4 * i, 4);
    return std::isnan(f) ? 0 : (unsigned char)std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f);
  }
  const uint32_t v = rawSample(row, i, p.bits);
  if (p.bits == 8) return (unsigned char)v;
  const uint32_t top = (1u << p.bits) - 1;
  return (unsigned char)((v * 255 + top / 2) / top);
}

void put(const Picture& p, Role role, const unsigned char* row, uint64_t i, unsigned char* pixel) {
  switch (role) {
    case Role::skip:
      return;
    case Role::index: {
      const auto& colour =
          p.palette[std::min<std::size_t>(rawSample(row, i, p.bits), p.palette.size() - 1)];
      std::copy(colour.begin(), colour.end(), pixel);
      return;
    }
    case Role::grey: {
      unsigned char v = eightBits(p, row, i);
      if (p.minIsWhite) v = (unsigned char)(255 - v);
      pixel[0] = v;
      if (p.channels >= 3) pixel[1] = pixel[2] = v;
      return;
    }
    case Role::alpha:
      pixel[3] = eightBits(p, row, i);
      return;
    default:  // red to black: channels 0 to 3
      pixel[int(role) - int(Role::red) - (role >= Role::cyan ? 3 : 0)] = eightBits(p, row, i);
      return;
  }
}

// Stored samples one for one in the output channels, in order (no palette,
// no inverted or spread grey), of 8 or 16 bits: rows are copied, or
// narrowed in one loop, rather than sample by sample through their roles.
bool storedInOrder(const Picture& p) {
  if ((p.bits != 8 && p.bits != 16) || p.sampleFormat != SAMPLEFORMAT_UINT || p.minIsWhite ||
      p.planar != PLANARCONFIG_CONTIG || p.samples != p.channels)
    return false;
  for (uint16_t s = 0; s < p.samples; ++s)
    if (p.roles[s] == Role::index || (p.roles[s] == Role::grey && p.channels != 1)) return false;
  return true;
}

void narrowSixteen(const unsigned char* row, std::size_t samples, unsigned char* out) {
  for (std::size_t i = 0; i < samples; ++i) {
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    out[i] = (unsigned char)((uint32_t(v) * 255 + 32767) / 65535);
  }
}

// `count` pixels of stored samples (`plane` alone for separate planes) into
// `out`, the picture's pixels from the segment's first.
void convertSegment(const Picture& p, const unsigned char* row, uint32_t count, int plane,
                    unsigned char* out) {
  if (plane < 0 && storedInOrder(p)) {
    const std::size_t samples = std::size_t(count) * p.channels;
    if (p.bits == 8)
      std::memcpy(out, row, samples);
    else
      narrowSixteen(row, samples, out);
    return;
  }
  const uint32_t perPixel = plane < 0 ? p.samples : 1;
  for (uint32_t x = 0; x < count; ++x)
    for (uint32_t k = 0; k < perPixel; ++k)
      put(p, p.roles[plane < 0 ? k : uint32_t(plane)], row, uint64_t(x) * perPixel + k,
          out + uint64_t(x) * p.channels);
}

// Associated alpha divided out: textures hold straight alpha.
void unpremultiply(unsigned char* pixels, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i, pixels += 4) {
    const unsigned a = pixels[3];
    for (int c = 0; c < 3; ++c)
      pixels[c] = a == 0 ? 0 : (unsigned char)std::min(255u, (pixels[c] * 255 + a / 2) / a);
  }
}

// ---------------------------------------------------------------- reading

// How far the pixel data went: pieces (scanlines or tiles) read and failed.
struct Progress {
  uint64_t done = 0, failed = 0;
};

unsigned char* rowOf(const Picture& p, unsigned char* pixels, uint32_t y) {
  return pixels + uint64_t(p.height - 1 - y) * p.width * p.channels;  // bottom-up
}

void readStrips(TIFF* tif, const Picture& p, unsigned char* pixels, Progress& progress) {
  std::vector<unsigned char> row(static_cast<std::size_t>(TIFFScanlineSize64(tif)));
  const uint32_t rowsPerStrip =
      std::max<uint32_t>(1, field<uint32_t>(tif, TIFFTAG_ROWSPERSTRIP, p.height));
  const bool separate = p.planar == PLANARCONFIG_SEPARATE;
  for (uint16_t plane = 0; plane < (separate ? p.samples : 1); ++plane)
    for (uint32_t y = 0; y < p.height; ++y) {
      if (TIFFReadScanline(tif, row.data(), y, plane) < 0) {
        // On from the next strip: damage may be local.
        ++progress.failed;
        y = std::min(p.height, (y / rowsPerStrip + 1) * rowsPerStrip) - 1;
        continue;
      }
      ++progress.done;
      convertSegment(p, row.data(), p.width, separate ? plane : -1, rowOf(p, pixels, y));
    }
}

bool readTiles(TIFF* tif, const Picture& p, unsigned char* pixels, Progress& progress) {
  const uint32_t tileWidth = field<uint32_t>(tif, TIFFTAG_TILEWIDTH, 0);
  const uint32_t tileHeight = field<uint32_t>(tif, TIFFTAG_TILELENGTH, 0);
  const uint64_t tileBytes = TIFFTileSize64(tif), tileRowBytes = TIFFTileRowSize64(tif);
  if (tileWidth == 0 || tileHeight == 0 || tileBytes == 0 ||
      tileBytes > uint64_t(kLargestAllocation))
    return false;
  std::vector<unsigned char> tile(static_cast<std::size_t>(tileBytes));
  const bool separate = p.planar == PLANARCONFIG_SEPARATE;
  for (uint16_t plane = 0; plane < (separate ? p.samples : 1); ++plane)
    for (uint32_t ty = 0; ty < p.height; ty += tileHeight)
      for (uint32_t tx = 0; tx < p.width; tx += tileWidth) {
        const uint32_t index = TIFFComputeTile(tif, tx, ty, 0, plane);
        if (TIFFReadEncodedTile(tif, index, tile.data(), tmsize_t(tileBytes)) < 0) {
          ++progress.failed;
          continue;
        }
        ++progress.done;
        const uint32_t rows = std::min(tileHeight, p.height - ty);
        const uint32_t count = std::min(tileWidth, p.width - tx);
        for (uint32_t r = 0; r < rows; ++r)
          convertSegment(p, tile.data() + r * tileRowBytes, count, separate ? plane : -1,
                         rowOf(p, pixels, ty + r) + uint64_t(tx) * p.channels);
      }
  return true;
}

// Photometrics only libtiff's RGBA reader turns into colours, into RGBA in
// the stored row order (the Orientation tag is applied later, once).
bool readThroughRgba(TIFF* tif, const Picture& p, unsigned char* pixels, Progress& progress) {
  TIFFRGBAImage image{};
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&image, tif, 0, message)) return false;
  std::unique_ptr<TIFFRGBAImage, RgbaRelease> owner(&image);
  image.orientation = ORIENTATION_TOPLEFT;  // as stored: no flip but bottom-up
  image.req_orientation = ORIENTATION_BOTLEFT;
  auto* raster = reinterpret_cast<uint32_t*>(pixels);
  // Rows before a failure are kept: shown with a flaw.
  progress.done = 1;
  progress.failed = TIFFRGBAImageGet(&image, raster, p.width, p.height) == 1 ? 0 : 1;
  for (uint64_t i = 0, n = uint64_t(p.width) * p.height; i < n; ++i) {
    const uint32_t v = raster[i];
    unsigned char* out = pixels + 4 * i;
    out[0] = (unsigned char)TIFFGetR(v), out[1] = (unsigned char)TIFFGetG(v);
    out[2] = (unsigned char)TIFFGetB(v), out[3] = (unsigned char)TIFFGetA(v);
  }
  if (image.alpha != 0) unpremultiply(pixels, uint64_t(p.width) * p.height);
  return true;
}

// ---------------------------------------------------------------- checks

// The most raw bytes each byte of a file can become, by compression, with
// room to spare: a file declaring more is refused before its pixels are
// allocated. Uncompressed pictures may lose three quarters to a cut and
// still show what is left.
uint64_t expansionOf(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
      return 4;
    case COMPRESSION_PACKBITS:
      return 64;  // 2 bytes for a run of 128
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      return 1100;  // deflate's limit is about 1032
    case COMPRESSION_LZW:
      return 4096;  // a code of 9 to 12 bits stands for at most 4094 bytes
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
      return 2048;  // a few bits at least for every 8 x 8 block
    default:
      return 1u << 16;  // LZMA, Zstandard, ...: generous
  }
}

bool fax(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW ||
         compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
}

bool plausibleSize(const Picture& p, uint64_t fileBytes) {
  // Fax coding spends at least a bit on a row, however wide.
  if (fax(p.compression)) return p.height <= 8 * fileBytes;
  const uint64_t raw = uint64_t(p.width) * p.height * p.samples * p.bits / 8;
  return raw <= expansionOf(p.compression) * fileBytes;
}

// Whether any strip or tile ends past the end of the file.
bool piecesPastEnd(TIFF* tif, uint64_t fileBytes) {
  const uint32_t pieces = TIFFNumberOfStrips(tif);  // tiles in a tiled picture
  for (uint32_t i = 0; i < pieces; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tif, i), count = TIFFGetStrileByteCount(tif, i);
    if (offset > fileBytes || count > fileBytes - offset) return true;
  }
  return false;
}

Picture pictureOf(TIFF* tif) {
  Picture p;
  p.width = field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
  p.height = field<uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
  p.bits = field<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
  p.samples = field<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  p.photometric = field<uint16_t>(tif, TIFFTAG_PHOTOMETRIC, 0xFFFF);
  p.planar = field<uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  p.sampleFormat = field<uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
  if (p.sampleFormat == SAMPLEFORMAT_VOID) p.sampleFormat = SAMPLEFORMAT_UINT;
  p.compression = field<uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  return p;
}

void readColourAndOrientation(TIFF* tif, grDecodedPhoto& out) {
  uint16_t orientation = 1;
  if (TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation) == 1 && orientation >= 1 &&
      orientation <= 8)
    out.orientation = orientation;
  uint32_t size = 0;
  void* profile = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) == 1 && profile && size > 0) {
    const auto* begin = static_cast<const unsigned char*>(profile);
    out.iccProfile.assign(begin, begin + size);
  }
}

}  // namespace

void setUpTiff() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

bool decodeTiff(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem) {
  setUpTiff();
  MemoryFile file{bytes.data, bytes.size};
  Messages messages;
  const TiffHandle tif = openFromMemory(file, messages);
  if (!tif) {
    problem = directoryCut(bytes.data, bytes.size) ? "the file ends early" : "damaged TIFF data";
    return false;
  }
  Picture p = pictureOf(tif.get());
  if (p.width == 0 || p.height == 0 || p.samples == 0) {
    problem = "damaged TIFF data";
    return false;
  }
  if (uint64_t(p.width) * p.height > request.maxPixels) {
    problem = tooManyPixels(p.width, p.height, request.maxPixels);
    return false;
  }
  if (!plausibleSize(p, bytes.size)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }
  // JPEG data of YCbCr pictures is turned into RGB by the codec itself.
  if (p.compression == COMPRESSION_JPEG && p.photometric == PHOTOMETRIC_YCBCR &&
      TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) == 1)
    p.photometric = PHOTOMETRIC_RGB;
  const bool raw = describeRaw(tif.get(), p);
  if (!raw) p.layout = grLayoutRGBA, p.channels = 4, p.cmyk = false;

  refvector2<unsigned char> pixels;
  const uint64_t pixelBytes = uint64_t(p.width) * p.height * p.channels;
  if (!allocateDecodeBlock(pixels, pixelBytes, {p.width, p.height}, request)) {
    problem = "picture too large to decode";
    return false;
  }
  // What no data reaches stays white (no ink), or transparent.
  const bool alpha = p.channels == 4 && !p.cmyk;
  std::memset(pixels.begin(), p.cmyk || alpha ? 0 : 255, std::size_t(pixelBytes));

  Progress progress;
  const bool read = !raw ? readThroughRgba(tif.get(), p, pixels.begin(), progress)
                    : TIFFIsTiled(tif.get())
                        ? readTiles(tif.get(), p, pixels.begin(), progress)
                        : (readStrips(tif.get(), p, pixels.begin(), progress), true);
  if (!read) {
    problem = "TIFF of a kind that is not read (photometric " + std::to_string(p.photometric) +
              ", " + std::to_string(p.bits) + " bits a sample)";
    return false;
  }
  const bool cut = piecesPastEnd(tif.get(), bytes.size);
  if (progress.failed > 0 && progress.done == 0) {
    problem = cut ? "the file ends early" : "damaged TIFF data";
    return false;
  }
  if (progress.failed > 0)
    out.flaw = cut ? "the file ends early" : "its TIFF data is damaged in places";
  if (raw && alpha && p.associated) unpremultiply(pixels.begin(), uint64_t(p.width) * p.height);

  out.storedSize = {p.width, p.height};
  readColourAndOrientation(tif.get(), out);
  out.cmyk = p.cmyk;
  describeDecoded(out.image, pixels, p.width, p.height, p.layout);
  return true;
}

}  // namespace libgr
