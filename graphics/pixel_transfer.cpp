// Pixel-store, unpack and colour-map state for image uploads.
#include "graphics/pixel_transfer.h"

#include <GL/glext.h>

namespace libgr {

void applyPixelStore(const grPixelStore* store) {
  if (!store) return;
  glPixelStorei(GL_UNPACK_SWAP_BYTES, store->swapBytes ? 1 : 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, store->alignment);
}

void applyUnpack(const grUnpack1D& unpack) {
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skipPixels);
}

void applyUnpack(const grUnpack2D& unpack) {
  glPixelStorei(GL_UNPACK_ROW_LENGTH, unpack.rowLength);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skipPixels);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skipRows);
}

void applyUnpack(const grUnpack3D& unpack) {
  glPixelStorei(GL_UNPACK_ROW_LENGTH, unpack.rowLength);
  glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, unpack.imageHeight);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skipPixels);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skipRows);
  glPixelStorei(GL_UNPACK_SKIP_IMAGES, unpack.skipImages);
}

void grColorMapGuard::apply(const grColorMaps& maps) {
  const uint32_t count = maps.count;
  if (!isPowerOfTwo(count)) return;
  // glPixelMapusv reads `count` entries from each table: never more than the
  // tables hold.
  if (maps.red.size() < count || maps.green.size() < count || maps.blue.size() < count) return;
  // A table longer than GL's limit is refused, which would leave the mapping
  // on with the previous maps.
  GLint maxTable = 0;
  glGetIntegerv(GL_MAX_PIXEL_MAP_TABLE, &maxTable);
  if (maxTable <= 0 || count > static_cast<uint32_t>(maxTable)) return;
  const GLsizei entries = static_cast<GLsizei>(count);
  glPixelTransferi(GL_MAP_COLOR, 1);
  glPixelMapusv(GL_PIXEL_MAP_I_TO_R, entries, maps.red.begin());
  glPixelMapusv(GL_PIXEL_MAP_I_TO_G, entries, maps.green.begin());
  glPixelMapusv(GL_PIXEL_MAP_I_TO_B, entries, maps.blue.begin());
  active_ = true;
}

void grColorMapGuard::restore() {
  if (!active_) return;
  glPixelTransferi(GL_MAP_COLOR, 0);
  active_ = false;
}

}  // namespace libgr
