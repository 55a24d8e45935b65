// textured_quad: a GLUT window with a lit, textured quad and a display-listed
// torus, built only on the installed brelvane libraries.
//
//   textured_quad [photograph] [--frames N]
//
// The photograph is any file the photo library reads (docs/photo.md; told
// by content, turned upright by its EXIF orientation). Without one it
// writes a sample BMP to the temporary directory and shows that.
// --frames N draws N frames, checks the picture reached the window and
// exits (status 0 when it did): a smoke test for the package.
// Esc or 'q' quits.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/gluty_registry.h"
#include "quad_app.h"
#include "sample_bmp.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);  // takes GLUT's own options (-display, ...) out first

  std::string picture;
  int frameLimit = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      frameLimit = std::atoi(argv[++i]);
    } else if (argv[i][0] != '-' && picture.empty()) {
      picture = argv[i];
    } else {
      std::fprintf(stderr, "usage: %s [photograph] [--frames N]\n", argv[0]);
      return 2;
    }
  }
  if (picture.empty()) {
    picture = (std::filesystem::temp_directory_path() / "textured_quad_sample.bmp").string();
    if (!writeSampleBmp(picture)) {
      std::fprintf(stderr, "textured_quad: cannot write %s\n", picture.c_str());
      return 1;
    }
  }

  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(640, 480);
  QuadApp app(picture, frameLimit);
  vorn::glutyRegistry::instance()->add(&app, "textured_quad");
  vorn::glutyRegistry::instance()->run(true, false);
  return 0;
}
