// A photograph file as a texture: read, take the route the picture needs, upload.
#include "photo/photo_texture.h"

#include <GL/gl.h>

#include <vector>

#include "graphics/mip_chain.h"
#include "utilities/startup_heap.h"

namespace libgr {

namespace {

constexpr GLint kMinFilter = GL_LINEAR_MIPMAP_LINEAR;
constexpr GLint kMagFilter = GL_LINEAR;
constexpr GLint kWrap = GL_REPEAT;
constexpr float kNoAnisotropy = 1.0f;

// Whether the texture bound to GL_TEXTURE_2D holds a level 0. The upload
// reports nothing, and an image GL refused would otherwise be drawn as an
// untextured grey square.
bool boundTextureHasLevelZero() {
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  return width > 0;
}

// What a GL driver that keeps textures in system memory takes for the chain
// of a picture of this size: four bytes a texel (RGB is stored as RGBX),
// a third more for the levels, and some for its own alignment.
uint64_t driverChainBytes(grPhotoSize stored) {
  const grLevelSize base =
      gluBaseLevelSize(stored.width, stored.height, grPhotoTexture::kProvisionalLargestSide);
  return uint64_t(base.width) * base.height * 4 * 4 / 3 + (uint64_t(1) << 20);
}

GLint largestTextureSide() {
  GLint side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
  return side > 0 ? side : 64;  // 64 is the least GL allows
}

}  // namespace

grTexParams2D photographTexParams() {
  return grTexParams2D(kMinFilter, kMagFilter, kWrap, kWrap, kNoAnisotropy);
}

struct grPhotoTexture::Parts {
  grPhotoFile file;
  grImage2D image;
  std::vector<grImage2D> levels;  // the CPU chain, built by prepare
  grTexParams2D params = photographTexParams();
  grTexture2D gluTexture;  // the GLU route
  grTextureChain2D chain;  // the CPU chain
  grTextureObject object;  // released first: declared last
  std::string problem;
  bool prepared = false;
  bool loaded = false;
  bool builtByGlu = false;

  bool uploadByGlu();
  bool uploadChain();
};

// The GLU route (BMP pictures), exactly as photographs always were uploaded: a fresh
// mipmapped texture of the image as level 0, one gluBuild2DMipmaps.
bool grPhotoTexture::Parts::uploadByGlu() {
  gluTexture = grTexture2D();  // its size only grows: a reload is sized by the new picture alone
  gluTexture.setMipmapped(true);
  gluTexture.setImage(image, 0, 0);
  gluTexture.setParams(&params);
  builtByGlu = true;
  object.create(gluTexture);
  return boundTextureHasLevelZero();
}

// The prepared levels as they are. They were made for the provisional
// largest side; a GL whose largest side is smaller gets them made again.
bool grPhotoTexture::Parts::uploadChain() {
  const grLevelSize base =
      gluBaseLevelSize(file.fullSize.width, file.fullSize.height, uint32_t(largestTextureSide()));
  if (levels.empty() || uint32_t(levels[0].width) != base.width ||
      uint32_t(levels[0].height) != base.height) {
    if (!buildMipChain(image, base, levels)) return false;
  }
  chain = grTextureChain2D();
  file.spareBlock.clear();  // just before the driver allocates the storage: see grPhotoFile
  chain.setImages(levels.begin(), levels.end(), 0, 0);
  chain.setParams(&params);
  builtByGlu = false;
  object.create(chain);
  return chain.baseLevelSent() && boundTextureHasLevelZero();
}

grPhotoTexture::grPhotoTexture() : parts_(std::make_unique<Parts>()) {}
grPhotoTexture::~grPhotoTexture() = default;
grPhotoTexture::grPhotoTexture(grPhotoTexture&&) noexcept = default;
grPhotoTexture& grPhotoTexture::operator=(grPhotoTexture&&) noexcept = default;

bool grPhotoTexture::prepare(const char* path) {
  if (!parts_) parts_ = std::make_unique<Parts>();
  Parts& p = *parts_;
  p.prepared = false;
  p.problem.clear();
  p.levels.clear();
  // CPU-chain pictures are decoded just large enough for the base level GLU
  // would choose, and brought to that size.
  const grCoverSize baseLevel = [](grPhotoSize upright) {
    const grLevelSize base =
        gluBaseLevelSize(upright.width, upright.height, kProvisionalLargestSide);
    return grPhotoSize{base.width, base.height};
  };
  // Only a heap that keeps freed pages lets the driver's storage take the
  // spare block's; without one the larger block would only hide a reader's
  // overrun from a guard page or a sanitizer.
  p.file.decodeBlockBytes =
      libutils::StartupHeap::anyActive() ? grBlockBytes(driverChainBytes) : grBlockBytes();
  if (!p.file.read(path, p.image, baseLevel, baseLevel)) {
    p.problem = p.file.problem;
    return false;
  }
  if (p.file.route == grUploadRoute::cpuChain) {
    const grLevelSize base =
        gluBaseLevelSize(p.file.fullSize.width, p.file.fullSize.height, kProvisionalLargestSide);
    if (!buildMipChain(p.image, base, p.levels)) {
      p.problem = "its levels could not be made";
      return false;
    }
  }
  p.prepared = true;
  return true;
}

bool grPhotoTexture::upload() {
  if (!parts_ || !parts_->prepared) return false;
  Parts& p = *parts_;
  p.loaded = false;
  const bool uploaded =
      p.file.route == grUploadRoute::gluMipmaps ? p.uploadByGlu() : p.uploadChain();
  if (!uploaded) {
    p.problem = "OpenGL took no image from it";
    return false;
  }
  p.loaded = true;
  return true;
}

bool grPhotoTexture::load(const char* path) {
  if (parts_) parts_->loaded = false;
  return prepare(path) && upload();
}

void grPhotoTexture::setMaxPixels(uint64_t pixels) {
  if (!parts_) parts_ = std::make_unique<Parts>();
  parts_->file.maxPixels = pixels;
}

void grPhotoTexture::apply() {
  if (isLoaded()) parts_->object.apply();
}

void grPhotoTexture::update() {
  if (isLoaded()) parts_->object.update();
}

bool grPhotoTexture::isLoaded() const {
  return parts_ && parts_->loaded && parts_->object.isLoaded();
}

namespace {
const std::string kNothing;
const grPhotoFile kNoFile;
const grImage2D kNoImage;
const grTexParams2D kNoParams = photographTexParams();
const grTextureObject kNoObject;
}  // namespace

const std::string& grPhotoTexture::problem() const { return parts_ ? parts_->problem : kNothing; }
const std::string& grPhotoTexture::flaw() const { return parts_ ? parts_->file.flaw : kNothing; }
const grPhotoFile& grPhotoTexture::file() const { return parts_ ? parts_->file : kNoFile; }
const grImage2D& grPhotoTexture::image() const { return parts_ ? parts_->image : kNoImage; }
const grTexParams2D& grPhotoTexture::params() const { return parts_ ? parts_->params : kNoParams; }
const grTextureObject& grPhotoTexture::object() const {
  return parts_ ? parts_->object : kNoObject;
}
bool grPhotoTexture::builtByGlu() const { return parts_ && parts_->builtByGlu; }

}  // namespace libgr
