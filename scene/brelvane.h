#pragma once
// Brelvane: the application object of the scene's one window. Sets the fixed
// OpenGL state once the window exists, keeps the viewport on resize, draws
// one frame in a fixed order (clear, light, scene, text overlay, swap), runs
// the clock-driven idle step and handles the keys (ESC/'q' quit, 'r' one
// extra idle step). The viewer (projection, camera frame, mouse drags) is the
// camera member; the application hands it the resize, the view step and the
// mouse events.
// A photograph that cannot be shown is named on standard error with the
// reason, and the scene runs without it.
//
// Data members are public: the scene's parts and its tests work on them.
// Their declaration order is deliberate; keep it when adding members.
#include <GL/gl.h>

#include <cstdint>
#include <memory>

#include "framework/gluty_api.h"
#include "scene/camera.h"
#include "scene/command_line.h"
#include "scene/drop_stream.h"

class BillBoard;
class PhotographReading;

class Brelvane : public vorn::glutyAPI4 {
 public:
  // Both arguments are ignored. Reads the clock and sets the initial window
  // size; makes no OpenGL call (no window exists yet).
  Brelvane(int argc, char** argv);
  ~Brelvane() override;
  Brelvane(const Brelvane&) = delete;
  Brelvane& operator=(const Brelvane&) = delete;

  void reshape(int width, int height) override;
  void display() override;
  void keyboard(unsigned char key, int x, int y) override;
  void idle() override;
  void init() override;
  void mouse(int button, int state, int x, int y) override;
  void motion(int x, int y) override;
  void mouseWheel(int wheel, int direction, int x, int y) override;

  Camera camera;  // projection, camera frame and mouse drags

  uint32_t startTime;    // clock reading at construction, milliseconds
  uint32_t elapsed = 0;  // milliseconds since startTime, as of the last idle step
  DropStream drops;
  // The two photographs; created in init and never deleted (they live as long
  // as the process).
  BillBoard* photoUpright = nullptr;
  BillBoard* photoFloor = nullptr;
  // x, y, width, height as GL_VIEWPORT gave them at the last idle step.
  GLint viewport[4] = {0, 0, 0, 0};
  // Where init reads the photographs from; the command line may change them
  // before the window exists.
  PhotoPaths photoPaths;
  // Photographs already being read (readPhotographsEarly); init takes the
  // quads from here instead of reading them itself.
  std::unique_ptr<PhotographReading> reading;

  // Starts reading the photographs from photoPaths on threads of their own,
  // before the window exists (no GL call), so that init finds them read.
  void readPhotographsEarly();
};
