/* The scene's frame written by hand in plain C: the same OpenGL, GLU and
 * GLUT calls per frame as the program (idle step, display with light,
 * photographs, drops and text, reshape's projection), with no library
 * around them. It is the yardstick for the cost of the program's own code.
 * Like frame_driver it runs in GLUT's event loop, zeroes callgrind's
 * counters after the warm-up frames, dumps them after the counted frames and
 * prints
 *   frames <n> ns_per_frame <t>
 * The working directory must hold the two photographs.
 * Usage: reference_frame [counted frames, default 500] [warm-up frames, 100] */
#include <GL/freeglut.h>
#include <fcntl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

enum { kPoolSize = 100 };

typedef struct {
  unsigned spawn;
  float position[3];
  float velocity[3];
} Drop;

static Drop pool[kPoolSize];
static unsigned nextIndex, lastTick = ~0u;
static GLuint dropList, photoTextures[2];
static int photoLoaded[2];
static unsigned startTime, elapsed;
static GLint viewport[4];
static unsigned frameCount, lastSecond, fps;
static long countedFrames, warmUpFrames, framesShown;
static double countStart;

static double nowNs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

static unsigned milliseconds(void) { return (unsigned)(unsigned long long)(nowNs() / 1e6); }

/* One read of the whole file; 24-bit bottom-up BMP with its pixels at
 * bfOffBits, uploaded with GLU's mipmaps as the program does. */
static int loadPhoto(const char* path, GLuint* name) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 0;
  struct stat status;
  fstat(fd, &status);
  unsigned char* bytes = malloc((size_t)status.st_size);
  const ssize_t got = read(fd, bytes, (size_t)status.st_size);
  close(fd);
  if (got != status.st_size || got < 54) {
    free(bytes);
    return 0;
  }
  const unsigned offBits = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | (unsigned)bytes[13] << 24;
  const int width = bytes[18] | bytes[19] << 8 | bytes[20] << 16 | bytes[21] << 24;
  const int height = bytes[22] | bytes[23] << 8 | bytes[24] << 16 | bytes[25] << 24;
  glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB8, width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                    bytes + offBits);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  free(bytes);
  return 1;
}

static void init(void) {
  static const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  static const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glClearColor(0.18f, 0.18f, 0.18f, 1.0f);
  glEnable(GL_DEPTH_TEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  glShadeModel(GL_SMOOTH);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);
  glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, grey);
  glMaterialfv(GL_FRONT, GL_EMISSION, black);
  glMaterialfv(GL_FRONT, GL_SPECULAR, white);
  glMaterialf(GL_FRONT, GL_SHININESS, 100.0f);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  dropList = glGenLists(1);
  glNewList(dropList, GL_COMPILE);
  glColor4f(0.0f, 1.0f, 1.0f, 0.5f);
  glutSolidSphere(10.0, 10, 10);
  glEndList();

  photoLoaded[0] = loadPhoto("p6155961.bmp", &photoTextures[0]);
  photoLoaded[1] = loadPhoto("p6155955.bmp", &photoTextures[1]);
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

static void advanceDrops(unsigned now, unsigned extent) {
  for (int i = 0; i < kPoolSize; ++i) {
    Drop* d = &pool[i];
    const float t = (float)((double)(now - d->spawn) * 0.001);
    d->position[0] = d->velocity[0] * t;
    d->position[1] = (d->velocity[1] + -245.0f * t) * t;
    d->position[2] = d->velocity[2] * t;
    if (d->position[1] < -128.0f) d->position[0] = d->position[1] = d->position[2] = 0.0f;
  }
  const unsigned tick = now / 100;
  if (tick == lastTick) return;
  lastTick = tick;
  const float radians = (float)tick * 25.0f * 3.14159265f / 180.0f;
  const float speed = (float)extent * 0.5f;
  Drop* d = &pool[nextIndex];
  nextIndex = (nextIndex + 1) % kPoolSize;
  d->spawn = now;
  d->position[0] = d->position[1] = d->position[2] = 0.0f;
  d->velocity[0] = speed * cosf(radians);
  d->velocity[1] = speed;
  d->velocity[2] = -speed * sinf(radians);
}

static void idle(void) {
  elapsed = milliseconds() - startTime;
  glGetIntegerv(GL_VIEWPORT, viewport);
  const unsigned w = (unsigned)viewport[2], h = (unsigned)viewport[3];
  advanceDrops(elapsed, w < h ? w : h);
  glutPostRedisplay();
}

static void drawPhoto(int which, float y, float z, int floor) {
  if (!photoLoaded[which]) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(0.0f, y, z);
  if (floor) glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, photoTextures[which]);
  glBegin(GL_QUADS);
  glNormal3f(0.0f, 0.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-256.0f, -256.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(256.0f, -256.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(256.0f, 256.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-256.0f, 256.0f);
  glEnd();
  glFlush();
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}

static void text(float x, float y, const char* line) {
  glRasterPos2f(x, y);
  for (const char* c = line; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_HELVETICA_10, *c);
}

static void overlay(void) {
  glLoadIdentity();
  GLint box[4];
  glGetIntegerv(GL_VIEWPORT, box);
  if (box[2] <= 0 || box[3] <= 0) return;
  const float a = (float)((long double)(unsigned)box[3] / (unsigned)box[2]);
  glFrustum(-1.0, 1.0, -a, a, 1.0, 1000.0);
  glTranslatef(-512.0f, -512.0f, -512.0f);
  const float bottom = 512.0f - 512.0f * a, top = 512.0f + 512.0f * a;

  ++frameCount;
  const unsigned second = milliseconds() / 1000;
  if (second != lastSecond) {
    lastSecond = second;
    fps = frameCount;
    frameCount = 0;
  }
  char line[32];
  snprintf(line, sizeof line, "%u fps", fps);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  text(100.0f, bottom + 10.0f, line);
  snprintf(line, sizeof line, "%u msec", elapsed);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  text(100.0f, top - 20.0f, line);
}

static void measure(void) {
  ++framesShown;
  if (framesShown == warmUpFrames) {
    CALLGRIND_ZERO_STATS;
    countStart = nowNs();
  } else if (framesShown == warmUpFrames + countedFrames) {
    const double ns = nowNs() - countStart;
    CALLGRIND_DUMP_STATS_AT("counted frames");
    printf("frames %ld ns_per_frame %.0f\n", countedFrames, ns / (double)countedFrames);
    fflush(stdout);
    exit(0);
  }
}

static void display(void) {
  static const GLfloat position[4] = {0.0f, 500.0f, 0.0f, 0.0f};
  static const GLfloat ambient[4] = {0.18f, 0.18f, 0.18f, 1.0f};
  static const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, 0.0f); /* the camera, unmoved */
  glTranslatef(0.0f, 0.0f, -500.0f);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  glLightfv(GL_LIGHT0, GL_LINEAR_ATTENUATION, white);
  glEnable(GL_LIGHTING);
  glColor4fv(white);

  drawPhoto(0, 0.0f, -256.0f, 0);
  drawPhoto(1, -256.0f, 0.0f, 1);
  for (int i = 0; i < kPoolSize; ++i) {
    const float* p = pool[i].position;
    if (p[0] == 0.0f && p[1] == 0.0f && p[2] == 0.0f) continue;
    glPushMatrix();
    glTranslatef(p[0], p[1], p[2]);
    glCallList(dropList);
    glPopMatrix();
  }

  glDisable(GL_LIGHTING);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  overlay();
  glPopMatrix();
  glPopAttrib();
  glutSwapBuffers();
  measure();
}

static void keyboard(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == 27 || key == 'q') exit(0);
}

int main(int argc, char** argv) {
  countedFrames = argc > 1 ? atol(argv[1]) : 500;
  warmUpFrames = argc > 2 ? atol(argv[2]) : 100;
  if (countedFrames <= 0 || warmUpFrames <= 0) {
    fprintf(stderr, "usage: reference_frame [counted frames] [warm-up frames]\n");
    return 2;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  startTime = milliseconds();
  glutInitWindowSize(640, 480);
  glutCreateWindow("reference_frame");
  init();
  glutIdleFunc(idle);
  glutSetKeyRepeat(GLUT_KEY_REPEAT_ON);
  glutReshapeFunc(reshape);
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutMainLoop();
  return 0;
}
