// The photograph upload recipe.
#include "scene/photo_texture.h"

#include <GL/gl.h>

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

}  // namespace

libgr::grTexParams2D photographTexParams() {
  return libgr::grTexParams2D(kMinFilter, kMagFilter, kWrap, kWrap, kNoAnisotropy);
}

void describePhotographTexture(libgr::grTexture2D& texture, const libgr::grImage2D& image,
                               libgr::grTexParams2D& params) {
  // A fresh texture each time: its size only grows, and a reload must be
  // sized by the new picture alone.
  texture = libgr::grTexture2D();
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);

  // The anisotropy is left as it is: nothing switches it on.
  params.minFilter = kMinFilter;
  params.magFilter = kMagFilter;
  params.wrapS = kWrap;
  params.wrapT = kWrap;
  texture.setParams(&params);
}

bool uploadPhotograph(libgr::grBmpFile& bitmap, libgr::grImage2D& image,
                      libgr::grTexture2D& texture, libgr::grTexParams2D& params,
                      libgr::grTextureObject& object) {
  if (!libgr::bmpToImage(image, bitmap)) return false;
  describePhotographTexture(texture, image, params);
  object.create(texture);  // binds the name, uploads with mipmaps
  return boundTextureHasLevelZero();
}
