/* The classic way to show two photographs as textures, in plain C: each
 * file decoded at full size with stb_image (rows flipped bottom-up, as GL
 * takes them), then one gluBuild2DMipmaps call, which scales the picture to
 * powers of two and builds and sends every level. Same window, texture
 * parameters and quads as brelvane (a back wall and a floor, each 512 units
 * square), so the two programs' start to first frame can be compared with
 * the start-up probe preloaded (see scripts/bench.sh). Without the probe it
 * stays open until Escape or q.
 * Usage: stb_glu_viewer WALL FLOOR */
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

static GLuint textures[2];
static int loaded[2];

static int loadPhoto(const char* path, GLuint* name) {
  int width = 0, height = 0, channels = 0;
  stbi_set_flip_vertically_on_load(1);
  unsigned char* pixels = stbi_load(path, &width, &height, &channels, 3);
  if (!pixels) {
    fprintf(stderr, "stb_glu_viewer: %s: %s\n", path, stbi_failure_reason());
    return 0;
  }
  glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  stbi_image_free(pixels);
  return 1;
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

static void quad(int which, float y, float z, int floor) {
  if (!loaded[which]) return;
  glPushMatrix();
  glTranslatef(0.0f, y, z);
  if (floor) glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glBindTexture(GL_TEXTURE_2D, textures[which]);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-256.0f, -256.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(256.0f, -256.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(256.0f, 256.0f);
  glTexCoord2f(0.0f, 1.0f);
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
    fprintf(stderr, "usage: stb_glu_viewer WALL FLOOR\n");
    return 2;
  }
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(640, 480);
  glutCreateWindow("stb_glu_viewer");
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
