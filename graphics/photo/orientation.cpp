// The eight EXIF orientations as one walk: along each upright row the
// stored pixel moves by a fixed step, so a row is a strided copy.
#include "graphics/photo/orientation.h"

#include <cstring>

namespace libgr {

namespace {

bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Where upright pixel (x, y) comes from in the stored picture, both
// top-down, as start + x * step; stored is ws x hs.
struct SourceWalk {
  int64_t startX, startY, stepX, stepY;
};

SourceWalk walkOfRow(int orientation, int64_t y, int64_t ws, int64_t hs) {
  switch (orientation) {
    case 2:
      return {ws - 1, y, -1, 0};
    case 3:
      return {ws - 1, hs - 1 - y, -1, 0};
    case 4:
      return {0, hs - 1 - y, 1, 0};
    case 5:
      return {y, 0, 0, 1};
    case 6:
      return {y, hs - 1, 0, -1};
    case 7:
      return {ws - 1 - y, hs - 1, 0, -1};
    case 8:
      return {ws - 1 - y, 0, 0, 1};
    default:
      return {0, y, 1, 0};
  }
}

}  // namespace

grPhotoSize uprightSize(grPhotoSize stored, int orientation) {
  return swapsSides(orientation) ? grPhotoSize{stored.height, stored.width} : stored;
}

void applyOrientation(grImage2D& image, int orientation) {
  if (orientation < 2 || orientation > 8 || image.width <= 0 || image.height <= 0) return;
  const int64_t ws = image.width, hs = image.height;
  const grPhotoSize upright =
      uprightSize({uint32_t(image.width), uint32_t(image.height)}, orientation);
  const int64_t wu = upright.width, hu = upright.height;
  const std::size_t bpp = decodedPixelBytes(image);
  if (bpp == 0 || image.pixels.size() < uint64_t(ws) * uint64_t(hs) * bpp) return;

  refvector2<unsigned char> turned;
  if (!allocatePixelStorage(turned, uint64_t(wu) * uint64_t(hu) * bpp)) return;
  const unsigned char* source = image.pixels.begin();
  unsigned char* out = turned.begin();
  const int64_t sourceRow = ws * int64_t(bpp);
  for (int64_t y = 0; y < hu; ++y) {
    const SourceWalk walk = walkOfRow(orientation, y, ws, hs);
    // Rows are stored bottom-up: top-down row y lives at memory row h-1-y.
    unsigned char* dst = out + (hu - 1 - y) * wu * int64_t(bpp);
    const unsigned char* src =
        source + (hs - 1 - walk.startY) * sourceRow + walk.startX * int64_t(bpp);
    const int64_t step = walk.stepX * int64_t(bpp) - walk.stepY * sourceRow;
    if (step == int64_t(bpp)) {
      std::memcpy(dst, src, std::size_t(wu) * bpp);
      continue;
    }
    for (int64_t x = 0; x < wu; ++x, src += step, dst += bpp) std::memcpy(dst, src, bpp);
  }
  const grImage2D old = image;
  describeDecoded(image, turned, uint32_t(wu), uint32_t(hu), old.layout);
}

}  // namespace libgr
