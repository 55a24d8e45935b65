// Level definition, fills, compressed data, GLU chains and the generation
// switch, per image kind.
#include "graphics/texture_levels.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <string>
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

// "300-wide", "420 x 276", "8 x 8 x 8": sides in words, for problems.
std::string sidesText(int dimensions, GLsizei width, GLsizei height, GLsizei depth) {
  if (dimensions == 1) return std::to_string(width) + "-wide";
  const std::string area = std::to_string(width) + " x " + std::to_string(height);
  return dimensions == 2 ? area : area + " x " + std::to_string(depth);
}
std::string sidesText(const grImage1D& image) { return sidesText(1, image.width, 1, 1); }
std::string sidesText(const grImage2D& image) { return sidesText(2, image.width, image.height, 1); }
std::string sidesText(const grImage3D& image) {
  return sidesText(3, image.width, image.height, image.depth);
}
int dimensionsOf(const grImage1D&) { return 1; }
int dimensionsOf(const grImage2D&) { return 2; }
int dimensionsOf(const grImage3D&) { return 3; }

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
std::string fillDefinedLevel(GLenum target, GLint level, const grPixelFormat& f, const Image& image,
                             const void* data, GLsizei side, GLint border) {
  if (!fitsLevel(image, side))
    return "the " + sidesText(image) + " image is larger than its " +
           sidesText(dimensionsOf(image), side, side, side) + " level";
  if (border) {
    if (!hasInterior(image))
      return "the " + sidesText(image) + " image has nothing inside its border";
    skipBorder(image);
  }
  fillLevel(target, level, f, image, border, data);
  return {};
}

template <typename Image>
std::string defineAndFillImage(GLenum target, GLint level, const grPixelFormat& f,
                               const Image& image, const void* data, GLsizei side, GLint border) {
  if (border && fillsLevelExactly(image, side)) {
    defineLevel(target, level, f, image, side, border, data);
    return {};
  }
  defineLevel(target, level, f, image, side, border);
  return fillDefinedLevel(target, level, f, image, data, side, border);
}

template <typename Image>
std::string defineGeneratedBaseImage(GLenum target, const grPixelFormat& f, const Image& image,
                                     const void* data, GLsizei side, GLint border) {
  if (fillsLevelExactly(image, side)) {
    defineLevel(target, 0, f, image, side, border, data);
    return {};
  }
  return defineAndFillImage(target, 0, f, image, data, side, border);
}

const char* const kNoCompression =
    "the image is compressed and texture compression is not available "
    "(probeTextureCompression)";

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
template <typename Image>
std::string beyondMaxTextureSize(const Image& image, GLsizei height) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (image.width <= largest && height <= largest) return {};
  return "the " + sidesText(image) + " colour-index image is larger than GL's largest texture, " +
         std::to_string(largest) + " a side";
}

// What GLU's answer says about the chain it was asked to build.
std::string gluProblem(GLint error) {
  if (error == 0) return {};
  const GLubyte* text = gluErrorString(GLenum(error));
  return "GLU refused the image: " +
         (text ? std::string(reinterpret_cast<const char*>(text)) : std::to_string(error));
}

// Colour indices become colours at level 0 first; GLU builds from those.
const char* const kRefusedIndices = "GL refused the colour-index image at level 0";

std::string buildMipmaps(GLenum target, const grPixelFormat& f, const grImage1D& image,
                         const void* data, bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX)
    return gluProblem(
        gluBuild1DMipmaps(target, GLint(f.internalFormat), image.width, f.format, f.type, data));
  if (std::string problem = beyondMaxTextureSize(image, 1); !problem.empty()) return problem;
  glTexImage1D(target, 0, f.internalFormat, image.width, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return kRefusedIndices;
  MapColorPause pause(mapColorOn);
  return gluProblem(gluBuild1DMipmaps(target, GLint(f.internalFormat), width, GL_RGB,
                                      GL_UNSIGNED_BYTE, rgb.data()));
}

std::string buildMipmaps(GLenum target, const grPixelFormat& f, const grImage2D& image,
                         const void* data, bool mapColorOn) {
  if (f.format != GL_COLOR_INDEX) {
    const grGluSource source(f, image, data);
    return gluProblem(gluBuild2DMipmaps(target, GLint(f.internalFormat), image.width, image.height,
                                        f.format, f.type, source.data()));
  }
  if (std::string problem = beyondMaxTextureSize(image, image.height); !problem.empty())
    return problem;
  glTexImage2D(target, 0, f.internalFormat, image.width, image.height, 0, f.format, f.type, data);
  GLsizei width = 0, height = 0;
  const std::vector<unsigned char> rgb = readBaseLevelColors(target, width, height);
  if (rgb.empty()) return kRefusedIndices;
  MapColorPause pause(mapColorOn);
  return gluProblem(gluBuild2DMipmaps(target, GLint(f.internalFormat), width, height, GL_RGB,
                                      GL_UNSIGNED_BYTE, rgb.data()));
}

}  // namespace

std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage1D& image, const void* data, GLsizei side, GLint border) {
  return defineAndFillImage(target, level, f, image, data, side, border);
}
std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage2D& image, const void* data, GLsizei side, GLint border) {
  return defineAndFillImage(target, level, f, image, data, side, border);
}
std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage3D& image, const void* data, GLsizei side, GLint border) {
  return defineAndFillImage(target, level, f, image, data, side, border);
}

std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage1D& image,
                                const void* data, GLsizei side, GLint border) {
  return defineGeneratedBaseImage(target, f, image, data, side, border);
}
std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage2D& image,
                                const void* data, GLsizei side, GLint border) {
  return defineGeneratedBaseImage(target, f, image, data, side, border);
}
std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage3D& image,
                                const void* data, GLsizei side, GLint border) {
  return defineGeneratedBaseImage(target, f, image, data, side, border);
}

std::string refillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                        const void* data, GLsizei side, GLint border) {
  if (border && fillsLevelExactly(image, side)) {
    defineLevel(target, level, f, image, side, border, data);
    return {};
  }
  return fillDefinedLevel(target, level, f, image, data, side, border);
}

std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage1D& image, GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage1D) return kNoCompression;
  grCompressedTexImage1D(target, level, f.internalFormat, image.width, border,
                         GLsizei(image.pixels.size()), image.pixels.begin());
  return {};
}
std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage2D& image, GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage2D) return kNoCompression;
  grCompressedTexImage2D(target, level, f.internalFormat, image.width, image.height, border,
                         GLsizei(image.pixels.size()), image.pixels.begin());
  return {};
}
std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage3D& image, GLint border) {
  if (!grHasTextureCompression || !grCompressedTexImage3D) return kNoCompression;
  grCompressedTexImage3D(target, level, f.internalFormat, image.width, image.height, image.depth,
                         border, GLsizei(image.pixels.size()), image.pixels.begin());
  return {};
}

std::string sendCompressedSub(GLenum target, GLint level, const grPixelFormat& f,
                              const grImage2D& image, GLint border) {
  if (!grHasTextureCompression || !grCompressedTexSubImage2D) return kNoCompression;
  grCompressedTexSubImage2D(target, level, -border, -border, image.width, image.height,
                            f.internalFormat, GLsizei(image.pixels.size()), image.pixels.begin());
  return {};
}

std::string buildFromBase(GLenum target, grPixelFormat f, const grImage1D& image, GLsizei, GLint,
                          bool mapColorOn) {
  const grPixelSource source(image, f);
  return buildMipmaps(target, f, image, source.data(), mapColorOn);
}
std::string buildFromBase(GLenum target, grPixelFormat f, const grImage2D& image, GLsizei, GLint,
                          bool mapColorOn) {
  const grPixelSource source(image, f);
  return buildMipmaps(target, f, image, source.data(), mapColorOn);
}
std::string buildFromBase(GLenum target, grPixelFormat f, const grImage3D& image, GLsizei side,
                          GLint border, bool) {
  const grPixelSource source(image, f);
  return defineAndFillImage(target, 0, f, image, source.data(), side, border);
}

grMipmapGeneration::grMipmapGeneration(GLenum target) : target_(target) {
  glTexParameteri(target_, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
}

grMipmapGeneration::~grMipmapGeneration() {
  glTexParameteri(target_, GL_GENERATE_MIPMAP_SGIS, GL_FALSE);
}

}  // namespace libgr
