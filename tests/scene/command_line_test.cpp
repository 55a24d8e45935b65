// The command line after GLUT's options: photograph paths, --help, "--" and
// misuse, one table.
#include "scene/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Action = CommandLine::Action;

struct Case {
  std::vector<const char*> words;  // after the program's name
  Action action;
  std::string wall, floor;  // when the action is run
};

TEST(CommandLine, PathsHelpAndMisuse) {
  const PhotoPaths defaults;
  const Case cases[] = {
      {{}, Action::run, defaults.wall, defaults.floor},
      {{"w.bmp"}, Action::run, "w.bmp", defaults.floor},
      {{"w.bmp", "f.bmp"}, Action::run, "w.bmp", "f.bmp"},
      {{"-"}, Action::run, "-", defaults.floor},  // a lone dash is a name
      {{"--", "-w.bmp"}, Action::run, "-w.bmp", defaults.floor},
      {{"w.bmp", "--", "--help"}, Action::run, "w.bmp", "--help"},
      {{"--help"}, Action::help, "", ""},
      {{"w.bmp", "--help"}, Action::help, "", ""},
      {{"-x"}, Action::misuse, "", ""},
      {{"--wall=w.bmp"}, Action::misuse, "", ""},
      {{"w.bmp", "f.bmp", "third.bmp"}, Action::misuse, "", ""},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"brelvane"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    const CommandLine line = parseCommandLine(int(argv.size()), argv.data());
    SCOPED_TRACE(::testing::PrintToString(std::vector<std::string>(argv.begin(), argv.end())));
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(asksForHelp(int(argv.size()), argv.data()), c.action == Action::help);
    if (c.action == Action::run) {
      EXPECT_EQ(line.photos.wall, c.wall);
      EXPECT_EQ(line.photos.floor, c.floor);
    }
    EXPECT_EQ(line.problem.empty(), c.action != Action::misuse);
  }
}

}  // namespace
