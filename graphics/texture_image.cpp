// Image texture uploads: what differs between the four kinds, written as one
// row of rules each, and the one flow that sends the images of any kind (or
// refreshes the pixels of a 2-D texture): colour maps, base level
// (generation, GLU or compressed), further levels, parameters, border colour.
#include "graphics/texture_image.h"

#include <GL/glext.h>

#include <string>

#include "graphics/extensions.h"
#include "graphics/pixel_source.h"
#include "graphics/pixel_transfer.h"
#include "graphics/texture_levels.h"

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

namespace {

// ---------------------------------------------------------------------------
// What differs between the kinds

// Which entries the texture's compress flag reaches.
enum class CompressFlag { EveryEntry, MipmappedBaseOnly };

// Which defined levels keep the texture's border (level 0 always does).
enum class LevelBorder { EveryLevel, AboveZeroWhenMipmapped, LevelZeroOnly };

// Side of every level (a generated base included): the size's power of two
// plus the border, or a power of two that leaves room for the border within
// the size. One rule for all levels of a kind keeps a bordered chain
// consistent with its level 0.
enum class LevelSides { SizePlusBorder, BorderWithinSize };

// Border argument of compressed images and of a generated base level. For
// compressed images, levels above a mipmapped base get none unless generation
// was probed.
enum class CompressedBorder { Texture, None, NoneAboveAnUngeneratedBase };

// Whether images can be sent at all.
enum class EntryPoints { Core, Texture3D };

struct UploadRules {
  GLenum target;           // the generation switch, parameters and border colour
  GLenum firstFaceTarget;  // images of face k go to firstFaceTarget + k
  std::size_t faces;       // images per level
  CompressFlag compress;
  LevelBorder levelBorder;
  LevelSides levelSides;
  CompressedBorder compressedBorder;
  EntryPoints entryPoints;
};

constexpr UploadRules k1D = {GL_TEXTURE_1D,
                             GL_TEXTURE_1D,
                             1,
                             CompressFlag::MipmappedBaseOnly,
                             LevelBorder::EveryLevel,
                             LevelSides::SizePlusBorder,
                             CompressedBorder::Texture,
                             EntryPoints::Core};
constexpr UploadRules k2D = {GL_TEXTURE_2D,
                             GL_TEXTURE_2D,
                             1,
                             CompressFlag::EveryEntry,
                             LevelBorder::AboveZeroWhenMipmapped,
                             LevelSides::BorderWithinSize,
                             CompressedBorder::Texture,
                             EntryPoints::Core};
constexpr UploadRules k3D = {GL_TEXTURE_3D,
                             GL_TEXTURE_3D,
                             1,
                             CompressFlag::EveryEntry,
                             LevelBorder::AboveZeroWhenMipmapped,
                             LevelSides::BorderWithinSize,
                             CompressedBorder::NoneAboveAnUngeneratedBase,
                             EntryPoints::Texture3D};
constexpr UploadRules kCubeMap = {GL_TEXTURE_CUBE_MAP,
                                  GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                                  6,
                                  CompressFlag::EveryEntry,
                                  LevelBorder::LevelZeroOnly,
                                  LevelSides::BorderWithinSize,
                                  CompressedBorder::None,
                                  EntryPoints::Core};

bool canSend(const UploadRules& rules) {
  // Without the 3-D entry points no image can be sent; the parameters can.
  return rules.entryPoints == EntryPoints::Core || (grTexImage3D && grTexSubImage3D);
}

GLint generatedBorder(const UploadRules& rules, GLint border) {
  return rules.compressedBorder == CompressedBorder::None ? 0 : border;
}

GLsizei sideOf(const UploadRules& rules, uint32_t size, GLint border, GLint level) {
  const bool within = border && rules.levelSides == LevelSides::BorderWithinSize;
  return levelSide(within ? (size > 2 ? size - 2 : 0) : size, border, level);
}

GLsizei generatedSide(const UploadRules& rules, uint32_t size, GLint border) {
  return sideOf(rules, size, generatedBorder(rules, border), 0);
}

GLint borderOfCompressed(const UploadRules& rules, GLint border, bool aboveMipmappedBase) {
  switch (rules.compressedBorder) {
    case CompressedBorder::Texture:
      return border;
    case CompressedBorder::None:
      return 0;
    case CompressedBorder::NoneAboveAnUngeneratedBase:
      return aboveMipmappedBase && !grHasGenerateMipmap ? 0 : border;
  }
  return border;
}

GLint definedBorder(const UploadRules& rules, GLint border, GLint level, bool mipmapped) {
  if (level == 0) return border;
  switch (rules.levelBorder) {
    case LevelBorder::EveryLevel:
      return border;
    case LevelBorder::AboveZeroWhenMipmapped:
      return mipmapped ? border : 0;
    case LevelBorder::LevelZeroOnly:
      return 0;
  }
  return border;
}

bool generating(const grPixelFormat& f) {
  return grHasGenerateMipmap && supportsGenerateMipmap(f.internalFormat);
}

// ---------------------------------------------------------------------------
// How an image reaches its level: apply() defines every level, update()
// re-sends pixels into the levels apply() defined. Both run inside the
// image's envelope.

struct DefineLevels {
  template <typename Image>
  std::string generatedBase(GLenum target, GLenum switchTarget, grPixelFormat f, const Image& image,
                            GLsizei side, GLint border) const {
    const grPixelSource source(image, f);
    const grMipmapGeneration generation(switchTarget);
    if (image.compressed) return sendCompressed(target, 0, f, image, border);
    return defineGeneratedBase(target, f, image, source.data(), side, border);
  }
  template <typename Image>
  std::string compressed(GLenum target, GLint level, const grPixelFormat& f, const Image& image,
                         GLint border) const {
    return sendCompressed(target, level, f, image, border);
  }
  template <typename Image>
  std::string level(GLenum target, GLint level, grPixelFormat f, const Image& image, GLsizei side,
                    GLint border) const {
    const grPixelSource source(image, f);
    return defineAndFill(target, level, f, image, source.data(), side, border);
  }
};

struct RefillLevels {
  std::string generatedBase(GLenum target, GLenum switchTarget, const grPixelFormat& f,
                            const grImage2D& image, GLsizei side, GLint border) const {
    const grMipmapGeneration generation(switchTarget);
    if (image.compressed) return compressed(target, 0, f, image, border);
    return level(target, 0, f, image, side, border);
  }
  std::string compressed(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                         GLint border) const {
    return sendCompressedSub(target, level, f, image, border);
  }
  std::string level(GLenum target, GLint level, grPixelFormat f, const grImage2D& image,
                    GLsizei side, GLint border) const {
    const grPixelSource source(image, f);
    return refillLevel(target, level, f, image, source.data(), side, border);
  }
};

// ---------------------------------------------------------------------------
// The upload

template <typename Image, typename Params, typename Levels>
class Upload {
 public:
  Upload(const grImageTexture<Image, Params>& texture, const UploadRules& rules, Levels levels)
      : texture_(texture),
        images_(texture.images()),
        rules_(rules),
        levels_(levels),
        border_(texture.border() ? 1 : 0) {}

  // Returns why level 0 got no image, empty when it got one.
  std::string run() {
    if (images_.empty()) return "the texture holds no image";
    grColorMapGuard maps;
    maps.apply(images_[0].colorMaps);
    const std::string problem = canSend(rules_) ? sendImages(maps.active())
                                                : "the 3-D entry points were not fetched "
                                                  "(probeTexture3D)";
    applyTexParams(texture_.params());
    applyBorderColor(rules_.target, texture_.borderColor());
    maps.restore();
    return problem;
  }

 private:
  // Level 0 got its image when every face did; the first face that did not
  // names the problem.
  std::string sendImages(bool mapsActive) {
    const std::size_t levels = images_.size() / rules_.faces;  // complete sets only
    std::string problem;
    const auto base = [&](std::size_t face, const std::string& why) {
      if (problem.empty() && !why.empty()) problem = onFace(face, why);
    };
    std::size_t first = 0;
    if (texture_.mipmapped()) {
      for (std::size_t face = 0; face < rules_.faces; ++face)
        base(face, face < images_.size() ? sendBase(face, mapsActive) : "there is no image");
      first = 1;
    } else if (levels == 0) {
      problem =
          "its " + std::to_string(images_.size()) + " images make no complete level of six faces";
    }
    for (std::size_t level = first; level < levels; ++level) {
      for (std::size_t face = 0; face < rules_.faces; ++face) {
        const std::string why = sendLevel(GLint(level), face);
        if (level == 0) base(face, why);
      }
    }
    return problem;
  }

  std::string onFace(std::size_t face, const std::string& why) const {
    static const char* const names[] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
    return rules_.faces == 1 ? why : std::string("face ") + names[face] + ": " + why;
  }

  // Level 0 of a mipmapped upload: generated by GL when it can, compressed
  // data as it stands, else built from the image.
  std::string sendBase(std::size_t face, bool mapsActive) {
    const Image& image = images_[face];
    grPixelFormat f;
    if (std::string why = prepareImage(image, texture_.compress(), f); !why.empty()) return why;
    grUnpackScope scope(image.pixelStore, image.unpack);
    const GLenum target = rules_.firstFaceTarget + GLenum(face);
    const GLsizei side = generatedSide(rules_, texture_.size(), border_);
    if (generating(f))
      return levels_.generatedBase(target, rules_.target, f, image, side,
                                   generatedBorder(rules_, border_));
    if (image.compressed)
      return levels_.compressed(target, 0, f, image, borderOfCompressed(rules_, border_, false));
    return buildFromBase(target, f, image, side, border_, mapsActive);
  }

  std::string sendLevel(GLint level, std::size_t face) {
    const Image& image = images_[std::size_t(level) * rules_.faces + face];
    const bool compress = rules_.compress == CompressFlag::EveryEntry && texture_.compress();
    grPixelFormat f;
    if (std::string why = prepareImage(image, compress, f); !why.empty()) return why;
    grUnpackScope scope(image.pixelStore, image.unpack);
    const GLenum target = rules_.firstFaceTarget + GLenum(face);
    const bool mipmapped = texture_.mipmapped();
    if (image.compressed)
      return levels_.compressed(target, level, f, image,
                                borderOfCompressed(rules_, border_, mipmapped));
    const GLint border = definedBorder(rules_, border_, level, mipmapped);
    return levels_.level(target, level, f, image, sideOf(rules_, texture_.size(), border, level),
                         border);
  }

  const grImageTexture<Image, Params>& texture_;
  const std::vector<Image>& images_;
  const UploadRules& rules_;
  Levels levels_;
  GLint border_;
};

template <typename Image, typename Params, typename Levels>
std::string upload(const grImageTexture<Image, Params>& texture, const UploadRules& rules,
                   Levels levels) {
  return Upload<Image, Params, Levels>(texture, rules, levels).run();
}

}  // namespace

void grTexture1D::apply() { tellBaseLevel(upload(*this, k1D, DefineLevels{})); }
void grTexture2D::apply() { tellBaseLevel(upload(*this, k2D, DefineLevels{})); }
void grTexture2D::update() { tellBaseLevel(upload(*this, k2D, RefillLevels{})); }
void grTexture3D::apply() { tellBaseLevel(upload(*this, k3D, DefineLevels{})); }
void grTextureCubeMap::apply() { tellBaseLevel(upload(*this, kCubeMap, DefineLevels{})); }

}  // namespace libgr
