// Image records: colour maps and the sizing operations of grImage2D.
#include "graphics/image.h"

namespace libgr {

const grPixelStore grPackedPixelStore = {false, 1};

bool allocatePixelStorage(refvector2<unsigned char>& pixels, uint64_t bytes) {
  return bytes <= UINT32_MAX && pixels.allocate(uint32_t(bytes));
}

void grColorMaps::reset() {
  count = 0;
  red.clear();
  green.clear();
  blue.clear();
}

bool grColorMaps::setSize(uint32_t n) {
  count = n;
  red.resize(n);
  green.resize(n);
  blue.resize(n);
  return n != 0;
}

uint32_t grImage2D::bitsPerPixel() const {
  if (grIsPackedDepth(depthCode)) return grDepthBits(depthCode);
  return grLayoutComponents(layout) * grDepthBits(depthCode);
}

int32_t grImage2D::effectiveRowLength() const {
  return unpack.rowLength != 0 ? unpack.rowLength : width;
}

uint64_t grImage2D::rowBits() const { return width > 0 ? uint64_t(bitsPerPixel()) * width : 0; }

uint64_t grImage2D::rowBytes() const {
  const int32_t pixelsPerRow = effectiveRowLength();
  const uint64_t bits = pixelsPerRow > 0 ? uint64_t(bitsPerPixel()) * pixelsPerRow : 0;
  uint64_t bytes = (bits + 7) / 8;
  if (pixelStore && pixelStore->alignment > 0) {
    const uint64_t alignment = uint64_t(pixelStore->alignment);
    bytes = (bytes + alignment - 1) / alignment * alignment;
  }
  return bytes;
}

bool grImage2D::allocatePixels() {
  const int64_t rows = int64_t(unpack.skipRows) + height;
  if (rows < 0) return false;
  const uint64_t bytes = uint64_t(rows) * rowBytes();
  if (bytes > UINT32_MAX) return false;
  return pixels.allocate(uint32_t(bytes), nullptr, 1, 0, false);
}

void grImage2D::releasePixels() { pixels.clear(); }

bool grImage2D::sameDescription(const grImage2D& a, const grImage2D& b) {
  return a.layout == b.layout && a.componentClass == b.componentClass && a.depthCode == b.depthCode;
}

}  // namespace libgr
