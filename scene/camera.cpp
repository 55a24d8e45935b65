// The viewer: projection, view transform, and the mouse drags that pan and
// roll the camera frame.
#include "scene/camera.h"

#include <GL/freeglut.h>

#include "graphics/gl_wrappers.h"
#include "graphics/matrix_guard.h"
#include "math/rotation.h"

namespace {

constexpr double kNear = 0.1;
constexpr double kFar = 1000.1;
constexpr float kSceneDistance = 500.0f;
constexpr double kRollDegreesPerPixel = 0.25;
constexpr float kZoomPerPixel = 0.01f;
constexpr float kZoomPerWheelStep = 0.25f;

}  // namespace

void DragState::press(int x, int y) {
  active = true;
  moveTo(x, y);
}

void DragState::moveTo(int x, int y) {
  lastX = x;
  lastY = y;
}

void Camera::project(int width, int height) {
  // A window without area (minimised, or dragged down to nothing) has no
  // shape to follow: its aspect would be 0 or infinite, and glFrustum would
  // refuse it or fill the matrix with NaNs. Keep the last projection.
  if (width <= 0 || height <= 0) return;
  frustum.setAspect(width, height);
  frustum.near = kNear;
  frustum.far = kFar;
  libgr::grMatrixModeSaver projection(GL_PROJECTION);
  glLoadIdentity();
  libgr::grFrustum(frustum.bounds());
}

void Camera::applyViewTransform() const {
  if (libgr::isNonIdentity(frame.rotation)) libgr::grRotate(libgr::inverse(frame.rotation));
  libgr::grTranslate(-frame.position);
  glTranslatef(0.0f, 0.0f, -kSceneDistance);
}

void Camera::pan(const libgr::grVec3& v) { frame.moveBack(v); }

void Camera::zoom(float /*amount*/) {}

void Camera::rotate(float degrees) { frame.rotate(libgr::grRotation(-degrees, 0.0f, 0.0f, 1.0f)); }

void Camera::mouse(int button, int state, int x, int y) {
  DragState* drag = nullptr;
  switch (button) {
    case GLUT_LEFT_BUTTON:
      drag = &panDrag;
      break;
    case GLUT_MIDDLE_BUTTON:
      drag = &zoomDrag;
      break;
    case GLUT_RIGHT_BUTTON:
      drag = &rollDrag;
      break;
    default:
      return;
  }
  if (state == GLUT_DOWN)
    drag->press(x, y);
  else
    drag->release();
}

void Camera::motion(int x, int y) {
  // Each drag on its own, pan first: holding two buttons does both.
  if (panDrag.active) {
    const auto dx = static_cast<float>(x - panDrag.lastX);
    const auto dy = static_cast<float>(y - panDrag.lastY);
    pan(libgr::grVec3(dx, -dy, 0.0f));  // window y grows downwards
    panDrag.moveTo(x, y);
    glutPostRedisplay();
  }
  if (zoomDrag.active) {
    zoom(-static_cast<float>(y - zoomDrag.lastY) * kZoomPerPixel);
    zoomDrag.moveTo(x, y);
    glutPostRedisplay();
  }
  if (rollDrag.active) {
    rotate(static_cast<float>((x - rollDrag.lastX) * kRollDegreesPerPixel));
    rollDrag.moveTo(x, y);
    glutPostRedisplay();
  }
}

void Camera::mouseWheel(int wheel, int direction) {
  if (wheel != 0 || (direction != 1 && direction != -1)) return;
  zoom(static_cast<float>(direction) * kZoomPerWheelStep);
  glutPostRedisplay();
}
