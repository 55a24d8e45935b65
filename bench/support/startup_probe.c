/* Start-up timing of the real program, preloaded into it (LD_PRELOAD):
 * wraps a few GLUT and GLU entry points and, on the first buffer swap,
 * prints milliseconds from the launch (BRELVANE_LAUNCH_US, wall-clock
 * microseconds taken by the launcher just before exec) to each milestone,
 * then ends the process. Milestones: this library loaded (exec and dynamic
 * linking done), the window created, init done (main loop entered), the
 * first frame swapped; plus the time spent in open/read of photograph files
 * (.bmp, .jpg, .jpeg, .png: file reading), in the JPEG and PNG decoders'
 * entry points (TurboJPEG's tjDecompress2, libspng's spng_decode_image and
 * spng_decode_row: decoding), in gluBuild2DMipmaps (GLU uploads, of which
 * GLU's own glTexImage2D calls are counted apart: the rest is GLU scaling
 * and halving on the CPU) and in glTexImage2D called by the program itself
 * (levels built by the program); and the CPU time of the whole process (all
 * threads, user and system) to the first swap, which a busy machine stretches
 * less than the wall-clock times. The decoders are wrapped by name only, so
 * the probe needs neither library and a program without them is unaffected.
 * With BRELVANE_PROBE_TRACE set it also writes each milestone to stderr as it
 * happens: the window, each decode's start and end, the first and last level
 * of each texture, the main loop; read as a timeline, that shows which
 * thread the start waits for. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <ctype.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static double nowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static double launchMs, loadedMs, windowMs, initDoneMs, uploadMs, fileMs;
static double gluTexImageMs, texImageMs, decodeMs;
static int photoFd = -1, insideGlu;

__attribute__((constructor)) static void probeLoaded(void) {
  loadedMs = nowMs();
  const char* launch = getenv("BRELVANE_LAUNCH_US");
  launchMs = launch ? strtod(launch, NULL) / 1e3 : loadedMs;
}

static void* next(const char* name) { return dlsym(RTLD_NEXT, name); }

/* With BRELVANE_PROBE_TRACE set, each milestone is also written to stderr as
 * it happens (ms since launch, thread), for reading the start-up as a
 * timeline. */
static void trace(const char* what, int detail) {
  static int enabled = -1;
  if (enabled < 0) enabled = getenv("BRELVANE_PROBE_TRACE") != NULL;
  if (enabled)
    fprintf(stderr, "probe %8.1f ms  thread %ld  %s %d\n", nowMs() - launchMs, (long)gettid(), what,
            detail);
}

int glutCreateWindow(const char* title) {
  int (*real)(const char*) = (int (*)(const char*))next("glutCreateWindow");
  const int id = real(title);
  windowMs = nowMs();
  trace("window", id);
  return id;
}

void glutMainLoop(void) {
  initDoneMs = nowMs();
  trace("main loop", 0);
  void (*real)(void) = (void (*)(void))next("glutMainLoop");
  real();
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data) {
  GLint (*real)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) = (GLint(*)(
      GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*))next("gluBuild2DMipmaps");
  const double start = nowMs();
  ++insideGlu;
  const GLint result = real(target, internalFormat, width, height, format, type, data);
  --insideGlu;
  uploadMs += nowMs() - start;
  return result;
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* data) {
  void (*real)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) =
      (void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))next(
          "glTexImage2D");
  const double start = nowMs();
  if (level == 0) trace("glTexImage2D level 0, width", width);
  real(target, level, internalFormat, width, height, border, format, type, data);
  if (width == 1 && height == 1) trace("glTexImage2D 1 x 1 level", level);
  *(insideGlu ? &gluTexImageMs : &texImageMs) += nowMs() - start;
}

/* The decoders, declared by their ABI (handles and contexts as void*). */
int tjDecompress2(void* handle, const unsigned char* jpeg, unsigned long size, unsigned char* out,
                  int width, int pitch, int height, int pixelFormat, int flags) {
  int (*real)(void*, const unsigned char*, unsigned long, unsigned char*, int, int, int, int, int) =
      (int (*)(void*, const unsigned char*, unsigned long, unsigned char*, int, int, int, int,
               int))next("tjDecompress2");
  const double start = nowMs();
  trace("tjDecompress2 begins, width", width);
  const int result = real(handle, jpeg, size, out, width, pitch, height, pixelFormat, flags);
  decodeMs += nowMs() - start;
  trace("tjDecompress2 ends, width", width);
  return result;
}

int spng_decode_image(void* ctx, void* out, size_t size, int format, int flags) {
  int (*real)(void*, void*, size_t, int, int) =
      (int (*)(void*, void*, size_t, int, int))next("spng_decode_image");
  const double start = nowMs();
  const int result = real(ctx, out, size, format, flags);
  decodeMs += nowMs() - start;
  return result;
}

int spng_decode_row(void* ctx, void* out, size_t size) {
  int (*real)(void*, void*, size_t) = (int (*)(void*, void*, size_t))next("spng_decode_row");
  const double start = nowMs();
  const int result = real(ctx, out, size);
  decodeMs += nowMs() - start;
  return result;
}

static int endsWith(const char* path, size_t n, const char* suffix) {
  const size_t k = strlen(suffix);
  if (n <= k) return 0;
  for (size_t i = 0; i < k; ++i)
    if (tolower((unsigned char)path[n - k + i]) != suffix[i]) return 0;
  return 1;
}

static int isPhoto(const char* path) {
  const size_t n = path ? strlen(path) : 0;
  return endsWith(path, n, ".bmp") || endsWith(path, n, ".jpg") || endsWith(path, n, ".jpeg") ||
         endsWith(path, n, ".png");
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
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  const double cpuMs = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  printf(
      "exec_and_link_ms %.2f window_ms %.2f init_ms %.2f first_frame_ms %.2f "
      "total_ms %.2f photo_file_ms %.2f upload_ms %.2f glu_tex_image_ms %.2f decode_ms %.2f "
      "tex_image_ms %.2f cpu_ms %.2f\n",
      loadedMs - launchMs, windowMs - loadedMs, initDoneMs - windowMs, swapped - initDoneMs,
      swapped - launchMs, fileMs, uploadMs, gluTexImageMs, decodeMs, texImageMs, cpuMs);
  fflush(stdout);
  _exit(0);
}
