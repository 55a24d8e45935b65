// grTexturable tree, grTextureObject, parameter application and conversions.
#include "graphics/texture_object.h"

#include <GL/glext.h>

#include <cmath>
#include <initializer_list>
#include <limits>

#include "graphics/extensions.h"

namespace libgr {

grTexturable::~grTexturable() {}
grTexturableImage::~grTexturableImage() {}
grTexturableObject::~grTexturableObject() {}

grTextureObject::~grTextureObject() { cell_.release(); }

void grTextureObject::create(grTexturable& source) {
  if (cell_.empty()) cell_.attachNew();
  target_ = targetForDimension(source.dimension());
  grTextureName& name = cell_.payload();
  if (!name.valid) {
    glGenTextures(1, &name.id);
    name.valid = true;
  }
  glBindTexture(target_, cell_.name());
  source.apply();
  loaded_ = true;
  source_ = &source;
}

void grTextureObject::apply() { glBindTexture(target_, cell_.name()); }

void grTextureObject::update() {
  if (!loaded_) return;
  glBindTexture(target_, cell_.name());
  source_->update();
}

void grTextureObject::release() {
  if (!loaded_) return;
  if (cell_.valid()) cell_.payload().destroy();
  target_ = GL_INVALID_ENUM;
  loaded_ = false;
}

bool grTextureObject::isResident() const {
  // A cell without a valid name has nothing to ask about (and asking with
  // grInvalidName would only raise GL_INVALID_VALUE).
  if (!cell_.valid()) return false;
  const GLuint name = cell_.name();
  GLboolean flag = GL_FALSE;
  // When every texture asked about is resident GL answers GL_TRUE and leaves
  // the flags untouched, so the answer counts as much as the flag.
  const GLboolean all = glAreTexturesResident(1, &name, &flag);
  return all == GL_TRUE || flag == GL_TRUE;
}

int grTextureObject::dimension() const { return dimensionForTarget(target_); }

namespace {

// Truncates toward zero, saturating where a float has no int value.
GLint truncateToInt(float value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<float>(std::numeric_limits<GLint>::max()))
    return std::numeric_limits<GLint>::max();
  if (value <= static_cast<float>(std::numeric_limits<GLint>::min()))
    return std::numeric_limits<GLint>::min();
  return static_cast<GLint>(value);
}

void applyFilters(GLenum target, GLint minFilter, GLint magFilter) {
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter);
}

// Filters, then one wrap mode per listed coordinate, S, T, R in order.
void applyFiltersAndWraps(GLenum target, GLint minFilter, GLint magFilter,
                          std::initializer_list<GLint> wraps) {
  applyFilters(target, minFilter, magFilter);
  const GLenum coordinates[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
  const GLenum* coordinate = coordinates;
  for (GLint wrap : wraps) glTexParameteri(target, *coordinate++, wrap);
}

void applyAnisotropy(GLenum target, float maxAnisotropy) {
  if (grHasAnisotropy)
    glTexParameteri(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, truncateToInt(maxAnisotropy));
}

}  // namespace

void applyTexParams(const grTexParams1D* params) {
  if (!params) return;
  applyFiltersAndWraps(GL_TEXTURE_1D, params->minFilter, params->magFilter, {params->wrapS});
}

void applyTexParams(const grTexParams2D* params) {
  if (!params) return;
  applyFiltersAndWraps(GL_TEXTURE_2D, params->minFilter, params->magFilter,
                       {params->wrapS, params->wrapT});
  applyAnisotropy(GL_TEXTURE_2D, params->maxAnisotropy);
}

void applyTexParams(const grTexParams3D* params) {
  if (!params) return;
  applyFiltersAndWraps(GL_TEXTURE_3D, params->minFilter, params->magFilter,
                       {params->wrapS, params->wrapT, params->wrapR});
  applyAnisotropy(GL_TEXTURE_3D, params->maxAnisotropy);
}

void applyTexParams(const grTexParamsCubeMap* params) {
  if (!params) return;
  applyFiltersAndWraps(GL_TEXTURE_CUBE_MAP, params->minFilter, params->magFilter, {});
  applyAnisotropy(GL_TEXTURE_CUBE_MAP, params->maxAnisotropy);
}

void applyBorderColor(GLenum target, const float* rgba) {
  if (rgba) glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, rgba);
}

GLenum targetForDimension(int dimension) {
  switch (dimension) {
    case 1:
      return GL_TEXTURE_1D;
    case 2:
      return GL_TEXTURE_2D;
    case 3:
      return GL_TEXTURE_3D;
    case 6:
      return GL_TEXTURE_CUBE_MAP;
    default:
      return GL_INVALID_ENUM;
  }
}

int dimensionForTarget(GLenum target) {
  switch (target) {
    case GL_TEXTURE_1D:
      return 1;
    case GL_TEXTURE_2D:
      return 2;
    case GL_TEXTURE_3D:
      return 3;
    case GL_TEXTURE_CUBE_MAP:
      return 6;
    default:
      return 0;
  }
}

}  // namespace libgr
