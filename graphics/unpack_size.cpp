// Byte extent of GL pixel unpacking.
#include "graphics/unpack_size.h"

#include <GL/glext.h>

#include <cstdint>

#include "graphics/texture_object.h"

namespace libgr {

namespace {

// Bytes of one element of a type whose components are stored apart.
uint32_t typeBytes(GLenum type) {
  switch (type) {
    case GL_HALF_FLOAT:
      return 2;
    case GL_BITMAP:
      return 0;  // bits, handled apart
    default:
      return static_cast<uint32_t>(componentBytes(type));
  }
}

// Bytes of one pixel of a packed type, 0 for unpacked types.
uint32_t packedBytes(GLenum type) {
  switch (type) {
    case GL_UNSIGNED_BYTE_3_3_2:
    case GL_UNSIGNED_BYTE_2_3_3_REV:
      return 1;
    case GL_UNSIGNED_SHORT_5_6_5:
    case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1:
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
      return 2;
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_2_10_10_10_REV:
      return 4;
    default:
      return 0;
  }
}

int64_t roundUp(int64_t value, int64_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// Products of 32-bit dimensions can pass 64 bits; saturate instead (no
// window is that large, so a saturated count is always too short).
constexpr int64_t kHuge = INT64_MAX / 4;
int64_t mul(int64_t a, int64_t b) { return (a != 0 && b > kHuge / a) ? kHuge : a * b; }
int64_t add(int64_t a, int64_t b) { return a > kHuge - b ? kHuge : a + b; }

}  // namespace

uint32_t pixelGroupBytes(GLenum format, GLenum type) {
  const uint32_t components = static_cast<uint32_t>(componentCount(format));
  if (components == 0) return 0;
  if (const uint32_t packed = packedBytes(type)) return packed;
  return components * typeBytes(type);
}

grUnpackStrides unpackStrides(GLenum format, GLenum type, const grUnpackExtent& e) {
  const int64_t rowPixels = e.rowLength > 0 ? e.rowLength : e.width;
  const int64_t rowsPerImage = e.imageHeight > 0 ? e.imageHeight : e.height;
  const int64_t alignment = e.alignment > 0 ? e.alignment : 1;
  grUnpackStrides strides;
  if (type == GL_BITMAP) {
    strides.row = roundUp((rowPixels * componentCount(format) + 7) / 8, alignment);
  } else {
    const int64_t group = pixelGroupBytes(format, type);
    const int64_t element = packedBytes(type) ? group : typeBytes(type);
    // Elements at least as large as the alignment need no padding.
    strides.row =
        element >= alignment ? rowPixels * group : roundUp(mul(rowPixels, group), alignment);
  }
  strides.image = mul(strides.row, rowsPerImage);
  return strides;
}

int64_t unpackedByteCount(GLenum format, GLenum type, const grUnpackExtent& e) {
  if (e.width < 0 || e.height < 0 || e.depth < 0 || e.rowLength < 0 || e.imageHeight < 0 ||
      e.skipPixels < 0 || e.skipRows < 0 || e.skipImages < 0)
    return -1;
  if (e.alignment != 1 && e.alignment != 2 && e.alignment != 4 && e.alignment != 8) return -1;
  if (componentCount(format) == 0) return -1;
  if (type != GL_BITMAP && pixelGroupBytes(format, type) == 0) return -1;
  // GL unpacks bits for index formats only (GL_INVALID_ENUM for the rest).
  if (type == GL_BITMAP && format != GL_COLOR_INDEX && format != GL_STENCIL_INDEX) return -1;
  if (e.width == 0 || e.height == 0 || e.depth == 0) return 0;

  const grUnpackStrides strides = unpackStrides(format, type, e);
  // Bytes of the last row up to its last pixel, from the row's start.
  const int64_t lastRowEnd = type == GL_BITMAP
                                 ? ((e.skipPixels + e.width) * componentCount(format) + 7) / 8
                                 : (e.skipPixels + e.width) * pixelGroupBytes(format, type);
  return add(add(mul(e.skipImages + e.depth - 1, strides.image),
                 mul(e.skipRows + e.height - 1, strides.row)),
             lastRowEnd);
}

}  // namespace libgr
