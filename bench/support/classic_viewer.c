/* The classic viewer's window, quads and loop (classic_viewer.h). */
#include "classic_viewer.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

static GLuint textures[2];
static int loaded[2];
static int rowsTopDown;

void classicUpload(GLuint* name, int width, int height, const unsigned char* pixels) {
  glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
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
  /* t runs up the picture; rows stored top-down run it down instead. */
  const float bottom = rowsTopDown ? 1.0f : 0.0f, top = 1.0f - bottom;
  glPushMatrix();
  glTranslatef(0.0f, y, z);
  if (floor) glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glBindTexture(GL_TEXTURE_2D, textures[which]);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, bottom);
  glVertex2f(-256.0f, -256.0f);
  glTexCoord2f(1.0f, bottom);
  glVertex2f(256.0f, -256.0f);
  glTexCoord2f(1.0f, top);
  glVertex2f(256.0f, 256.0f);
  glTexCoord2f(0.0f, top);
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

int runClassicViewer(int argc, char** argv, const char* program, ClassicLoad load, int topDown) {
  glutInit(&argc, argv);
  if (argc != 3) {
    fprintf(stderr, "usage: %s WALL FLOOR\n", program);
    return 2;
  }
  rowsTopDown = topDown;
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(640, 480);
  glutCreateWindow(program);
  glClearColor(0.18f, 0.18f, 0.18f, 1.0f);
  glEnable(GL_DEPTH_TEST);
  loaded[0] = load(argv[1], &textures[0]);
  loaded[1] = load(argv[2], &textures[1]);
  glutReshapeFunc(reshape);
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutMainLoop();
  return 0;
}
