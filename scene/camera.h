#pragma once
// Camera: the viewer of the scene. The perspective projection that follows
// the window's shape, the camera frame the scene is seen through, and the
// mouse drags that move it: left pans, right rolls, the middle button and the
// wheel only ask for a redraw. The application owns one and hands it its
// resize, the view step of each frame and the mouse events.
//
// Members are public: the application's tests check them directly.
#include "math/frame.h"
#include "math/vector.h"

// One mouse button's drag: held from its press to its release, and where the
// pointer was at the drag's last step.
struct DragState {
  void press(int x, int y);
  void release() { active = false; }
  void moveTo(int x, int y);  // the pointer's new last position

  bool active = false;
  double lastX = 0.0, lastY = 0.0;
};

class Camera {
 public:
  // The perspective of a width x height window on GL_PROJECTION, the matrix
  // mode left as it was. A window without area keeps the last projection.
  void project(int width, int height);
  // The view step of a frame, on the model-view matrix (the identity on
  // entry): the camera frame undone, then the scene's origin 500 units ahead.
  void applyViewTransform() const;

  // The camera's position moves back by v: with an unrotated camera the
  // scene follows the pointer, one unit a pixel.
  void pan(const libgr::grVec3& v);
  // Kept for the middle button and the wheel; changes nothing.
  void zoom(float amount);
  // Turns the camera by -degrees about the viewing axis (0, 0, 1).
  void rotate(float degrees);

  // GLUT's mouse events. Each drag step asks GLUT for one redisplay.
  void mouse(int button, int state, int x, int y);
  void motion(int x, int y);
  void mouseWheel(int wheel, int direction);

  libgr::grFrustumParams frustum;  // angle of view, aspect, near, far
  libgr::grFrame frame;            // the viewer's frame, moved by the mouse
  DragState panDrag;               // left button
  DragState zoomDrag;              // middle button (inert)
  DragState rollDrag;              // right button
};
