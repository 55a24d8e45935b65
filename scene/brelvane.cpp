// The scene application's frame: construction, fixed GL state, resize, the
// order of one frame, the idle step and the keys. The viewer is the camera's
// (scene/camera.cpp).
#include "scene/brelvane.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/gl_wrappers.h"
#include "scene/billboard.h"
#include "scene/gl_scopes.h"
#include "scene/hud.h"
#include "scene/photograph_reading.h"
#include "utilities/clock.h"

namespace {

constexpr unsigned char kEscape = 27;

constexpr libgr::grVec4 kWhite{1.0f, 1.0f, 1.0f, 1.0f};

void setLight() {
  // Directional, from straight above; set after the view transform, so it
  // turns with the scene.
  glEnable(GL_LIGHT0);
  libgr::grLightPosition(GL_LIGHT0, {0.0f, 500.0f, 0.0f});
  libgr::grLight(GL_LIGHT0, GL_AMBIENT, {0.18f, 0.18f, 0.18f, 1.0f});
  libgr::grLight(GL_LIGHT0, GL_DIFFUSE, kWhite);
  libgr::grLight(GL_LIGHT0, GL_SPECULAR, kWhite);
  // Only the first value counts: a linear attenuation of 1.
  libgr::grLight(GL_LIGHT0, GL_LINEAR_ATTENUATION, kWhite);
  glEnable(GL_LIGHTING);
}

// One line on standard error, naming the file as given and the reason, when
// a photograph cannot be shown (the quad then draws nothing), or what is off
// in a damaged file that is shown all the same.
void report(const BillBoard& photo, const std::string& path, bool shown) {
  if (!shown)
    std::fprintf(stderr, "brelvane: %s: %s\n", path.c_str(), photo.failure.c_str());
  else if (!photo.flaw.empty())
    std::fprintf(stderr, "brelvane: %s: shown, but %s\n", path.c_str(), photo.flaw.c_str());
}

// The photographs as a back wall and a floor, each 512 units square, read
// side by side (or taken from an early reading), then uploaded here. A file
// that does not load leaves its quad in place, drawing nothing.
void loadPhotographs(const PhotoPaths& paths, BillBoard*& upright, BillBoard*& floor,
                     std::unique_ptr<PhotographReading>& reading) {
  if (upright && floor) return;
  if (!reading) reading = std::make_unique<PhotographReading>(paths);
  BillBoard *wallRead = nullptr, *floorRead = nullptr;
  reading->finish(wallRead, floorRead);
  const libgr::grRect square({-256.0f, -256.0f}, {256.0f, 256.0f});
  if (!upright) {
    upright = wallRead;
    wallRead = nullptr;
    const libgr::grFrame wall(libgr::grRotation(0.0f, 0.0f, 0.0f, 1.0f), {0.0f, 0.0f, -256.0f});
    report(*upright, paths.wall, upright->show(wall, square));
  }
  if (!floor) {
    floor = floorRead;
    floorRead = nullptr;
    // Turned to face up, its top edge against the wall's bottom edge.
    const libgr::grFrame ground(libgr::grRotation(-90.0f, 1.0f, 0.0f, 0.0f), {0.0f, -256.0f, 0.0f});
    report(*floor, paths.floor, floor->show(ground, square));
  }
  delete wallRead;
  delete floorRead;
  reading.reset();  // after the uploads: see PhotographReading
}

}  // namespace

Brelvane::Brelvane(int /*argc*/, char** /*argv*/) : startTime(libutils::monotonicMilliseconds()) {
  glutInitWindowSize(640, 480);
}

Brelvane::~Brelvane() = default;

void Brelvane::readPhotographsEarly() {
  if (!reading) reading = std::make_unique<PhotographReading>(photoPaths);
}

void Brelvane::init() {
  libgr::grClearColor({0.18f, 0.18f, 0.18f, 1.0f});
  glEnable(GL_DEPTH_TEST);
  // Speed over quality wherever GL would smooth.
  for (const GLenum hint : {GL_POINT_SMOOTH_HINT, GL_LINE_SMOOTH_HINT, GL_POLYGON_SMOOTH_HINT})
    glHint(hint, GL_FASTEST);
  glShadeModel(GL_SMOOTH);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);

  libgr::grMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, {0.5f, 0.5f, 0.5f, 1.0f});
  libgr::grMaterial(GL_FRONT, GL_EMISSION, {0.0f, 0.0f, 0.0f, 1.0f});
  libgr::grMaterial(GL_FRONT, GL_SPECULAR, kWhite);
  libgr::grMaterial(GL_FRONT, GL_SHININESS, 100.0f);
  // Drawing colours then stand for ambient and diffuse reflectance.
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  drops.init();  // before the photographs
  loadPhotographs(photoPaths, photoUpright, photoFloor, reading);
}

void Brelvane::reshape(int width, int height) {
  glViewport(0, 0, width, height);
  camera.project(width, height);
}

void Brelvane::display() {
  {
    scenegl::AllAttributesScope attributes;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    camera.applyViewTransform();
    setLight();
    libgr::grColor(kWhite);
    // The scene: the photographs behind, then the translucent drops over them.
    // Null only if display runs before init.
    if (photoUpright) photoUpright->render();
    if (photoFloor) photoFloor->render();
    drops.draw();

    // Text overlay, unlit, with its own projection; the matrix mode stays
    // GL_PROJECTION until the attributes are restored.
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    {
      scenegl::MatrixScope projection;
      hudProjection();
      hudCountFrame();
      hudDrawFps();
      hudDrawMsec(elapsed);
    }
  }
  glutSwapBuffers();
}

void Brelvane::idle() {
  elapsed = libutils::millisecondsBetween(startTime, libutils::monotonicMilliseconds());
  libgr::grGetIntegers(GL_VIEWPORT, viewport);
  const GLint extent = std::max(0, std::min(viewport[2], viewport[3]));
  drops.advance(elapsed, static_cast<uint32_t>(extent));
  glutPostRedisplay();
}

void Brelvane::keyboard(unsigned char key, int /*x*/, int /*y*/) {
  switch (key) {
    case kEscape:
    case 'q':
      std::exit(0);
    case 'r':
      idle();  // virtual: one extra step of whatever the idle step is
      glutPostRedisplay();
      break;
    default:
      break;  // upper-case 'Q' and 'R' included
  }
}

void Brelvane::mouse(int button, int state, int x, int y) { camera.mouse(button, state, x, y); }

void Brelvane::motion(int x, int y) { camera.motion(x, y); }

void Brelvane::mouseWheel(int wheel, int direction, int /*x*/, int /*y*/) {
  camera.mouseWheel(wheel, direction);
}
