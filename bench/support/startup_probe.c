/* Start-up timing of the real program, preloaded into it (LD_PRELOAD):
 * wraps a few GLUT and GLU entry points and, on the first buffer swap,
 * prints milliseconds from the launch (BRELVANE_LAUNCH_US, wall-clock
 * microseconds taken by the launcher just before exec) to each milestone,
 * then ends the process. Milestones: this library loaded (exec and dynamic
 * linking done), the window created, init done (main loop entered), the
 * first frame swapped; plus the time spent in gluBuild2DMipmaps (uploads)
 * and in open/read of .bmp files (file reading). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static double nowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static double launchMs, loadedMs, windowMs, initDoneMs, uploadMs, fileMs;
static int photoFd = -1;

__attribute__((constructor)) static void probeLoaded(void) {
  loadedMs = nowMs();
  const char* launch = getenv("BRELVANE_LAUNCH_US");
  launchMs = launch ? strtod(launch, NULL) / 1e3 : loadedMs;
}

static void* next(const char* name) { return dlsym(RTLD_NEXT, name); }

int glutCreateWindow(const char* title) {
  int (*real)(const char*) = (int (*)(const char*))next("glutCreateWindow");
  const int id = real(title);
  windowMs = nowMs();
  return id;
}

void glutMainLoop(void) {
  initDoneMs = nowMs();
  void (*real)(void) = (void (*)(void))next("glutMainLoop");
  real();
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data) {
  GLint (*real)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) = (GLint(*)(
      GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*))next("gluBuild2DMipmaps");
  const double start = nowMs();
  const GLint result = real(target, internalFormat, width, height, format, type, data);
  uploadMs += nowMs() - start;
  return result;
}

static int isPhoto(const char* path) {
  const size_t n = path ? strlen(path) : 0;
  return n > 4 && strcmp(path + n - 4, ".bmp") == 0;
}

int open(const char* path, int flags, ...) {
  int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))next("open");
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  const double start = nowMs();
  const int fd = real(path, flags, mode);
  if (isPhoto(path)) {
    fileMs += nowMs() - start;
    photoFd = fd;
  }
  return fd;
}

/* The C++ library opens files through fopen. */
static FILE* openStream(const char* name, const char* path, const char* mode) {
  FILE* (*real)(const char*, const char*) = (FILE * (*)(const char*, const char*)) next(name);
  const double start = nowMs();
  FILE* file = real(path, mode);
  if (isPhoto(path)) {
    fileMs += nowMs() - start;
    photoFd = file ? fileno(file) : -1;
  }
  return file;
}
FILE* fopen(const char* path, const char* mode) { return openStream("fopen", path, mode); }
FILE* fopen64(const char* path, const char* mode) { return openStream("fopen64", path, mode); }

ssize_t read(int fd, void* buffer, size_t bytes) {
  ssize_t (*real)(int, void*, size_t) = (ssize_t(*)(int, void*, size_t))next("read");
  if (fd != photoFd || fd < 0) return real(fd, buffer, bytes);
  const double start = nowMs();
  const ssize_t got = real(fd, buffer, bytes);
  fileMs += nowMs() - start;
  return got;
}

void glutSwapBuffers(void) {
  void (*real)(void) = (void (*)(void))next("glutSwapBuffers");
  real();
  glFinish();
  const double swapped = nowMs();
  printf(
      "exec_and_link_ms %.2f window_ms %.2f init_ms %.2f first_frame_ms %.2f "
      "total_ms %.2f photo_file_ms %.2f upload_ms %.2f\n",
      loadedMs - launchMs, windowMs - loadedMs, initDoneMs - windowMs, swapped - initDoneMs,
      swapped - launchMs, fileMs, uploadMs);
  fflush(stdout);
  _exit(0);
}
