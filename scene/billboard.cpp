// BillBoard: loading a photograph into a mipmapped texture and drawing it as
// a textured, lit square placed by its frame.
#include "scene/billboard.h"

#include <GL/gl.h>

#include "graphics/gl_wrappers.h"
#include "math/rotation.h"

namespace {

// Filters and wraps of every photograph: trilinear minification, linear
// magnification. Anisotropy is never probed by the scene; 1 means none.
constexpr GLint kMinFilter = GL_LINEAR_MIPMAP_LINEAR;
constexpr GLint kMagFilter = GL_LINEAR;
constexpr GLint kWrap = GL_REPEAT;
constexpr float kNoAnisotropy = 1.0f;

// The model-view matrix saved for a scope, with GL_MODELVIEW left current.
class ModelViewScope {
 public:
  ModelViewScope() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
  }
  ~ModelViewScope() { glPopMatrix(); }
  ModelViewScope(const ModelViewScope&) = delete;
  ModelViewScope& operator=(const ModelViewScope&) = delete;
};

// 2-D texturing switched on for a scope.
class Texture2DScope {
 public:
  Texture2DScope() { glEnable(GL_TEXTURE_2D); }
  ~Texture2DScope() { glDisable(GL_TEXTURE_2D); }
  Texture2DScope(const Texture2DScope&) = delete;
  Texture2DScope& operator=(const Texture2DScope&) = delete;
};

// Whether the texture bound to GL_TEXTURE_2D holds a level 0. The upload
// reports nothing, and an image GL refused would otherwise be drawn as an
// untextured grey square.
bool boundTextureHasLevelZero() {
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  return width > 0;
}

}  // namespace

BillBoard::BillBoard() : texParams(kMinFilter, kMagFilter, kWrap, kWrap, kNoAnisotropy) {}

bool BillBoard::load(const char* path, const libgr::grFrame& placement,
                     const libgr::grRect& extent) {
  loaded = false;
  failure.clear();
  flaw.clear();
  if (!bitmap.read(path) || !libgr::bmpToImage(image, bitmap)) {
    failure = libgr::bmpProblemText(bitmap.problem);
    return false;
  }
  if (bitmap.flaw.error != libgr::grBmpError::none) flaw = libgr::bmpProblemText(bitmap.flaw);

  // A fresh texture each time: its size only grows, and a reload must be
  // sized by the new picture alone.
  texture = libgr::grTexture2D();
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);

  texParams.minFilter = kMinFilter;
  texParams.magFilter = kMagFilter;
  texParams.wrapS = kWrap;
  texParams.wrapT = kWrap;
  texture.setParams(&texParams);

  textureObject.create(texture);  // binds the name, uploads with mipmaps
  if (!boundTextureHasLevelZero()) {
    failure = "OpenGL took no image from it";
    return false;
  }

  frame = placement;
  rect = extent;
  loaded = true;
  return true;
}

void BillBoard::render() {
  if (!loaded || !textureObject.isLoaded()) return;

  ModelViewScope modelView;
  // Placed by position first, then turned about the square's own origin.
  libgr::grTranslate(frame.position);
  if (libgr::isNonIdentity(frame.rotation)) libgr::grRotate(frame.rotation);
  {
    Texture2DScope texturing;
    // The photograph's colours scale the lit material colour.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    textureObject.apply();
    {
      libgr::grBeginEnd quad(GL_QUADS);
      glNormal3f(0.0f, 0.0f, 1.0f);
      // Counter-clockwise seen from +z; BMP rows are bottom-up, so texture
      // row 0 is the picture's bottom edge.
      glTexCoord2f(0.0f, 0.0f);
      glVertex2f(rect.minX, rect.minY);
      glTexCoord2f(1.0f, 0.0f);
      glVertex2f(rect.maxX, rect.minY);
      glTexCoord2f(1.0f, 1.0f);
      glVertex2f(rect.maxX, rect.maxY);
      glTexCoord2f(0.0f, 1.0f);
      glVertex2f(rect.minX, rect.maxY);
    }
    glFlush();
  }
}
