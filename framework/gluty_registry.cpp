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

// Only glutyAPI4 objects may be registered while the callbacks are
// installed; static_cast keeps that contract without a run-time check.
glutyAPI4* currentApp4() { return static_cast<glutyAPI4*>(currentApp()); }

void idleTrampoline() {
  if (glutyAPI* app = currentApp()) app->idle();
}
void reshapeTrampoline(int width, int height) {
  if (glutyAPI* app = currentApp()) app->reshape(width, height);
}
void displayTrampoline() {
  if (glutyAPI* app = currentApp()) app->display();
}
void keyboardTrampoline(unsigned char key, int x, int y) {
  if (glutyAPI* app = currentApp()) app->keyboard(key, x, y);
}
void specialTrampoline(int key, int x, int y) {
  if (glutyAPI* app = currentApp()) app->special(key, x, y);
}
void mouseTrampoline(int button, int state, int x, int y) {
  if (glutyAPI* app = currentApp()) app->mouse(button, state, x, y);
}
void motionTrampoline(int x, int y) {
  if (glutyAPI* app = currentApp()) app->motion(x, y);
}
void passiveMotionTrampoline(int x, int y) {
  if (glutyAPI* app = currentApp()) app->passiveMotion(x, y);
}
void keyboardUpTrampoline(unsigned char key, int x, int y) {
  if (glutyAPI4* app = currentApp4()) app->keyboardUp(key, x, y);
}
void specialUpTrampoline(int key, int x, int y) {
  if (glutyAPI4* app = currentApp4()) app->specialUp(key, x, y);
}
void mouseWheelTrampoline(int wheel, int direction, int x, int y) {
  if (glutyAPI4* app = currentApp4()) app->mouseWheel(wheel, direction, x, y);
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
  glutIdleFunc(enabled ? idleTrampoline : nullptr);
}

void glutyRegistry::setKeyRepeat(bool enabled) {
  keyRepeat = enabled;
  glutSetKeyRepeat(enabled ? GLUT_KEY_REPEAT_ON : GLUT_KEY_REPEAT_OFF);
}

void glutyRegistry::run(bool idle, bool keyRepeat) {
  setIdle(idle);
  setKeyRepeat(keyRepeat);
  glutReshapeFunc(reshapeTrampoline);
  glutDisplayFunc(displayTrampoline);
  glutKeyboardFunc(keyboardTrampoline);
  glutSpecialFunc(specialTrampoline);
  glutMouseFunc(mouseTrampoline);
  glutMotionFunc(motionTrampoline);
  glutPassiveMotionFunc(passiveMotionTrampoline);
  glutKeyboardUpFunc(keyboardUpTrampoline);
  glutSpecialUpFunc(specialUpTrampoline);
  glutMouseWheelFunc(mouseWheelTrampoline);
  glutMainLoop();
}

}  // namespace vorn
