// Entry point: GLUT, the application object, its window, the event loop.
#include <GL/freeglut.h>

#include "framework/gluty_registry.h"
#include "scene/brelvane.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  Brelvane app(argc, argv);
  // The window is titled with the program's path as typed; a process started
  // with an empty argument vector still gets a title.
  const char* title = (argc > 0 && argv[0]) ? argv[0] : "brelvane";
  vorn::glutyRegistry::instance()->add(&app, title);
  vorn::glutyRegistry::instance()->run(true, true);
  return 0;
}
