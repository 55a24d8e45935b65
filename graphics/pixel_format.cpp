// Pixel formats: the layout and depth-code tables, resolution through the
// format table, component counts and sizes, and the byte extent of GL pixel
// unpacking.
#include "graphics/pixel_format.h"

#include <GL/glext.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "graphics/extensions.h"

namespace libgr {

namespace {

struct LayoutInfo {
  grPixelLayout code;
  GLenum format;
  uint32_t components;
  grPixelLayout rowsOf;
};

constexpr LayoutInfo kLayouts[] = {
#define LAYOUT(code, format, components, rowsOf) {code, format, components, rowsOf},
#include "graphics/pixel_format_table.h"
};
constexpr std::size_t kLayoutCount = sizeof(kLayouts) / sizeof(kLayouts[0]);

constexpr bool layoutsInCodeOrder() {
  for (std::size_t i = 0; i < kLayoutCount; ++i)
    if (kLayouts[i].code != i) return false;
  return true;
}
static_assert(layoutsInCodeOrder(), "the layout table is indexed by layout code");

struct FormatRow {
  grPixelLayout layout;
  uint32_t componentClass;
  uint32_t depthCode;
  GLenum internalFormat;
  GLenum type;
};

constexpr FormatRow kRows[] = {
#define ROW(layout, componentClass, depthCode, internalFormat, type) \
  {layout, componentClass, depthCode, internalFormat, type},
#include "graphics/pixel_format_table.h"
};

struct DepthInfo {
  uint32_t code;
  uint32_t bits;  // per component, or per pixel for the packed codes
};

constexpr DepthInfo kDepths[] = {
    {grDepth1, 1},         {grDepth2, 2},    {grDepth4, 4},     {grDepth8, 8},
    {grDepth12, 12},       {grDepth16, 16},  {grDepth24, 24},   {grDepth32, 32},
    {grDepth64, 64},       {grPacked332, 8}, {grPacked565, 16}, {grPacked5551, 16},
    {grPacked1010102, 32}, {grPacked62, 8},  {grPacked124, 16},
};

}  // namespace

uint32_t grLayoutComponents(grPixelLayout layout) {
  return layout < kLayoutCount ? kLayouts[layout].components : 0;
}

bool grIsPackedDepth(uint32_t depthCode) {
  return depthCode >= grPacked332 && depthCode <= grPacked124;
}

uint32_t grDepthBits(uint32_t depthCode) {
  for (const DepthInfo& depth : kDepths)
    if (depth.code == depthCode) return depth.bits;
  return 0;
}

bool resolvePixelFormat(grPixelFormat& out, unsigned layout, unsigned componentClass,
                        unsigned depthCode, bool compress) {
  if (layout >= kLayoutCount) return false;
  const LayoutInfo& info = kLayouts[layout];
  out.format = info.format;
  for (const FormatRow& row : kRows) {
    if (row.layout != info.rowsOf || row.componentClass != componentClass ||
        row.depthCode != depthCode)
      continue;
    out.internalFormat = row.internalFormat;
    out.type = row.type;
    if (compress && grHasTextureCompression && out.internalFormat == GL_ALPHA)
      out.internalFormat = GL_COMPRESSED_ALPHA_ARB;
    return true;
  }
  return false;
}

bool isPowerOfTwo(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

uint32_t floorPowerOfTwo(uint32_t n) {
  n &= 0x7FFFFFFFu;
  if (n == 0) return 1;
  uint32_t power = 1;
  while (n >>= 1) power <<= 1;
  return power;
}

bool validAlignment(int64_t alignment) {
  return alignment == 1 || alignment == 2 || alignment == 4 || alignment == 8;
}

int componentCount(GLenum format) {
  switch (format) {
    case GL_COLOR_INDEX:
    case GL_DEPTH_COMPONENT:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE:
      return 1;
    case GL_LUMINANCE_ALPHA:
      return 2;
    case GL_RGB:
    case GL_BGR_EXT:
      return 3;
    case GL_RGBA:
    case GL_BGRA_EXT:
      return 4;
    default:
      return 0;
  }
}

int componentBytes(GLenum type) {
  switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
    case GL_BITMAP:
      return 1;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
      return 2;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT:
      return 4;
    case GL_DOUBLE:
      return 8;
    default:
      return 0;
  }
}

GLenum typeForBytes(int bytes) {
  for (GLenum type : {GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT, GL_FLOAT, GL_DOUBLE})
    if (componentBytes(type) == bytes) return type;
  return 0;
}

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
  if (!validAlignment(e.alignment)) return -1;
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
