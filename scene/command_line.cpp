// The program's command line: photograph paths and --help.
#include "scene/command_line.h"

#include <cstring>

namespace {

bool isOption(const char* word) { return word[0] == '-' && word[1] != '\0'; }

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  std::string* const slots[] = {&line.photos.wall, &line.photos.floor};
  int paths = 0;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    if (options && std::strcmp(word, "--") == 0) {
      options = false;
    } else if (options && std::strcmp(word, "--help") == 0) {
      line.action = CommandLine::Action::help;
      return line;
    } else if (options && isOption(word)) {
      line.action = CommandLine::Action::misuse;
      line.problem = std::string("unknown option ") + word;
      return line;
    } else if (paths == 2) {
      line.action = CommandLine::Action::misuse;
      line.problem = std::string("one photograph too many: ") + word;
      return line;
    } else {
      *slots[paths++] = word;
    }
  }
  return line;
}

bool asksForHelp(int argc, const char* const* argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    if (std::strcmp(argv[i], "--help") == 0) return true;
  return false;
}

const char* usageText() {
  return "usage: brelvane [GLUT options] [WALL.bmp [FLOOR.bmp]]\n"
         "Shows WALL.bmp (default p6155961.bmp) as the back wall and FLOOR.bmp\n"
         "(default p6155955.bmp) as the floor. Keys: q or Esc quits, r steps.\n";
}
