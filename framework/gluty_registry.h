#pragma once
// glutyRegistry: the process-wide map from GLUT window id to the application
// object that owns the window, and the GLUT callbacks that forward each event
// to that object's virtual operation with GLUT's arguments unchanged.
//
// Use: glutInit and glutInitDisplayMode; construct the application; add it
// (creates its window and runs its init); run (installs the callbacks on the
// window created last and enters glutMainLoop).
//
// The registry never owns or deletes the application objects. While the
// callbacks are installed, every registered object must be a glutyAPI4: the
// key-release and wheel callbacks call operations only glutyAPI4 declares.
#include <map>

#include "framework/gluty_api.h"

namespace vorn {

class glutyRegistry {
 public:
  glutyRegistry();
  ~glutyRegistry();
  glutyRegistry(const glutyRegistry&) = delete;
  glutyRegistry& operator=(const glutyRegistry&) = delete;

  // The single registry; valid from static initialisation until the exit
  // handlers destroy it, null afterwards.
  static glutyRegistry* instance();

  // Creates a GLUT window titled `title` (at the size set with
  // glutInitWindowSize), stores `app` under its id, replacing any earlier
  // entry, and calls app->init(). Returns the window id, or -1 without
  // creating anything when `app` is null.
  int add(glutyAPI* app, const char* title);

  // Installs (true) or removes (false) the idle callback.
  void setIdle(bool enabled);
  // Turns GLUT's key repeat on or off.
  void setKeyRepeat(bool enabled);

  // setIdle(idle), setKeyRepeat(keyRepeat), installs every per-window
  // callback on GLUT's current window, then runs glutMainLoop. Returns only
  // if the loop does (freeglut: glutLeaveMainLoop with
  // GLUT_ACTION_ON_WINDOW_CLOSE set to GLUT_ACTION_GLUTMAINLOOP_RETURNS).
  void run(bool idle, bool keyRepeat);

  std::map<int, glutyAPI*> windows;
  bool idleEnabled = true;
  bool keyRepeat = false;

 private:
  static glutyRegistry* instance_;
};

}  // namespace vorn
