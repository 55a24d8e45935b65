// BMP file reading and the description of a BMP file as a grImage2D.
#include "graphics/bmp.h"

#include "graphics/bmp_bitfields.h"
#include "graphics/bmp_flaws.h"
#include "graphics/bmp_header.h"
#include "graphics/bmp_rle.h"
#include "graphics/whole_file.h"

#include "utilities/byteorder.h"

#include <algorithm>
#include <cstdlib>

namespace libgr {

using libutils::intel_byteorder;

const grPixelStore grBmpPixelStore = {false, 4};

namespace {

using bmp::kFileHeaderBytes;
using bmp::kInfoHeaderBytes;
using E = grBmpError;
constexpr uint32_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

// The largest side the reader decodes compressed pixels into: a stream of
// a few bytes may declare any canvas, so its size is capped rather than
// bounded by the file. 16384 is the largest texture side GL offers here
// (Mesa's GL_MAX_TEXTURE_SIZE); the reader has no GL context to ask.
constexpr uint32_t kMaxDecodedSide = 16384;
// And at most this many pixels in all (32 Mi; a 6000 x 4000 camera picture
// has 24 M): a full 16384 x 16384 canvas from a few bytes would cost the
// reader 256 MiB and the GL upload gigabytes more.
constexpr uint64_t kMaxDecodedPixels = uint64_t(1) << 25;

// Rows of a BMP are padded to whole 32-bit words.
uint64_t storedRowBytes(uint64_t width, uint32_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}
uint64_t paddedRowBytes(uint64_t bytes) { return (bytes + 3) / 4 * 4; }

// How the pixels reach the image.
enum class Route {
  shared,     // the file's own bytes (1, 8, 24, 32 bits)
  widened,    // 2 or 4 bits to a byte per pixel
  runLength,  // RLE8, RLE4 to a byte per pixel
  bitFields,  // 16 or 32 bits with masks to BGR or BGRA
};

// Everything checked; nothing changed yet.
struct Plan {
  bmp::Header header;
  Route route = Route::shared;
  uint64_t storedRowBytes = 0;
  uint64_t targetRowBytes = 0;  // decoded routes
  uint32_t masks[4] = {0, 0, 0, 0};
  bool alpha = false;
};

bool isPaletted(uint32_t bitCount) { return bitCount <= 8; }

grBmpProblem planUncompressed(Plan& plan, uint32_t bitsBytes) {
  const bmp::Header& h = plan.header;
  // The rows the header declares must all be in the file.
  plan.storedRowBytes = storedRowBytes(h.width, h.bitCount);
  if (plan.storedRowBytes > bitsBytes / h.height) return {E::truncatedPixels};
  if (h.bitCount == 2 || h.bitCount == 4) {
    plan.route = Route::widened;
    plan.targetRowBytes = paddedRowBytes(h.width);
  } else if (h.bitCount == 16 || h.compression != bmp::kRgb) {
    plan.route = Route::bitFields;
    const bool declared = h.compression != bmp::kRgb;
    std::copy(declared ? h.masks : bmp::kMasks555, (declared ? h.masks : bmp::kMasks555) + 4,
              plan.masks);
    const uint32_t count = h.alphaDeclared ? 4 : 3;
    if (!bmp::masksAreUsable(plan.masks, count, h.bitCount)) return {E::badMasks};
    plan.alpha = h.alphaDeclared && plan.masks[3] != 0;
    plan.targetRowBytes = paddedRowBytes(uint64_t(h.width) * (plan.alpha ? 4 : 3));
  }
  return {};
}

grBmpProblem makePlan(Plan& plan, const unsigned char* file, uint32_t size) {
  if (grBmpProblem p = bmp::parseHeader(file, size, plan.header); p.error != E::none) return p;
  const bmp::Header& h = plan.header;
  if (h.compression == bmp::kRle8 || h.compression == bmp::kRle4) {
    if (h.width > kMaxDecodedSide || h.height > kMaxDecodedSide ||
        uint64_t(h.width) * h.height > kMaxDecodedPixels)
      return {E::canvasTooLarge};
    plan.route = Route::runLength;
    plan.targetRowBytes = paddedRowBytes(h.width);
  } else if (grBmpProblem p = planUncompressed(plan, size - h.bitsOffset); p.error != E::none) {
    return p;
  }
  if (plan.route != Route::shared && plan.targetRowBytes * h.height > UINT32_MAX)
    return {E::canvasTooLarge};
  return {};
}

void reverseRows(unsigned char* pixels, uint64_t rowBytes, uint32_t rows) {
  for (uint32_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    unsigned char* a = pixels + top * rowBytes;
    std::swap_ranges(a, a + rowBytes, pixels + bottom * rowBytes);
  }
}

// One byte per pixel from 2 or 4 bits, the leftmost pixel in the high bits.
void widenIndices(const Plan& plan, const unsigned char* source, unsigned char* target) {
  const bmp::Header& h = plan.header;
  const uint32_t bits = h.bitCount, perByte = 8 / bits, mask = (1u << bits) - 1;
  for (uint32_t row = 0; row < h.height; ++row) {
    const uint32_t storedRow = h.topDown ? h.height - 1 - row : row;
    const unsigned char* in = source + storedRow * plan.storedRowBytes;
    unsigned char* out = target + row * plan.targetRowBytes;
    for (uint32_t x = 0; x < h.width; ++x) {
      const uint32_t shift = 8 - bits * (x % perByte + 1);
      out[x] = (in[x / perByte] >> shift) & mask;
    }
    std::fill(out + h.width, out + plan.targetRowBytes, 0);
  }
}

// Stored 32-bit BI_RGB pixels leave the fourth byte unused (writers put 0
// or anything there): the picture is opaque.
void makeOpaque(unsigned char* rows, uint64_t rowBytes, uint32_t width, uint32_t height) {
  for (uint32_t row = 0; row < height; ++row)
    for (uint32_t x = 0; x < width; ++x) rows[row * rowBytes + 4 * uint64_t(x) + 3] = 255;
}

// Shares the file's pixel bytes, turned upright in place.
void shareFilePixels(grImage2D& image, grBmpFile& file, const Plan& plan) {
  const bmp::Header& h = plan.header;
  if (h.topDown) {
    reverseRows(file.bits.begin(), plan.storedRowBytes, h.height);
    file.infoHeader.at(0)->biHeight = int32_t(intel_byteorder::host32(h.height));
  }
  if (h.bitCount == 32) makeOpaque(file.bits.begin(), plan.storedRowBytes, h.width, h.height);
  image.pixels = file.bits;
}

// Decodes into a fresh buffer; false when an RLE stream runs past the canvas.
bool decodePixels(grImage2D& image, const grBmpFile& file, const Plan& plan) {
  const bmp::Header& h = plan.header;
  ofsvector<unsigned char> decoded;
  decoded.allocate(uint32_t(plan.targetRowBytes * h.height));
  const unsigned char* source = file.bits.begin();
  if (plan.route == Route::widened) {
    widenIndices(plan, source, decoded.begin());
  } else if (plan.route == Route::bitFields) {
    bmp::decodeBitFields({source, plan.storedRowBytes, h.width, h.height, h.topDown, h.bitCount,
                          plan.masks, plan.alpha},
                         decoded.begin(), plan.targetRowBytes);
  } else {
    std::fill(decoded.begin(), decoded.end(), 0);
    const bmp::RleCanvas canvas = {decoded.begin(), h.width, h.height, plan.targetRowBytes};
    if (!bmp::decodeRle(source, file.bits.size(), h.compression == bmp::kRle4, canvas))
      return false;
  }
  image.pixels = decoded;
  return true;
}

void fillMaps(grColorMaps& maps, const unsigned char* file, const bmp::Header& h, uint32_t entries,
              uint32_t used) {
  maps.setSize(entries);
  for (uint32_t j = 0; j < entries; ++j) {
    // 0..255 onto 0..65535; entries past `used` are black.
    const unsigned char* bgr = file + h.paletteOffset + uint64_t(j) * h.paletteEntryBytes;
    *maps.red.at(j) = static_cast<unsigned short>(j < used ? bgr[2] * 257 : 0);
    *maps.green.at(j) = static_cast<unsigned short>(j < used ? bgr[1] * 257 : 0);
    *maps.blue.at(j) = static_cast<unsigned short>(j < used ? bgr[0] * 257 : 0);
  }
}

// The pixel description and colour maps: palette pictures index maps of
// 2^bits entries (GL accepts power-of-two maps only), the first biClrUsed
// (or all) from the palette and black after them; longer palettes are cut.
void describePixels(grImage2D& image, const unsigned char* file, const Plan& plan) {
  const bmp::Header& h = plan.header;
  image.componentClass = grClassUnsigned;
  image.depthCode = h.bitCount == 1 ? grDepth1 : grDepth8;
  image.colorMaps.reset();
  if (isPaletted(h.bitCount)) {
    const uint32_t entries = 1u << h.bitCount;
    const uint32_t used = bmp::usedPaletteEntries(h);
    image.layout = h.colorsUsed != 0 || used != 0 ? grLayoutColorIndex : grLayoutLuminance;
    if (used != 0) fillMaps(image.colorMaps, file, h, entries, used);
  } else if (plan.route == Route::bitFields) {
    image.layout = plan.alpha ? grLayoutBGRA : grLayoutBGR;
  } else {
    // No maps from a true-colour file's palette (a hint for palette
    // displays): with maps loaded, GL's colour mapping would pass these
    // pixels through the unloaded R-to-R maps and upload them black.
    image.layout = h.bitCount == 24 ? grLayoutBGR : grLayoutBGRA;
  }
}

}  // namespace

grBmpError readWholeFile(const char* path, uint32_t minBytes, refvector2<unsigned char>& buffer) {
  switch (readFileBytes(path, minBytes, buffer)) {
    case grFileError::none:
      return grBmpError::none;
    case grFileError::notFound:
      return grBmpError::notFound;
    case grFileError::notRegularFile:
      return grBmpError::notRegularFile;
    case grFileError::tooShort:
      return grBmpError::tooShort;
    case grFileError::tooLarge:
      return grBmpError::tooLarge;
    case grFileError::unreadable:
      break;
  }
  return grBmpError::unreadable;
}

bool grBmpFile::read(const char* path) {
  refvector2<unsigned char> buffer;
  const grBmpError error = readWholeFile(path, kHeadersBytes, buffer);
  if (error != grBmpError::none) {
    problem = {error, 0};
    return false;
  }
  return take(buffer);
}

bool grBmpFile::take(const refvector2<unsigned char>& buffer) {
  const uint32_t fileSize = buffer.storageBytes();
  if (fileSize < kHeadersBytes) {
    problem = {grBmpError::tooShort, 0};
    return false;
  }
  problem = {};
  flaw = {};

  fileHeader.view(buffer, 0, 1);
  infoHeader.view(buffer, kFileHeaderBytes, 1);

  const uint32_t offBits = intel_byteorder::host32(fileHeader.at(0)->bfOffBits);
  const uint32_t infoSize = intel_byteorder::host32(infoHeader.at(0)->biSize);
  const uint32_t bitsStart = std::min(offBits, fileSize);
  // Later header versions are longer: the palette follows the whole header.
  const uint64_t declaredPaletteStart =
      infoSize >= kInfoHeaderBytes ? uint64_t(kFileHeaderBytes) + infoSize : kHeadersBytes;
  const uint32_t paletteStart = uint32_t(std::min<uint64_t>(declaredPaletteStart, fileSize));
  const uint32_t paletteEntries =
      bitsStart > paletteStart ? (bitsStart - paletteStart) / sizeof(tagRGBQUAD) : 0;
  palette.view(buffer, paletteStart, paletteEntries);
  bits.view(buffer, bitsStart, ofsvector<unsigned char>::toEnd);
  return true;
}

namespace {

grBmpProblem describeFile(grImage2D& image, grBmpFile& file) {
  file.flaw = {};
  if (file.fileHeader.empty() || file.infoHeader.empty()) return {E::notRead};
  ofsvector<unsigned char> whole;
  whole.view(file.fileHeader, 0, ofsvector<unsigned char>::toEnd);
  Plan plan;
  if (grBmpProblem p = makePlan(plan, whole.begin(), whole.size()); p.error != E::none) return p;

  // Everything is checked; from here on the buffer may change (upright
  // rows, opaque alpha), and the image is built apart from the caller's.
  grImage2D described;
  if (plan.route == Route::shared) {
    shareFilePixels(described, file, plan);
  } else if (!decodePixels(described, file, plan)) {
    return {E::rlePastCanvas};
  }
  describePixels(described, whole.begin(), plan);
  described.width = int32_t(plan.header.width);
  described.height = int32_t(plan.header.height);
  described.compressed = false;
  // Rows as stored or decoded (4-byte padding, no skips).
  described.pixelStore = &grBmpPixelStore;
  described.unpack = grUnpack2D{};
  file.flaw = bmp::findFlaw(whole.begin(), whole.size(), plan.header, described);
  image = described;
  return {};
}

}  // namespace

bool bmpToImage(grImage2D& image, grBmpFile& file) {
  file.problem = describeFile(image, file);
  return file.problem.error == grBmpError::none;
}

}  // namespace libgr
