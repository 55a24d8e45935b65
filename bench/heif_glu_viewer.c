/* The classic way to show two HEIC (or AVIF) photographs as textures, in
 * plain C: each file decoded at full size by libheif with its default
 * settings (its own thread count for grid tiles), to interleaved RGB, then
 * one gluBuild2DMipmaps call, which scales the picture to powers of two and
 * builds and sends every level. The same program as stb_glu_viewer.c with
 * libheif for stb_image, so brelvane's start to first frame with phone
 * photographs can be compared with the start-up probe preloaded (see
 * scripts/bench_first_frame.sh). Without the probe it stays open until
 * Escape or q.
 * Usage: heif_glu_viewer WALL FLOOR */
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <libheif/heif.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static GLuint textures[2];
static int loaded[2];

static int failed(const char* path, struct heif_error error) {
  if (error.code == heif_error_Ok) return 0;
  fprintf(stderr, "heif_glu_viewer: %s: %s\n", path, error.message);
  return 1;
}

static void upload(GLuint* name, int width, int height, const unsigned char* pixels) {
  glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
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
    upload(name, width, height, plane);
  } else {
    unsigned char* packed = malloc((size_t)width * 3 * (size_t)height);
    if (!packed) goto done;
    for (int y = 0; y < height; ++y)
      memcpy(packed + (size_t)y * width * 3, plane + (size_t)y * stride, (size_t)width * 3);
    upload(name, width, height, packed);
    free(packed);
  }
  ok = 1;
done:
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return ok;
}

static void reshape(int width, int height) {
  glViewport(0, 0, width, height);
  const double aspect = (double)width / height, near = 0.1, far = 1000.1;
  const double h = tan(1.5707963267948966 * 0.5) * far / sqrt(aspect * aspect + 1.0);
  const double k = near / far;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-h * aspect * k, h * aspect * k, -h * k, h * k, near, far);
  glMatrixMode(GL_MODELVIEW);
}

/* t runs from 1 at the bottom edge to 0 at the top: row 0 is the top. */
static void quad(int which, float y, float z, int floor) {
  if (!loaded[which]) return;
  glPushMatrix();
  glTranslatef(0.0f, y, z);
  if (floor) glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glBindTexture(GL_TEXTURE_2D, textures[which]);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-256.0f, -256.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(256.0f, -256.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(256.0f, 256.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-256.0f, 256.0f);
  glEnd();
  glPopMatrix();
}

static void display(void) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -500.0f);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  quad(0, 0.0f, -256.0f, 0);
  quad(1, -256.0f, 0.0f, 1);
  glDisable(GL_TEXTURE_2D);
  glutSwapBuffers();
}

static void keyboard(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == 27 || key == 'q') exit(0);
}

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  if (argc != 3) {
    fprintf(stderr, "usage: heif_glu_viewer WALL FLOOR\n");
    return 2;
  }
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(640, 480);
  glutCreateWindow("heif_glu_viewer");
  glClearColor(0.18f, 0.18f, 0.18f, 1.0f);
  glEnable(GL_DEPTH_TEST);
  loaded[0] = loadPhoto(argv[1], &textures[0]);
  loaded[1] = loadPhoto(argv[2], &textures[1]);
  glutReshapeFunc(reshape);
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutMainLoop();
  return 0;
}
