/* The classic way to show two photographs as textures, in plain C: each
 * file decoded at full size with stb_image (rows flipped bottom-up, as GL
 * takes them), then one gluBuild2DMipmaps call, which scales the picture to
 * powers of two and builds and sends every level. The window, quads and
 * loop are classic_viewer's, shared with heif_glu_viewer.c.
 * Usage: stb_glu_viewer WALL FLOOR */
#include <stdio.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

#include "support/classic_viewer.h"

static int loadPhoto(const char* path, GLuint* name) {
  int width = 0, height = 0, channels = 0;
  stbi_set_flip_vertically_on_load(1);
  unsigned char* pixels = stbi_load(path, &width, &height, &channels, 3);
  if (!pixels) {
    fprintf(stderr, "stb_glu_viewer: %s: %s\n", path, stbi_failure_reason());
    return 0;
  }
  classicUpload(name, width, height, pixels);
  stbi_image_free(pixels);
  return 1;
}

int main(int argc, char** argv) {
  return runClassicViewer(argc, argv, "stb_glu_viewer", loadPhoto, 0);
}
