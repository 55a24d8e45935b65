// Flaws of accepted BMP files, checked in the order a reader meets them.
#include "graphics/bmp_flaws.h"

#include <algorithm>
#include <cstdlib>

namespace libgr::bmp {
namespace {

using E = grBmpError;

// Above this a resolution is no real device's: 1,000,000 pixels per metre is
// 25,400 dots per inch.
constexpr int64_t kMaxPlausibleDensity = 1000000;

// The core header, any OS/2 2.x size, and the Windows versions.
bool knownHeaderSize(uint32_t size) {
  return size == kCoreHeaderBytes || (size >= 16 && size <= 64) || size == 108 || size == 124;
}

grBmpProblem headerFlaw(const unsigned char* file, uint32_t size, const Header& h) {
  const unsigned char* info = file + kFileHeaderBytes;
  if (!knownHeaderSize(h.headerSize)) return {E::unknownHeaderSize, h.headerSize};
  const uint32_t planes = le16(info + (h.headerSize == kCoreHeaderBytes ? 8 : 12));
  if (planes != 1) return {E::badPlanes, planes};
  const uint32_t declaredFileSize = le32(file + 2);
  if (declaredFileSize > size) return {E::fileSizeMismatch, declaredFileSize};
  if (h.headerSize >= 24) {
    const uint32_t declaredPixelBytes = le32(info + 20);
    if (declaredPixelBytes > size - h.bitsOffset) return {E::imageSizeMismatch, declaredPixelBytes};
  }
  if (h.headerSize >= 32) {
    for (const uint32_t offset : {24u, 28u}) {
      const int32_t density = int32_t(le32(info + offset));
      if (std::llabs(density) > kMaxPlausibleDensity)
        return {E::implausibleResolution, uint32_t(density)};
    }
  }
  if (h.bitCount <= 8 && h.colorsUsed > (1u << h.bitCount))
    return {E::paletteSizeField, h.colorsUsed};
  return {};
}

// The highest palette index the pixels use: one byte per pixel, or bits for
// one-bit pictures, in rows padded to 4 bytes.
uint32_t highestIndex(const grImage2D& image) {
  const uint32_t width = uint32_t(image.width);
  const bool bits = image.depthCode == grDepth1;
  const uint64_t rowBytes = bits ? (uint64_t(width) + 31) / 32 * 4 : (uint64_t(width) + 3) / 4 * 4;
  uint32_t highest = 0;
  for (uint32_t row = 0; row < uint32_t(image.height); ++row) {
    const unsigned char* p = image.pixels.begin() + row * rowBytes;
    for (uint32_t x = 0; x < width; ++x)
      highest = std::max<uint32_t>(highest, bits ? (p[x / 8] >> (7 - x % 8)) & 1 : p[x]);
  }
  return highest;
}

}  // namespace

grBmpProblem findFlaw(const unsigned char* file, uint32_t size, const Header& header,
                      const grImage2D& image) {
  if (grBmpProblem p = headerFlaw(file, size, header); p.error != E::none) return p;
  if (image.layout != grLayoutColorIndex || header.bitCount > 8) return {};
  const uint32_t used = usedPaletteEntries(header);
  if (used < (1u << header.bitCount) && highestIndex(image) >= used)
    return {E::indexPastPalette, used};
  return {};
}

}  // namespace libgr::bmp
