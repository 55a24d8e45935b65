#pragma once
// Window application base classes: GLUT's per-window callbacks as virtual
// operations of an application object. Every operation does nothing unless
// overridden. glutyAPI4 adds the freeglut key-release and wheel callbacks.
//
// The slot order of the operations is part of the interface: keep new ones
// at the end of the most derived class.

namespace vorn {

class glutyAPI {
 public:
  virtual void reshape(int /*width*/, int /*height*/) {}
  virtual void display() {}
  virtual void keyboard(unsigned char /*key*/, int /*x*/, int /*y*/) {}
  virtual void special(int /*key*/, int /*x*/, int /*y*/) {}
  virtual void mouse(int /*button*/, int /*state*/, int /*x*/, int /*y*/) {}
  virtual void motion(int /*x*/, int /*y*/) {}
  virtual void passiveMotion(int /*x*/, int /*y*/) {}
  virtual void idle() {}
  // Called once by the registry right after the window exists, with its
  // OpenGL context current and before any other callback.
  virtual void init() {}
  // Pure, so the base cannot be instantiated; defined, because every derived
  // destructor chains to it.
  virtual ~glutyAPI() = 0;
};

class glutyAPI4 : public glutyAPI {
 public:
  virtual ~glutyAPI4() = 0;
  virtual void keyboardUp(unsigned char /*key*/, int /*x*/, int /*y*/) {}
  virtual void specialUp(int /*key*/, int /*x*/, int /*y*/) {}
  // wheel: wheel number (0 for the usual one); direction: +1 or -1.
  virtual void mouseWheel(int /*wheel*/, int /*direction*/, int /*x*/, int /*y*/) {}
};

}  // namespace vorn
