// Image texture uploads: the checks and pixel-store envelope around each
// image, and the mipmap branches of the four kinds.
#include "graphics/texture_image.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include "graphics/extensions.h"
#include "graphics/pixel_transfer.h"

namespace libgr {

bool supportsGenerateMipmap(GLenum internalFormat) {
  switch (internalFormat) {
    case GL_RGB:
    case GL_RGBA:
    case GL_RGB5:
    case GL_RGB8:
    case GL_RGBA8:
    case GL_BGR_EXT:
    case GL_BGRA_EXT:
      return true;
    default:
      return false;
  }
}

namespace {
uint32_t nonNegative(int32_t value) { return value > 0 ? uint32_t(value) : 0; }
}  // namespace

uint32_t largestDimension(const grImage1D& image) { return nonNegative(image.width); }
uint32_t largestDimension(const grImage2D& image) {
  return std::max(nonNegative(image.width), nonNegative(image.height));
}
uint32_t largestDimension(const grImage3D& image) {
  return std::max({nonNegative(image.width), nonNegative(image.height), nonNegative(image.depth)});
}

// ---------------------------------------------------------------------------
// Per-image checks
namespace {

grUnpackExtent extentOf(const grImage1D& image) {
  grUnpackExtent extent;
  extent.width = image.width;
  extent.skipPixels = image.unpack.skipPixels;
  return extent;
}

grUnpackExtent extentOf(const grImage2D& image) {
  grUnpackExtent extent;
  extent.width = image.width;
  extent.height = image.height;
  extent.rowLength = image.unpack.rowLength;
  extent.skipPixels = image.unpack.skipPixels;
  extent.skipRows = image.unpack.skipRows;
  return extent;
}

grUnpackExtent extentOf(const grImage3D& image) {
  grUnpackExtent extent;
  extent.width = image.width;
  extent.height = image.height;
  extent.depth = image.depth;
  extent.rowLength = image.unpack.rowLength;
  extent.imageHeight = image.unpack.imageHeight;
  extent.skipPixels = image.unpack.skipPixels;
  extent.skipRows = image.unpack.skipRows;
  extent.skipImages = image.unpack.skipImages;
  return extent;
}

bool positiveDimensions(const grImage1D& image) { return image.width > 0; }
bool positiveDimensions(const grImage2D& image) { return image.width > 0 && image.height > 0; }
bool positiveDimensions(const grImage3D& image) {
  return image.width > 0 && image.height > 0 && image.depth > 0;
}

// True when the window holds every byte GL will read for this image. The
// alignment in force is the image's own (when GL will take it) or else GL's
// current one, which is asked for only when the widest alignment does not
// fit already.
template <typename Image>
bool windowHoldsImage(const Image& image, const grPixelFormat& format) {
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
  return needed > 0 && needed <= available;
}

// Resolves an image and decides whether it is sent: fillers (no pixels),
// descriptions without a row, empty or negative dimensions and windows too
// short for what GL would read are skipped. Compressed images are sent as
// their window stands.
template <typename Image>
bool prepare(const Image& image, bool compress, grPixelFormat& format) {
  if (!image.pixels.hasStorage() || image.pixels.empty()) return false;
  if (!resolvePixelFormat(format, image.layout, image.componentClass, image.depthCode, compress))
    return false;
  if (!positiveDimensions(image)) return false;
  if (image.compressed) return true;
  return windowHoldsImage(image, format);
}

// Side of a square (cubic) level: the largest power of two within the
// texture's size, halved per level, plus the border on both sides.
GLsizei levelSide(uint32_t size, GLint border, GLint level) {
  const uint32_t interior = border ? (size > 2 ? size - 2 : 0) : size;
  const uint32_t side = std::max<uint32_t>(1, floorPowerOfTwo(interior) >> level);
  return GLsizei(side + 2 * uint32_t(border));
}

// Switches GL_MAP_COLOR off while RGB data that colour-index images turned
// into is sent (RGB groups would otherwise go through the R-to-R maps).
class MapColorPause {
 public:
  explicit MapColorPause(bool mapColorOn) : paused_(mapColorOn) {
    if (paused_) glPixelTransferi(GL_MAP_COLOR, 0);
  }
  ~MapColorPause() {
    if (paused_) glPixelTransferi(GL_MAP_COLOR, 1);
  }
  MapColorPause(const MapColorPause&) = delete;
  MapColorPause& operator=(const MapColorPause&) = delete;

 private:
  bool paused_;
};

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

// The colours GL made of level 0, read back tightly as RGB bytes. Empty when
// GL refused the level.
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

// Where GL reads an image's pixels from, inside the image's envelope.
// Colour indices are first copied into tight rows of one byte per index:
// Mesa unpacks index rows without their alignment padding and without the
// row length (and one-bit rows without their byte boundaries), so padded
// rows, every BMP row whose width is not a multiple of 4, would come out
// skewed. Tight byte rows mean the same to every GL; `f` then names
// GL_UNSIGNED_BYTE.
class PixelSource {
 public:
  template <typename Image>
  PixelSource(const Image& image, grPixelFormat& f) : data_(image.pixels.begin()) {
    if (f.format != GL_COLOR_INDEX || image.compressed) return;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);  // the image's own, or GL's
    grUnpackExtent extent = extentOf(image);
    extent.alignment = alignment;
    repackIndices(image.pixels.begin(), f.type, extent);
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
  PixelSource(const PixelSource&) = delete;
  PixelSource& operator=(const PixelSource&) = delete;

  const void* data() const { return data_; }

 private:
  // The window was checked to hold every byte these settings reach.
  void repackIndices(const unsigned char* source, GLenum type, const grUnpackExtent& e) {
    const grUnpackStrides strides = unpackStrides(GL_COLOR_INDEX, type, e);
    const bool bits = type == GL_BITMAP;
    const size_t rowBytes = size_t(e.width);
    repacked_.assign(rowBytes * size_t(e.height) * size_t(e.depth), 0);
    unsigned char* out = repacked_.data();
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

  std::vector<unsigned char> repacked_;
  const void* data_;
};

// ---------------------------------------------------------------------------
// GL calls per image kind. `side` is a level's full width (border included).

void defineLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage1D&, GLsizei side,
                 GLint border, const void* pixels = nullptr) {
  glTexImage1D(target, level, f.internalFormat, side, border, f.format, f.type, pixels);
}
void defineLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D&, GLsizei side,
                 GLint border, const void* pixels = nullptr) {
  glTexImage2D(target, level, f.internalFormat, side, side, border, f.format, f.type, pixels);
}
void defineLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage3D&, GLsizei side,
                 GLint border, const void* pixels = nullptr) {
  grTexImage3D(target, level, f.internalFormat, side, side, side, border, f.format, f.type, pixels);
}

bool fitsLevel(const grImage1D& image, GLsizei side) { return image.width <= side; }
bool fitsLevel(const grImage2D& image, GLsizei side) {
  return image.width <= side && image.height <= side;
}
bool fitsLevel(const grImage3D& image, GLsizei side) {
  return image.width <= side && image.height <= side && image.depth <= side;
}
bool fillsLevelExactly(const grImage1D& image, GLsizei side) { return image.width == side; }
bool fillsLevelExactly(const grImage2D& image, GLsizei side) {
  return image.width == side && image.height == side;
}
bool fillsLevelExactly(const grImage3D& image, GLsizei side) {
  return image.width == side && image.height == side && image.depth == side;
}

// Sub-image at `offset` (-1 reaches into a border).
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage1D& image,
               GLint offset, const void* data) {
  glTexSubImage1D(target, level, offset, image.width, f.format, f.type, data);
}
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
               GLint offset, const void* data) {
  glTexSubImage2D(target, level, offset, offset, image.width, image.height, f.format, f.type, data);
}
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage3D& image,
               GLint offset, const void* data) {
  grTexSubImage3D(target, level, offset, offset, offset, image.width, image.height, image.depth,
                  f.format, f.type, data);
}

// Compressed data as it stands; nothing without compression.
void sendCompressed(GLenum target, GLint level, const grPixelFormat& f, const grImage1D& image,
                    GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage1D) return;
  grCompressedTexImage1D(target, level, f.internalFormat, image.width, border,
                         GLsizei(image.pixels.size()), image.pixels.begin());
}
void sendCompressed(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                    GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage2D) return;
  grCompressedTexImage2D(target, level, f.internalFormat, image.width, image.height, border,
                         GLsizei(image.pixels.size()), image.pixels.begin());
}
void sendCompressed(GLenum target, GLint level, const grPixelFormat& f, const grImage3D& image,
                    GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage3D) return;
  grCompressedTexImage3D(target, level, f.internalFormat, image.width, image.height, image.depth,
                         border, GLsizei(image.pixels.size()), image.pixels.begin());
}

// Defines a level of `side` and fills the image into it. A border level that
// the image covers exactly is defined with the pixels at once: drivers that
// drop borders (Mesa) strip them from the data that way, where a sub-image
// at -1 would be refused. An image larger than its level is not sent.
template <typename Image>
void defineAndFill(GLenum target, GLint level, const grPixelFormat& f, const Image& image,
                   const void* data, GLsizei side, GLint border) {
  if (border && fillsLevelExactly(image, side)) {
    defineLevel(target, level, f, image, side, border, data);
    return;
  }
  defineLevel(target, level, f, image, side, border);
  if (fitsLevel(image, side)) fillLevel(target, level, f, image, -border, data);
}

// GLU on colour indices would average indices, not colours: for such images
// GL turns the indices of level 0 into colours, and GLU builds the chain from
// those colours read back.
void buildMipmaps(GLenum target, const grPixelFormat& f, const grImage1D& image, const void* data,
                  bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX) {
    gluBuild1DMipmaps(target, GLint(f.internalFormat), image.width, f.format, f.type, data);
    return;
  }
  glTexImage1D(target, 0, f.internalFormat, image.width, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return;
  MapColorPause pause(mapColorOn);
  gluBuild1DMipmaps(target, GLint(f.internalFormat), width, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

// What GLU is given to build a chain from. Two faults of GLU are kept away:
// - It makes its scaled and smaller levels in tight buffers but sends them
//   under the unpack alignment in force: where such a level's rows are not
//   a multiple of it (pictures taller than wide reach one-pixel-wide levels)
//   GL reads rows from the wrong places, past GLU's buffers for one- and
//   two-byte pixels. GLU therefore runs with an alignment of 1, on a tight
//   copy when the image's rows are padded, row-length'd or skipped.
// - Scaling a picture to powers of two, it reads one pixel past the image
//   (seen when only the height is scaled). A picture it will scale is
//   therefore copied with a spare row after it.
// Inside the image's envelope, which puts the caller's settings back.
class GluSource {
 public:
  GluSource(const grPixelFormat& f, const grImage2D& image, const void* data) : data_(data) {
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
    const bool scaled =
        !isPowerOfTwo(uint32_t(image.width)) || !isPowerOfTwo(uint32_t(image.height));
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
  GluSource(const GluSource&) = delete;
  GluSource& operator=(const GluSource&) = delete;

  const void* data() const { return data_; }

 private:
  std::vector<unsigned char> rows_;
  const void* data_;
};

void buildMipmaps(GLenum target, const grPixelFormat& f, const grImage2D& image, const void* data,
                  bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX) {
    const GluSource source(f, image, data);
    gluBuild2DMipmaps(target, GLint(f.internalFormat), image.width, image.height, f.format, f.type,
                      source.data());
    return;
  }
  glTexImage2D(target, 0, f.internalFormat, image.width, image.height, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return;
  MapColorPause pause(mapColorOn);
  gluBuild2DMipmaps(target, GLint(f.internalFormat), width, height, GL_RGB, GL_UNSIGNED_BYTE,
                    rgb.data());
}

void generateSwitch(GLenum target, bool on) {
  glTexParameteri(target, GL_GENERATE_MIPMAP_SGIS, on ? GL_TRUE : GL_FALSE);
}

// One entry at `level` in its envelope: compressed data as it stands, or a
// level defined and filled.
template <typename Image>
void sendLevel(GLenum target, GLint level, const Image& image, bool compress, uint32_t size,
               GLint border, GLint compressedBorder) {
  grPixelFormat f;
  if (!prepare(image, compress, f)) return;
  grUnpackScope scope(image.pixelStore, image.unpack);
  if (image.compressed) {
    sendCompressed(target, level, f, image, compressedBorder);
    return;
  }
  const PixelSource source(image, f);
  defineAndFill(target, level, f, image, source.data(), levelSide(size, border, level), border);
}

// Level 0 with automatic generation around it.
template <typename Image>
void sendGenerated(GLenum imageTarget, GLenum switchTarget, const grPixelFormat& f,
                   const Image& image, const void* data, GLsizei side, GLint border) {
  generateSwitch(switchTarget, true);
  if (image.compressed)
    sendCompressed(imageTarget, 0, f, image, border);
  else if (fillsLevelExactly(image, side))
    // Defined with its pixels at once: GL regenerates the whole chain on
    // every change of level 0, so a define followed by a fill builds it twice.
    defineLevel(imageTarget, 0, f, image, side, border, data);
  else
    defineAndFill(imageTarget, 0, f, image, data, side, border);
  generateSwitch(switchTarget, false);
}

bool generating(const grPixelFormat& f) {
  return grHasGenerateMipmap && supportsGenerateMipmap(f.internalFormat);
}

}  // namespace

// ---------------------------------------------------------------------------
// grTexture1D

void grTexture1D::apply() {
  if (images_.empty()) return;
  grColorMapGuard maps;
  maps.apply(images_[0].colorMaps);
  const GLint border = border_ ? 1 : 0;
  std::size_t first = 0;
  if (mipmapped_) {
    const grImage1D& base = images_[0];
    grPixelFormat f;
    if (prepare(base, compress_, f)) {
      grUnpackScope scope(base.pixelStore, base.unpack);
      const PixelSource source(base, f);
      if (generating(f))
        sendGenerated(GL_TEXTURE_1D, GL_TEXTURE_1D, f, base, source.data(),
                      GLsizei(floorPowerOfTwo(size_) + 2 * border), border);
      else if (base.compressed)
        sendCompressed(GL_TEXTURE_1D, 0, f, base, border);
      else
        buildMipmaps(GL_TEXTURE_1D, f, base, source.data(), maps.active());
    }
    first = 1;
  }
  for (std::size_t i = first; i < images_.size(); ++i)
    sendLevel(GL_TEXTURE_1D, GLint(i), images_[i], false, size_, border, border);
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_1D, borderColor_);
  maps.restore();
}

// ---------------------------------------------------------------------------
// grTexture2D

void grTexture2D::apply() {
  if (images_.empty()) return;
  grColorMapGuard maps;
  maps.apply(images_[0].colorMaps);
  const GLint border = border_ ? 1 : 0;
  std::size_t first = 0;
  if (mipmapped_) {
    const grImage2D& base = images_[0];
    grPixelFormat f;
    if (prepare(base, compress_, f)) {
      grUnpackScope scope(base.pixelStore, base.unpack);
      const PixelSource source(base, f);
      if (generating(f))
        sendGenerated(GL_TEXTURE_2D, GL_TEXTURE_2D, f, base, source.data(),
                      levelSide(size_, border, 0), border);
      else if (base.compressed)
        sendCompressed(GL_TEXTURE_2D, 0, f, base, border);
      else
        buildMipmaps(GL_TEXTURE_2D, f, base, source.data(), maps.active());
    }
    first = 1;
  }
  for (std::size_t i = first; i < images_.size(); ++i) {
    // Without mipmapping only level 0 carries the border.
    const GLint levelBorder = (mipmapped_ || i == 0) ? border : 0;
    sendLevel(GL_TEXTURE_2D, GLint(i), images_[i], compress_, size_, levelBorder, border);
  }
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_2D, borderColor_);
  maps.restore();
}

namespace {

void sendCompressedSub(GLint level, const grPixelFormat& f, const grImage2D& image) {
  if (!grHasTextureCompression || !grCompressedTexSubImage2D) return;
  grCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, image.width, image.height, f.internalFormat,
                            GLsizei(image.pixels.size()), image.pixels.begin());
}

// Pixels into an existing level at 0, 0.
void refill(GLint level, grPixelFormat f, const grImage2D& image) {
  if (image.compressed) {
    sendCompressedSub(level, f, image);
    return;
  }
  const PixelSource source(image, f);
  fillLevel(GL_TEXTURE_2D, level, f, image, 0, source.data());
}

}  // namespace

void grTexture2D::update() {
  if (images_.empty()) return;
  grColorMapGuard maps;
  maps.apply(images_[0].colorMaps);
  std::size_t first = 0;
  if (mipmapped_) {
    const grImage2D& base = images_[0];
    grPixelFormat f;
    if (prepare(base, compress_, f)) {
      grUnpackScope scope(base.pixelStore, base.unpack);
      if (generating(f)) {
        generateSwitch(GL_TEXTURE_2D, true);
        refill(0, f, base);
        generateSwitch(GL_TEXTURE_2D, false);
      } else if (base.compressed) {
        sendCompressedSub(0, f, base);
      } else {
        const PixelSource source(base, f);
        buildMipmaps(GL_TEXTURE_2D, f, base, source.data(), maps.active());
      }
    }
    first = 1;
  }
  for (std::size_t i = first; i < images_.size(); ++i) {
    const grImage2D& image = images_[i];
    grPixelFormat f;
    if (!prepare(image, compress_, f)) continue;
    grUnpackScope scope(image.pixelStore, image.unpack);
    refill(GLint(i), f, image);
  }
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_2D, borderColor_);
  maps.restore();
}

// ---------------------------------------------------------------------------
// grTexture3D

void grTexture3D::apply() {
  if (images_.empty()) return;
  grColorMapGuard maps;
  maps.apply(images_[0].colorMaps);
  // Without the 3-D entry points no image can be sent; the parameters can.
  const bool canSend = grTexImage3D && grTexSubImage3D;
  const GLint border = border_ ? 1 : 0;
  std::size_t first = 0;
  if (mipmapped_ && canSend) {
    const bool generate = grHasGenerateMipmap;
    const grImage3D& base = images_[0];
    grPixelFormat f;
    if (prepare(base, compress_, f)) {
      grUnpackScope scope(base.pixelStore, base.unpack);
      const GLsizei side = levelSide(size_, border, 0);
      const PixelSource source(base, f);
      if (generate && supportsGenerateMipmap(f.internalFormat))
        sendGenerated(GL_TEXTURE_3D, GL_TEXTURE_3D, f, base, source.data(), side, border);
      else if (base.compressed)
        sendCompressed(GL_TEXTURE_3D, 0, f, base, border);
      else
        defineAndFill(GL_TEXTURE_3D, 0, f, base, source.data(), side, border);
    }
    first = 1;
    for (std::size_t i = first; i < images_.size(); ++i)
      sendLevel(GL_TEXTURE_3D, GLint(i), images_[i], compress_, size_, border,
                generate ? border : 0);
  } else if (canSend) {
    for (std::size_t i = 0; i < images_.size(); ++i) {
      const GLint levelBorder = i == 0 ? border : 0;
      sendLevel(GL_TEXTURE_3D, GLint(i), images_[i], compress_, size_, levelBorder, border);
    }
  }
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_3D, borderColor_);
  maps.restore();
}

// ---------------------------------------------------------------------------
// grTextureCubeMap

void grTextureCubeMap::apply() {
  if (images_.empty()) return;
  grColorMapGuard maps;
  maps.apply(images_[0].colorMaps);
  const std::size_t levels = images_.size() / kFaces;  // complete sets only
  const GLint border = border_ ? 1 : 0;
  if (mipmapped_) {
    const std::size_t baseFaces = std::min<std::size_t>(images_.size(), kFaces);
    for (std::size_t face = 0; face < baseFaces; ++face) {
      const GLenum target = GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(face);
      const grImage2D& image = images_[face];
      grPixelFormat f;
      if (!prepare(image, compress_, f)) continue;
      grUnpackScope scope(image.pixelStore, image.unpack);
      const PixelSource source(image, f);
      if (generating(f))
        sendGenerated(target, GL_TEXTURE_CUBE_MAP, f, image, source.data(), levelSide(size_, 0, 0),
                      0);
      else if (image.compressed)
        sendCompressed(target, 0, f, image, 0);
      else
        buildMipmaps(target, f, image, source.data(), maps.active());
    }
    for (std::size_t level = 1; level < levels; ++level)
      for (int face = 0; face < kFaces; ++face)
        sendLevel(GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(face), GLint(level),
                  images_[level * kFaces + face], compress_, size_, 0, 0);
  } else {
    for (std::size_t level = 0; level < levels; ++level) {
      const GLint levelBorder = level == 0 ? border : 0;
      for (int face = 0; face < kFaces; ++face)
        sendLevel(GL_TEXTURE_CUBE_MAP_POSITIVE_X + GLenum(face), GLint(level),
                  images_[level * kFaces + face], compress_, size_, levelBorder, 0);
    }
  }
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_CUBE_MAP, borderColor_);
  maps.restore();
}

}  // namespace libgr
