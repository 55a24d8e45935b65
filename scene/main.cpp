// Entry point: the command line, GLUT, the application object, its window,
// the event loop.
#include <GL/freeglut.h>

#include <cstdio>

#include "framework/gluty_registry.h"
#include "scene/brelvane.h"
#include "scene/command_line.h"

int main(int argc, char** argv) {
  // Help needs no display: answer it before GLUT insists on opening one.
  if (asksForHelp(argc, argv)) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  glutInit(&argc, argv);  // takes GLUT's own options out of argv
  const CommandLine line = parseCommandLine(argc, argv);
  if (line.action == CommandLine::Action::help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (line.action == CommandLine::Action::misuse) {
    std::fprintf(stderr, "brelvane: %s\n%s", line.problem.c_str(), usageText());
    return 2;
  }
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  Brelvane app(argc, argv);
  app.photoPaths = line.photos;
  // Camera pictures take longer to read than the window takes to open.
  app.readPhotographsEarly();
  // The window is titled with the program's path as typed; a process started
  // with an empty argument vector still gets a title.
  const char* title = (argc > 0 && argv[0]) ? argv[0] : "brelvane";
  vorn::glutyRegistry::instance()->add(&app, title);
  vorn::glutyRegistry::instance()->run(true, true);
  return 0;
}
