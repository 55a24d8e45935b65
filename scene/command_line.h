#pragma once
// The program's command line, once GLUT has taken its own options: the paths
// of the two photographs (wall, then floor), each defaulting to the file the
// scene has always read from its working directory, or a request for help.
#include <string>

// Where the two photographs are read from, as given (relative paths are
// taken from the working directory).
struct PhotoPaths {
  std::string wall = "p6155961.bmp";
  std::string floor = "p6155955.bmp";
};

struct CommandLine {
  enum class Action {
    run,    // show the scene with `photos`
    help,   // --help: print the usage on standard output, exit 0
    misuse  // an unknown option or a third path: usage on standard error, exit 2
  };
  Action action = Action::run;
  PhotoPaths photos;
  std::string problem;  // what was wrong, for misuse
};

// Reads argv[1..argc): `[--help] [--] [WALL.bmp [FLOOR.bmp]]`, each file
// any photograph the photo library reads, told by its content whatever its
// name (docs/photo.md). A word starting with '-' is an option until "--"
// ends the options.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Whether --help appears among the options: it is answered before GLUT
// opens a display, so the usage can be read anywhere.
bool asksForHelp(int argc, const char* const* argv);

// The usage text, ending in a newline.
const char* usageText();
