// The example's scene objects and application: GL state set once in init,
// a fixed camera, the picture quad and the spinning display-listed torus.
#include "quad_app.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "graphics/gl_wrappers.h"
#include "graphics/matrix_guard.h"
#include "utilities/clock.h"

namespace {

const libgr::grVec4 kBackground{0.10f, 0.10f, 0.15f, 1.0f};
const libgr::grVec4 kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const libgr::grVec4 kAmbient{0.25f, 0.25f, 0.25f, 1.0f};
const libgr::grVec4 kTorusColour{0.85f, 0.15f, 0.10f, 1.0f};

// glPushAttrib for a scope, so every enable and texture setting a block
// changes is put back however it is left.
class AttribScope {
 public:
  explicit AttribScope(GLbitfield mask) { glPushAttrib(mask); }
  ~AttribScope() { glPopAttrib(); }
  AttribScope(const AttribScope&) = delete;
  AttribScope& operator=(const AttribScope&) = delete;
};

}  // namespace

void PictureQuad::render() {
  if (!photo_.isLoaded()) return;
  AttribScope keep(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_LIGHTING_BIT);
  glEnable(GL_TEXTURE_2D);
  // Modulate: the picture times the lit white material.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  libgr::grMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kWhite);
  photo_.apply();
  libgr::grBeginEnd quad(GL_QUADS);
  glNormal3f(0.0f, 0.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-1.0f, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-1.0f, 1.0f);
}

void Torus::render() {
  // The material is recorded into the list with the geometry.
  libgr::grMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kTorusColour);
  libgr::grMaterial(GL_FRONT_AND_BACK, GL_SPECULAR, kWhite);
  libgr::grMaterial(GL_FRONT_AND_BACK, GL_SHININESS, 40.0f);
  glutSolidTorus(0.12, 0.32, 24, 48);
}

QuadApp::QuadApp(std::string picturePath, int frameLimit)
    : picturePath_(std::move(picturePath)), frameLimit_(frameLimit) {}

void QuadApp::init() {
  startMs_ = libutils::monotonicMilliseconds();
  libgr::grClearColor(kBackground);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_NORMALIZE);  // the torus is drawn under a rotation
  libgr::grLight(GL_LIGHT0, GL_AMBIENT, kAmbient);
  libgr::grLight(GL_LIGHT0, GL_DIFFUSE, kWhite);
  libgr::grLight(GL_LIGHT0, GL_SPECULAR, kWhite);

  if (!quad_.load(picturePath_.c_str())) {
    std::fprintf(stderr, "textured_quad: %s: %s\n", picturePath_.c_str(), quad_.problem().c_str());
  } else if (!quad_.flaw().empty()) {
    std::fprintf(stderr, "textured_quad: %s: shown, but %s\n", picturePath_.c_str(),
                 quad_.flaw().c_str());
  }
  if (!torusList_.compile(&torus_)) std::fprintf(stderr, "textured_quad: no display list\n");
}

void QuadApp::reshape(int width, int height) {
  height = std::max(height, 1);  // a zero height would make the aspect infinite
  glViewport(0, 0, width, height);
  frustum_.setAspect(width, height);
  libgr::grMatrixModeSaver projection(GL_PROJECTION);
  glLoadIdentity();
  libgr::grFrustum(frustum_.bounds());
}

void QuadApp::idle() {
  const uint32_t elapsed =
      libutils::millisecondsBetween(startMs_, libutils::monotonicMilliseconds());
  spinDegrees_ = float(elapsed % 4000) * 0.09f;  // one turn in four seconds
  glutPostRedisplay();
}

void QuadApp::display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  libgr::grMatrixModeSaver modelView(GL_MODELVIEW);
  glLoadIdentity();
  // Set in eye space: the light stays above and in front of the viewer.
  libgr::grLightPosition(GL_LIGHT0, libgr::grVec3(0.3f, 0.6f, 1.0f));
  libgr::grTranslate(libgr::grVec3(0.0f, 0.0f, -3.0f));

  quad_.draw();
  {
    libgr::grMatrixGuard torusPlace(GL_MODELVIEW);
    libgr::grTranslate(libgr::grVec3(1.1f, 0.75f, 0.6f));
    libgr::grRotate(libgr::grRotation(spinDegrees_, 1.0f, 1.0f, 0.0f));
    torusList_.draw();
  }

  if (frameLimit_ > 0 && ++framesDrawn_ >= frameLimit_) checkFrameAndExit();
  glutSwapBuffers();
}

void QuadApp::keyboard(unsigned char key, int, int) {
  if (key == 27 || key == 'q') std::exit(0);
}

void QuadApp::checkFrameAndExit() {
  // Read before the swap: the back buffer still holds this frame.
  GLint viewport[4] = {0, 0, 0, 0};
  libgr::grGetIntegers(GL_VIEWPORT, viewport);
  unsigned char rgb[3] = {0, 0, 0};
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(viewport[2] / 2, viewport[3] / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  const long background = std::lround(kBackground.x * 255.0f);
  // The centre of the quad is lit picture: far brighter than the background.
  const bool pictureShown = quad_.isLoaded() && rgb[0] > background + 60;
  std::printf("textured_quad: %d frames, centre pixel %d %d %d, picture %s\n", framesDrawn_, rgb[0],
              rgb[1], rgb[2], pictureShown ? "shown" : "missing");
  std::exit(pictureShown ? 0 : 1);
}
