// The scene application's frame: construction, fixed GL state, resize, the
// order of one frame, the idle step and the keys; and the viewer: the
// perspective projection, the camera's view transform and the mouse.
#include "scene/brelvane.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/gl_wrappers.h"
#include "graphics/matrix_guard.h"
#include "scene/billboard.h"
#include "scene/hud.h"
#include "utilities/clock.h"

namespace {

constexpr unsigned char kEscape = 27;

// Saves every attribute group for a scope: the state init sets is the state
// at the start of every frame.
class AllAttributesScope {
 public:
  AllAttributesScope() { glPushAttrib(GL_ALL_ATTRIB_BITS); }
  ~AllAttributesScope() { glPopAttrib(); }
  AllAttributesScope(const AllAttributesScope&) = delete;
  AllAttributesScope& operator=(const AllAttributesScope&) = delete;
};

// Saves the current matrix of the current matrix mode for a scope.
class CurrentMatrixScope {
 public:
  CurrentMatrixScope() { glPushMatrix(); }
  ~CurrentMatrixScope() { glPopMatrix(); }
  CurrentMatrixScope(const CurrentMatrixScope&) = delete;
  CurrentMatrixScope& operator=(const CurrentMatrixScope&) = delete;
};

void setLight() {
  // Directional (w = 0), from straight above; set after the view transform,
  // so it turns with the scene.
  static const GLfloat position[4] = {0.0f, 500.0f, 0.0f, 0.0f};
  static const GLfloat ambient[4] = {0.18f, 0.18f, 0.18f, 1.0f};
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  // Only the first value counts: a linear attenuation of 1.
  glLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, white);
  glEnable(GL_LIGHTING);
}

// Loads one photograph; one line on standard error, naming the file as given
// and the reason, when it cannot be shown (the quad then draws nothing), or
// what is off in a damaged file that is shown all the same.
void loadPhotograph(BillBoard& photo, const std::string& path, const libgr::grFrame& placement,
                    const libgr::grRect& extent) {
  if (!photo.load(path.c_str(), placement, extent))
    std::fprintf(stderr, "brelvane: %s: %s\n", path.c_str(), photo.failure.c_str());
  else if (!photo.flaw.empty())
    std::fprintf(stderr, "brelvane: %s: shown, but %s\n", path.c_str(), photo.flaw.c_str());
}

// The photographs as a back wall and a floor, each 512 units square. A file
// that does not load leaves its quad in place, drawing nothing.
void loadPhotographs(const PhotoPaths& paths, BillBoard*& upright, BillBoard*& floor) {
  const libgr::grRect square({-256.0f, -256.0f}, {256.0f, 256.0f});
  if (!upright) {
    const libgr::grFrame wall(libgr::grRotation(0.0f, 0.0f, 0.0f, 1.0f), {0.0f, 0.0f, -256.0f});
    upright = new BillBoard;
    loadPhotograph(*upright, paths.wall, wall, square);
  }
  if (!floor) {
    // Turned to face up, its top edge against the wall's bottom edge.
    const libgr::grFrame ground(libgr::grRotation(-90.0f, 1.0f, 0.0f, 0.0f), {0.0f, -256.0f, 0.0f});
    floor = new BillBoard;
    loadPhotograph(*floor, paths.floor, ground, square);
  }
}

}  // namespace

Brelvane::Brelvane(int /*argc*/, char** /*argv*/) : startTime(libutils::monotonicMilliseconds()) {
  glutInitWindowSize(640, 480);
}

Brelvane::~Brelvane() = default;

void Brelvane::init() {
  glClearColor(0.18f, 0.18f, 0.18f, 1.0f);
  glEnable(GL_DEPTH_TEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  glShadeModel(GL_SMOOTH);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);

  static const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  static const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, grey);
  glMaterialfv(GL_FRONT, GL_EMISSION, black);
  glMaterialfv(GL_FRONT, GL_SPECULAR, white);
  glMaterialf(GL_FRONT, GL_SHININESS, 100.0f);
  // Drawing colours then stand for ambient and diffuse reflectance.
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  drops.init();  // before the photographs
  loadPhotographs(photoPaths, photoUpright, photoFloor);
}

void Brelvane::reshape(int width, int height) {
  glViewport(0, 0, width, height);
  // A window without area (minimised, or dragged down to nothing) has no
  // shape to follow: its aspect would be 0 or infinite, and glFrustum would
  // refuse it or fill the matrix with NaNs. Keep the last projection.
  if (width <= 0 || height <= 0) return;
  frustum.setAspect(width, height);
  frustum.near = 0.1;
  frustum.far = 1000.1;
  libgr::grMatrixModeSaver projection(GL_PROJECTION);
  glLoadIdentity();
  libgr::grFrustum(frustum.bounds());
}

void Brelvane::display() {
  {
    AllAttributesScope attributes;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyViewTransform();
    setLight();
    static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glColor4fv(white);
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
      CurrentMatrixScope projection;
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
  glGetIntegerv(GL_VIEWPORT, viewport);
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

void Brelvane::applyViewTransform() const {
  if (libgr::isNonIdentity(camera.rotation)) libgr::grRotate(libgr::inverse(camera.rotation));
  libgr::grTranslate(-camera.position);
  glTranslatef(0.0f, 0.0f, -500.0f);
}

void Brelvane::pan(const libgr::grVec3& v) { camera.moveBack(v); }

void Brelvane::zoom(float /*amount*/) {}

void Brelvane::rotate(float degrees) {
  camera.rotate(libgr::grRotation(-degrees, 0.0f, 0.0f, 1.0f));
}

void Brelvane::mouse(int button, int state, int x, int y) {
  const bool pressed = state == GLUT_DOWN;
  switch (button) {
    case GLUT_LEFT_BUTTON:
      panning = pressed;
      if (pressed) panLastX = x, panLastY = y;
      break;
    case GLUT_MIDDLE_BUTTON:
      zooming = pressed;
      if (pressed) zoomLastX = x, zoomLastY = y;
      break;
    case GLUT_RIGHT_BUTTON:
      rotating = pressed;
      if (pressed) rotateLastX = x, rotateLastY = y;
      break;
    default:
      break;
  }
}

void Brelvane::motion(int x, int y) {
  if (!panning && !zooming && !rotating) return;
  if (panning) {
    const auto dx = static_cast<float>(x - panLastX);
    const auto dy = static_cast<float>(y - panLastY);
    pan(libgr::grVec3(dx, -dy, 0.0f));  // window y grows downwards
    panLastX = x, panLastY = y;
    glutPostRedisplay();
  }
  if (zooming) {
    zoom(-static_cast<float>(y - zoomLastY) * 0.01f);
    zoomLastX = x, zoomLastY = y;
    glutPostRedisplay();
  }
  if (rotating) {
    rotate(static_cast<float>((x - rotateLastX) * 0.25));  // a quarter degree a pixel
    rotateLastX = x, rotateLastY = y;
    glutPostRedisplay();
  }
}

void Brelvane::mouseWheel(int wheel, int direction, int /*x*/, int /*y*/) {
  if (wheel != 0) return;
  if (direction == 1) {
    zoom(0.25f);
    glutPostRedisplay();
  } else if (direction == -1) {
    zoom(-0.25f);
    glutPostRedisplay();
  }
}
