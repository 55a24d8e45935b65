// BillBoard: loading a photograph into a mipmapped texture and drawing it as
// a textured, lit square placed by its frame.
#include "scene/billboard.h"

#include <GL/gl.h>

#include "graphics/gl_wrappers.h"
#include "math/rotation.h"
#include "scene/gl_scopes.h"

BillBoard::BillBoard() = default;

bool BillBoard::load(const char* path, const libgr::grFrame& placement,
                     const libgr::grRect& extent) {
  return prepare(path) && show(placement, extent);
}

bool BillBoard::prepare(const char* path) {
  loaded = false;
  failure.clear();
  flaw.clear();
  if (!photo.prepare(path)) {
    failure = photo.problem();
    return false;
  }
  return true;
}

bool BillBoard::show(const libgr::grFrame& placement, const libgr::grRect& extent) {
  loaded = false;
  if (!failure.empty() || !photo.upload()) {
    if (failure.empty()) failure = photo.problem();
    return false;
  }
  flaw = photo.flaw();

  frame = placement;
  rect = extent;
  loaded = true;
  return true;
}

void BillBoard::render() {
  if (!loaded || !photo.isLoaded()) return;

  scenegl::MatrixScope modelView(GL_MODELVIEW);
  // Placed by position first, then turned about the square's own origin.
  libgr::grTranslate(frame.position);
  if (libgr::isNonIdentity(frame.rotation)) libgr::grRotate(frame.rotation);
  {
    scenegl::EnabledScope texturing(GL_TEXTURE_2D);
    // The photograph's colours scale the lit material colour.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    photo.apply();
    {
      libgr::grBeginEnd quad(GL_QUADS);
      glNormal3f(0.0f, 0.0f, 1.0f);
      // Counter-clockwise seen from +z; the readers give rows bottom-up, so texture
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
