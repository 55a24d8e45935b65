// Level definition, fills, compressed data, GLU chains and the generation
// switch, per image kind.
#include "graphics/texture_levels.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <vector>

#include "graphics/extensions.h"
#include "graphics/pixel_source.h"

namespace libgr {

GLsizei levelSide(uint32_t interior, GLint border, GLint level) {
  const uint32_t side = std::max<uint32_t>(1, floorPowerOfTwo(interior) >> level);
  return GLsizei(side + 2 * uint32_t(border));
}

namespace {

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

bool hasInterior(const grImage1D& image) { return image.width > 2; }
bool hasInterior(const grImage2D& image) { return image.width > 2 && image.height > 2; }
bool hasInterior(const grImage3D& image) {
  return image.width > 2 && image.height > 2 && image.depth > 2;
}

GLint unpackValue(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// Moves GL's reading past the image's border: one more pixel, row and image
// skipped on top of the settings in force (the image's own, or the tight
// rows its pixel source made), with rows and images as long as before.
void skipBorderPixels() {
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpackValue(GL_UNPACK_SKIP_PIXELS) + 1);
}
void skipBorderRows(GLint width) {
  if (unpackValue(GL_UNPACK_ROW_LENGTH) == 0) glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, unpackValue(GL_UNPACK_SKIP_ROWS) + 1);
}
void skipBorder(const grImage1D&) { skipBorderPixels(); }
void skipBorder(const grImage2D& image) {
  skipBorderRows(image.width);
  skipBorderPixels();
}
void skipBorder(const grImage3D& image) {
  if (unpackValue(GL_UNPACK_IMAGE_HEIGHT) == 0) glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, image.height);
  glPixelStorei(GL_UNPACK_SKIP_IMAGES, unpackValue(GL_UNPACK_SKIP_IMAGES) + 1);
  skipBorderRows(image.width);
  skipBorderPixels();
}

// Sub-image at the level's corner, leaving out `inset` texels of the image
// on every side.
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage1D& image,
               GLint inset, const void* data) {
  glTexSubImage1D(target, level, 0, image.width - 2 * inset, f.format, f.type, data);
}
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
               GLint inset, const void* data) {
  glTexSubImage2D(target, level, 0, 0, image.width - 2 * inset, image.height - 2 * inset, f.format,
                  f.type, data);
}
void fillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage3D& image,
               GLint inset, const void* data) {
  grTexSubImage3D(target, level, 0, 0, 0, image.width - 2 * inset, image.height - 2 * inset,
                  image.depth - 2 * inset, f.format, f.type, data);
}

// The image into a level defined without pixels: at its corner, or for a
// bordered level the image's interior at the corner of the level's.
template <typename Image>
void fillDefinedLevel(GLenum target, GLint level, const grPixelFormat& f, const Image& image,
                      const void* data, GLsizei side, GLint border) {
  if (!fitsLevel(image, side)) return;
  if (border) {
    if (!hasInterior(image)) return;
    skipBorder(image);
  }
  fillLevel(target, level, f, image, border, data);
}

template <typename Image>
void defineAndFillImage(GLenum target, GLint level, const grPixelFormat& f, const Image& image,
                        const void* data, GLsizei side, GLint border) {
  if (border && fillsLevelExactly(image, side)) {
    defineLevel(target, level, f, image, side, border, data);
    return;
  }
  defineLevel(target, level, f, image, side, border);
  fillDefinedLevel(target, level, f, image, data, side, border);
}

template <typename Image>
void defineGeneratedBaseImage(GLenum target, const grPixelFormat& f, const Image& image,
                              const void* data, GLsizei side, GLint border) {
  if (fillsLevelExactly(image, side))
    defineLevel(target, 0, f, image, side, border, data);
  else
    defineAndFillImage(target, 0, f, image, data, side, border);
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

// The colour-index route defines level 0 at the image's own size, which GL
// refuses (GL_INVALID_VALUE) past its largest texture side; GLU would scale
// other images down instead. Such an image is not sent.
bool withinMaxTextureSize(GLsizei width, GLsizei height) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return width <= largest && height <= largest;
}

// Colour indices become colours at level 0 first; GLU builds from those.
void buildMipmaps(GLenum target, const grPixelFormat& f, const grImage1D& image, const void* data,
                  bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX) {
    gluBuild1DMipmaps(target, GLint(f.internalFormat), image.width, f.format, f.type, data);
    return;
  }
  if (!withinMaxTextureSize(image.width, 1)) return;
  glTexImage1D(target, 0, f.internalFormat, image.width, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return;
  MapColorPause pause(mapColorOn);
  gluBuild1DMipmaps(target, GLint(f.internalFormat), width, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

void buildMipmaps(GLenum target, const grPixelFormat& f, const grImage2D& image, const void* data,
                  bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX) {
    const grGluSource source(f, image, data);
    gluBuild2DMipmaps(target, GLint(f.internalFormat), image.width, image.height, f.format, f.type,
                      source.data());
    return;
  }
  if (!withinMaxTextureSize(image.width, image.height)) return;
  glTexImage2D(target, 0, f.internalFormat, image.width, image.height, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return;
  MapColorPause pause(mapColorOn);
  gluBuild2DMipmaps(target, GLint(f.internalFormat), width, height, GL_RGB, GL_UNSIGNED_BYTE,
                    rgb.data());
}

}  // namespace

void defineAndFill(GLenum target, GLint level, const grPixelFormat& f, const grImage1D& image,
                   const void* data, GLsizei side, GLint border) {
  defineAndFillImage(target, level, f, image, data, side, border);
}
void defineAndFill(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                   const void* data, GLsizei side, GLint border) {
  defineAndFillImage(target, level, f, image, data, side, border);
}
void defineAndFill(GLenum target, GLint level, const grPixelFormat& f, const grImage3D& image,
                   const void* data, GLsizei side, GLint border) {
  defineAndFillImage(target, level, f, image, data, side, border);
}

void defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage1D& image,
                         const void* data, GLsizei side, GLint border) {
  defineGeneratedBaseImage(target, f, image, data, side, border);
}
void defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage2D& image,
                         const void* data, GLsizei side, GLint border) {
  defineGeneratedBaseImage(target, f, image, data, side, border);
}
void defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage3D& image,
                         const void* data, GLsizei side, GLint border) {
  defineGeneratedBaseImage(target, f, image, data, side, border);
}

void refillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                 const void* data, GLsizei side, GLint border) {
  if (border && fillsLevelExactly(image, side))
    defineLevel(target, level, f, image, side, border, data);
  else
    fillDefinedLevel(target, level, f, image, data, side, border);
}

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

void sendCompressedSub(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                       GLint border) {
  if (!grHasTextureCompression || !grCompressedTexSubImage2D) return;
  grCompressedTexSubImage2D(target, level, -border, -border, image.width, image.height,
                            f.internalFormat, GLsizei(image.pixels.size()), image.pixels.begin());
}

void buildFromBase(GLenum target, grPixelFormat f, const grImage1D& image, GLsizei, GLint,
                   bool mapColorOn) {
  const grPixelSource source(image, f);
  buildMipmaps(target, f, image, source.data(), mapColorOn);
}
void buildFromBase(GLenum target, grPixelFormat f, const grImage2D& image, GLsizei, GLint,
                   bool mapColorOn) {
  const grPixelSource source(image, f);
  buildMipmaps(target, f, image, source.data(), mapColorOn);
}
void buildFromBase(GLenum target, grPixelFormat f, const grImage3D& image, GLsizei side,
                   GLint border, bool) {
  const grPixelSource source(image, f);
  defineAndFillImage(target, 0, f, image, source.data(), side, border);
}

grMipmapGeneration::grMipmapGeneration(GLenum target) : target_(target) {
  glTexParameteri(target_, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
}

grMipmapGeneration::~grMipmapGeneration() {
  glTexParameteri(target_, GL_GENERATE_MIPMAP_SGIS, GL_FALSE);
}

}  // namespace libgr
