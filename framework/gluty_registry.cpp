// The window registry singleton and the GLUT callback trampolines.
#include "framework/gluty_registry.h"

#include <GL/freeglut.h>

namespace vorn {

glutyRegistry* glutyRegistry::instance_ = nullptr;

namespace {

// Constructed during static initialisation, destroyed by the exit handlers.
glutyRegistry theRegistry;

// The object registered for GLUT's current window, or null when there is none
// (or the registry is already gone at exit).
glutyAPI* currentApp() {
  glutyRegistry* registry = glutyRegistry::instance();
  if (!registry) return nullptr;
  const auto entry = registry->windows.find(glutGetWindow());
  return entry == registry->windows.end() ? nullptr : entry->second;
}

// GLUT's callback for one virtual operation: hands the event to the object
// registered for the current window, if any. Operations that only glutyAPI4
// declares are installed with App = glutyAPI4: only such objects may be
// registered while the callbacks are installed, and static_cast keeps that
// contract without a run-time check.
template <typename App, auto Operation, typename... Args>
void trampoline(Args... args) {
  if (App* app = static_cast<App*>(currentApp())) (app->*Operation)(args...);
}

}  // namespace

glutyRegistry::glutyRegistry() { instance_ = this; }

glutyRegistry::~glutyRegistry() {
  windows.clear();
  instance_ = nullptr;
}

glutyRegistry* glutyRegistry::instance() { return instance_; }

int glutyRegistry::add(glutyAPI* app, const char* title) {
  if (!app) return -1;
  const int id = glutCreateWindow(title);
  windows[id] = app;
  app->init();
  return id;
}

void glutyRegistry::setIdle(bool enabled) {
  idleEnabled = enabled;
  glutIdleFunc(enabled ? trampoline<glutyAPI, &glutyAPI::idle> : nullptr);
}

void glutyRegistry::setKeyRepeat(bool enabled) {
  keyRepeat = enabled;
  glutSetKeyRepeat(enabled ? GLUT_KEY_REPEAT_ON : GLUT_KEY_REPEAT_OFF);
}

void glutyRegistry::run(bool idle, bool keyRepeat) {
  setIdle(idle);
  setKeyRepeat(keyRepeat);
  glutReshapeFunc(trampoline<glutyAPI, &glutyAPI::reshape, int, int>);
  glutDisplayFunc(trampoline<glutyAPI, &glutyAPI::display>);
  glutKeyboardFunc(trampoline<glutyAPI, &glutyAPI::keyboard, unsigned char, int, int>);
  glutSpecialFunc(trampoline<glutyAPI, &glutyAPI::special, int, int, int>);
  glutMouseFunc(trampoline<glutyAPI, &glutyAPI::mouse, int, int, int, int>);
  glutMotionFunc(trampoline<glutyAPI, &glutyAPI::motion, int, int>);
  glutPassiveMotionFunc(trampoline<glutyAPI, &glutyAPI::passiveMotion, int, int>);
  glutKeyboardUpFunc(trampoline<glutyAPI4, &glutyAPI4::keyboardUp, unsigned char, int, int>);
  glutSpecialUpFunc(trampoline<glutyAPI4, &glutyAPI4::specialUp, int, int, int>);
  glutMouseWheelFunc(trampoline<glutyAPI4, &glutyAPI4::mouseWheel, int, int, int, int>);
  glutMainLoop();
}

}  // namespace vorn
