// Uploading one 512 x 512 photograph as a mipmapped texture through
// grTexture2D, the scene's way (GLU builds and sends every level) beside GL's
// own generation (GL_SGIS_generate_mipmap, switched on by probeGenerateMipmap),
// with the bare GL calls of each as the limit, and the whole photograph load
// (file read, description, upload) as the scene does it at start-up.
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <string>

#include "bench/support/sample_photo.h"
#include "graphics/bmp.h"
#include "graphics/extensions.h"
#include "graphics/texture_image.h"
#include "graphics/texture_object.h"
#include "photo/photo_texture.h"
#include "scene/billboard.h"
#include "tools/headless_gl.h"

namespace {

constexpr int kSide = 512;

const char* photoPath() {
  static const std::string path = [] {
    std::string p = benchsupport::temporaryPath("brelvane_bench_upload.bmp");
    benchsupport::writeSamplePhoto(p, kSide);
    return p;
  }();
  return path.c_str();
}

// The photograph read and described once; every upload shares its pixels.
struct Photo {
  libgr::grBmpFile file;
  libgr::grImage2D image;
  bool ok = false;
  Photo() { ok = file.read(photoPath()) && libgr::bmpToImage(image, file); }
};

const Photo& photo() {
  static const Photo loaded;
  return loaded;
}

// Uploads through grTexture2D into a fresh texture name, waits for GL, and
// deletes the texture again, as many times as the benchmark asks.
void uploadThroughTexture2D(benchmark::State& state, bool glGenerates) {
  if (!headless::makeContextCurrent() || !photo().ok) {
    state.SkipWithError("no context or photograph");
    return;
  }
  libgr::resetExtensionProbes();
  if (glGenerates && !libgr::probeGenerateMipmap()) {
    state.SkipWithError("GL_SGIS_generate_mipmap missing");
    return;
  }
  libgr::grTexParams2D params = libgr::photographTexParams();
  libgr::grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(photo().image, 0, 0);
  texture.setParams(&params);
  for (auto _ : state) {
    libgr::grTextureObject object;
    object.create(texture);
    glFinish();
    object.release();
  }
  libgr::resetExtensionProbes();
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error");
}

void uploadGluMipmaps(benchmark::State& state) { uploadThroughTexture2D(state, false); }
BENCHMARK(uploadGluMipmaps)->Unit(benchmark::kMillisecond);

void uploadGeneratedMipmaps(benchmark::State& state) { uploadThroughTexture2D(state, true); }
BENCHMARK(uploadGeneratedMipmaps)->Unit(benchmark::kMillisecond);

// The limits: the same two uploads as bare GL calls, no library around them.
void bareUpload(benchmark::State& state, bool glGenerates) {
  if (!headless::makeContextCurrent() || !photo().ok) {
    state.SkipWithError("no context or photograph");
    return;
  }
  const libgr::grImage2D& image = photo().image;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (auto _ : state) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    if (glGenerates) {
      glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kSide, kSide, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                   image.pixels.begin());
    } else {
      gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, kSide, kSide, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                        image.pixels.begin());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glFinish();
    glDeleteTextures(1, &name);
  }
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error");
}

void bareGluBuild2DMipmaps(benchmark::State& state) { bareUpload(state, false); }
BENCHMARK(bareGluBuild2DMipmaps)->Unit(benchmark::kMillisecond);

void bareGenerateMipmap(benchmark::State& state) { bareUpload(state, true); }
BENCHMARK(bareGenerateMipmap)->Unit(benchmark::kMillisecond);

// One photograph as the scene loads it: read, describe, upload with GLU.
void photographLoad(benchmark::State& state) {
  if (!headless::makeContextCurrent()) {
    state.SkipWithError("no context");
    return;
  }
  libgr::resetExtensionProbes();
  const libgr::grFrame placement;
  const libgr::grRect extent{-256.0f, -256.0f, 256.0f, 256.0f};
  for (auto _ : state) {
    BillBoard board;
    if (!board.load(photoPath(), placement, extent)) state.SkipWithError("not loaded");
    glFinish();
  }
}
BENCHMARK(photographLoad)->Unit(benchmark::kMillisecond);

}  // namespace
