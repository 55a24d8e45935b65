// The eight EXIF orientations as one walk: along each upright row the
// stored pixel moves by a fixed step, so a row is a strided copy.
#include "photo/orientation.h"

#include <algorithm>
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

namespace {

// Upright rows [y0, y1), pixels [x0, x1) of each, from the stored picture.
template <std::size_t Bpp>
void copyWalks(int orientation, const unsigned char* source, int64_t ws, int64_t hs,
               unsigned char* out, int64_t wu, int64_t hu, int64_t y0, int64_t y1, int64_t x0,
               int64_t x1) {
  const int64_t sourceRow = ws * int64_t(Bpp);
  for (int64_t y = y0; y < y1; ++y) {
    const SourceWalk walk = walkOfRow(orientation, y, ws, hs);
    // Rows are stored bottom-up: top-down row y lives at memory row h-1-y.
    unsigned char* dst = out + ((hu - 1 - y) * wu + x0) * int64_t(Bpp);
    const int64_t step = walk.stepX * int64_t(Bpp) - walk.stepY * sourceRow;
    const unsigned char* src =
        source + (hs - 1 - walk.startY) * sourceRow + walk.startX * int64_t(Bpp) + x0 * step;
    if (step == int64_t(Bpp)) {
      std::memcpy(dst, src, std::size_t(x1 - x0) * Bpp);
      continue;
    }
    for (int64_t x = x0; x < x1; ++x, src += step, dst += Bpp) std::memcpy(dst, src, Bpp);
  }
}

// A turn by a quarter walks the stored picture down its columns, a row of
// it per pixel: done in square tiles, so the rows a tile reads stay in the
// caches (and their pages in the TLB) while it is written.
template <std::size_t Bpp>
void orient(int orientation, const unsigned char* source, int64_t ws, int64_t hs,
            unsigned char* out, int64_t wu, int64_t hu) {
  if (!swapsSides(orientation))
    return copyWalks<Bpp>(orientation, source, ws, hs, out, wu, hu, 0, hu, 0, wu);
  constexpr int64_t kTile = 64;
  for (int64_t y0 = 0; y0 < hu; y0 += kTile)
    for (int64_t x0 = 0; x0 < wu; x0 += kTile)
      copyWalks<Bpp>(orientation, source, ws, hs, out, wu, hu, y0, std::min(hu, y0 + kTile), x0,
                     std::min(wu, x0 + kTile));
}

}  // namespace

void applyOrientation(grImage2D& image, int orientation) {
  if (orientation < 2 || orientation > 8 || image.width <= 0 || image.height <= 0) return;
  const int64_t ws = image.width, hs = image.height;
  const grPhotoSize upright =
      uprightSize({uint32_t(image.width), uint32_t(image.height)}, orientation);
  const int64_t wu = upright.width, hu = upright.height;
  const std::size_t bpp = decodedPixelBytes(image);
  if (bpp == 0 || bpp > 4 || image.pixels.size() < uint64_t(ws) * uint64_t(hs) * bpp) return;

  refvector2<unsigned char> turned;
  if (!allocatePixelStorage(turned, uint64_t(wu) * uint64_t(hu) * bpp)) return;
  const unsigned char* source = image.pixels.begin();
  unsigned char* out = turned.begin();
  switch (bpp) {
    case 1:
      orient<1>(orientation, source, ws, hs, out, wu, hu);
      break;
    case 2:
      orient<2>(orientation, source, ws, hs, out, wu, hu);
      break;
    case 3:
      orient<3>(orientation, source, ws, hs, out, wu, hu);
      break;
    default:
      orient<4>(orientation, source, ws, hs, out, wu, hu);
  }
  const grImage2D old = image;
  describeDecoded(image, turned, uint32_t(wu), uint32_t(hu), old.layout);
}

}  // namespace libgr
