/* The classic way to show two HEIC (or AVIF) photographs as textures, in
 * plain C: each file decoded at full size by libheif with its default
 * settings (its own thread count for grid tiles), to interleaved RGB, then
 * one gluBuild2DMipmaps call, which scales the picture to powers of two and
 * builds and sends every level. stb_glu_viewer.c with libheif for stb_image
 * (the window, quads and loop are classic_viewer's), so brelvane's start to
 * first frame with phone photographs can be compared with the start-up
 * probe preloaded (see scripts/bench_first_frame.sh).
 * Usage: heif_glu_viewer WALL FLOOR */
#include <libheif/heif.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support/classic_viewer.h"

static int failed(const char* path, struct heif_error error) {
  if (error.code == heif_error_Ok) return 0;
  fprintf(stderr, "heif_glu_viewer: %s: %s\n", path, error.message);
  return 1;
}

static int loadPhoto(const char* path, GLuint* name) {
  struct heif_context* context = heif_context_alloc();
  struct heif_image_handle* handle = NULL;
  struct heif_image* image = NULL;
  int ok = 0;
  if (failed(path, heif_context_read_from_file(context, path, NULL)) ||
      failed(path, heif_context_get_primary_image_handle(context, &handle)) ||
      failed(path, heif_decode_image(handle, &image, heif_colorspace_RGB,
                                     heif_chroma_interleaved_RGB, NULL)))
    goto done;
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(image, heif_channel_interleaved);
  const int height = heif_image_get_height(image, heif_channel_interleaved);
  /* Rows top-down as libheif gives them: the quads take the texture upside
   * down instead of a copy turning the rows (stb_image turns them while it
   * decodes). Padded rows are packed, as GLU takes a row length in pixels. */
  if (stride == width * 3) {
    classicUpload(name, width, height, plane);
  } else {
    unsigned char* packed = malloc((size_t)width * 3 * (size_t)height);
    if (!packed) goto done;
    for (int y = 0; y < height; ++y)
      memcpy(packed + (size_t)y * width * 3, plane + (size_t)y * stride, (size_t)width * 3);
    classicUpload(name, width, height, packed);
    free(packed);
  }
  ok = 1;
done:
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return ok;
}

int main(int argc, char** argv) {
  return runClassicViewer(argc, argv, "heif_glu_viewer", loadPhoto, 1);
}
