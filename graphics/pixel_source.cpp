// Image checks and pixel sources of the texture upload.
#include "graphics/pixel_source.h"

#include <GL/glext.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace libgr {

grUnpackExtent extentOf(const grImage1D& image) {
  grUnpackExtent extent;
  extent.width = image.width;
  extent.skipPixels = image.unpack.skipPixels;
  return extent;
}

namespace {

// The rows of an image, which 2-D and 3-D images share.
template <typename Image>
grUnpackExtent rowsOf(const Image& image) {
  grUnpackExtent extent;
  extent.width = image.width;
  extent.height = image.height;
  extent.rowLength = image.unpack.rowLength;
  extent.skipPixels = image.unpack.skipPixels;
  extent.skipRows = image.unpack.skipRows;
  return extent;
}

}  // namespace

grUnpackExtent extentOf(const grImage2D& image) { return rowsOf(image); }

grUnpackExtent extentOf(const grImage3D& image) {
  grUnpackExtent extent = rowsOf(image);
  extent.depth = image.depth;
  extent.imageHeight = image.unpack.imageHeight;
  extent.skipImages = image.unpack.skipImages;
  return extent;
}

namespace {

bool positiveDimensions(const grImage1D& image) { return image.width > 0; }
bool positiveDimensions(const grImage2D& image) { return image.width > 0 && image.height > 0; }
bool positiveDimensions(const grImage3D& image) {
  return image.width > 0 && image.height > 0 && image.depth > 0;
}

// The bytes GL will read for this image from its window (0 or less when GL
// cannot unpack its format and type). The alignment in force is the image's
// own (when GL will take it) or else GL's current one, which is asked for
// only when the widest alignment does not fit already.
template <typename Image>
int64_t bytesRead(const Image& image, const grPixelFormat& format) {
  grUnpackExtent extent = extentOf(image);
  const int64_t available = image.pixels.size();
  const bool ownAlignment = image.pixelStore && validAlignment(image.pixelStore->alignment);
  extent.alignment = ownAlignment ? image.pixelStore->alignment : 8;
  int64_t needed = unpackedByteCount(format.format, format.type, extent);
  if (needed > available && !ownAlignment) {
    GLint current = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &current);
    extent.alignment = current;
    needed = unpackedByteCount(format.format, format.type, extent);
  }
  return needed;
}

template <typename Image>
std::string prepareChecked(const Image& image, bool compress, grPixelFormat& format) {
  if (!image.pixels.hasStorage() || image.pixels.empty()) return "the image has no pixels";
  if (!resolvePixelFormat(format, image.layout, image.componentClass, image.depthCode, compress))
    return "the image's description (layout " + std::to_string(image.layout) + ", class " +
           std::to_string(image.componentClass) + ", depth code " +
           std::to_string(image.depthCode) + ") resolves to no GL format";
  if (!positiveDimensions(image)) return "the image has a side of 0 or less";
  if (image.compressed) return {};
  const int64_t needed = bytesRead(image, format);
  if (needed <= 0) return "GL cannot unpack the image's pixel format with its type";
  if (needed > int64_t(image.pixels.size()))
    return "the image holds " + std::to_string(image.pixels.size()) + " bytes, fewer than the " +
           std::to_string(needed) + " GL would read";
  return {};
}

// Tight client packing and unpacking for a temporary RGB buffer (inside an
// envelope, which puts the caller's settings back).
void useTightPixelStore() {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SWAP_BYTES, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
}

// Tight rows of one byte per index. The window was checked to hold every
// byte the extent's settings reach.
void repackIndexRows(std::vector<unsigned char>& repacked, const unsigned char* source, GLenum type,
                     const grUnpackExtent& e) {
  const grUnpackStrides strides = unpackStrides(GL_COLOR_INDEX, type, e);
  const bool bits = type == GL_BITMAP;
  const size_t rowBytes = size_t(e.width);
  repacked.assign(rowBytes * size_t(e.height) * size_t(e.depth), 0);
  unsigned char* out = repacked.data();
  for (int64_t z = 0; z < e.depth; ++z) {
    for (int64_t y = 0; y < e.height; ++y, out += rowBytes) {
      const unsigned char* row =
          source + (e.skipImages + z) * strides.image + (e.skipRows + y) * strides.row;
      if (!bits) {
        std::copy(row + e.skipPixels, row + e.skipPixels + e.width, out);
        continue;
      }
      for (int64_t x = 0; x < e.width; ++x) {  // most significant bit first
        const int64_t at = e.skipPixels + x;
        out[x] = (row[at / 8] >> (7 - at % 8)) & 1;
      }
    }
  }
}

}  // namespace

std::string prepareImage(const grImage1D& image, bool compress, grPixelFormat& format) {
  return prepareChecked(image, compress, format);
}
std::string prepareImage(const grImage2D& image, bool compress, grPixelFormat& format) {
  return prepareChecked(image, compress, format);
}
std::string prepareImage(const grImage3D& image, bool compress, grPixelFormat& format) {
  return prepareChecked(image, compress, format);
}

void grPixelSource::repackIndices(grUnpackExtent extent, grPixelFormat& f) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);  // the image's own, or GL's
  extent.alignment = alignment;
  repackIndexRows(repacked_, static_cast<const unsigned char*>(data_), f.type, extent);
  f.type = GL_UNSIGNED_BYTE;
  data_ = repacked_.data();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_IMAGES, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, 0);
}

grGluSource::grGluSource(const grPixelFormat& f, const grImage2D& image, const void* data)
    : data_(data) {
  const int64_t group = pixelGroupBytes(f.format, f.type);
  if (group == 0) return;
  GLint alignment = 4;
  if (image.pixelStore && validAlignment(image.pixelStore->alignment))
    alignment = image.pixelStore->alignment;
  else
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  grUnpackExtent extent = extentOf(image);
  extent.alignment = alignment;
  const int64_t stride = unpackStrides(f.format, f.type, extent).row;
  const size_t rowBytes = size_t(group * extent.width);
  const bool skipped = extent.rowLength != 0 || extent.skipPixels != 0 || extent.skipRows != 0;
  const bool padded = extent.height > 1 && int64_t(rowBytes) != stride;
  const bool scaled = !isPowerOfTwo(uint32_t(image.width)) || !isPowerOfTwo(uint32_t(image.height));
  if (skipped || padded || scaled) {
    // The window was checked to hold every byte these settings reach.
    const auto* source = static_cast<const unsigned char*>(data);
    rows_.assign(rowBytes * size_t(extent.height + 1), 0);
    for (int64_t y = 0; y < extent.height; ++y) {
      const unsigned char* row =
          source + (extent.skipRows + y) * stride + extent.skipPixels * group;
      std::copy(row, row + rowBytes, rows_.begin() + std::ptrdiff_t(size_t(y) * rowBytes));
    }
    data_ = rows_.data();
    if (skipped) {
      glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
      glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
      glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    }
  }
  if (alignment != 1) glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

std::vector<unsigned char> readBaseLevelColors(GLenum target, GLsizei& width, GLsizei& height) {
  width = height = 0;
  glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
  if (width <= 0 || height <= 0) return {};
  // A spare row: GLU reads one pixel past a picture it scales.
  std::vector<unsigned char> rgb(std::size_t(width) * (std::size_t(height) + 1) * 3);
  useTightPixelStore();
  glGetTexImage(target, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

}  // namespace libgr
