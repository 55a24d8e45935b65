// The scene application's frame: construction, fixed GL state, resize, the
// order of one frame, the idle step and the keys.
#include "scene/brelvane.h"

#include <GL/freeglut.h>

#include <cstdlib>

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

  // The drop stream is prepared here, then the two photographs are loaded,
  // upright one first.
}

void Brelvane::reshape(int width, int height) {
  glViewport(0, 0, width, height);
  // The perspective projection for the new shape follows here.
}

void Brelvane::display() {
  {
    AllAttributesScope attributes;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The camera's view transform goes here, before the light.
    setLight();
    static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glColor4fv(white);
    // The scene goes here: the upright photograph, the floor photograph,
    // then the drops.

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
  // The drop stream advances here, to elapsed, with the smaller viewport side.
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
