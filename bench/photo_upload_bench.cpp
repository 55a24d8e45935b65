// Sending a camera-sized photograph's texture (the 6000 x 4000 JPEG of
// photo_decode_bench, same folder) into a fresh texture, waited for with
// glFinish: the CPU-built chain (4096 x 4096 to 1 x 1) as the texture route
// sends it (grTextureChain2D: 3-byte BGR levels, internal GL_RGB), the same
// levels as 4-byte BGRA (what the driver may store without converting), and
// the levels defined without pixels (the driver's allocation alone), and
// gluBuild2DMipmaps on the full picture (the classic way: GLU scales to the
// base level, halves and sends every level).
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/mip_chain.h"
#include "graphics/texture_chain.h"
#include "graphics/texture_object.h"
#include "photo/jpeg_reader.h"
#include "photo/photo_texture.h"
#include "tools/headless_gl.h"

namespace {

// The picture at full size and its chain at GLU's sizes, made once.
struct Chain {
  libgr::grDecodedPhoto photo;
  std::vector<libgr::grImage2D> levels;
  std::vector<std::vector<unsigned char>> bgra;  // the levels with a fourth byte
  bool ok = false;

  Chain() {
    const char* dir = std::getenv("BRELVANE_BENCH_PHOTOS");
    std::ifstream file(std::string(dir && *dir ? dir : "bench-photos") + "/camera_wall.jpg",
                       std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    std::string problem;
    GLint maxSide = 0;
    if (bytes.empty() || !headless::makeContextCurrent() ||
        !libgr::decodeJpeg({bytes.data(), bytes.size()}, {}, photo, problem))
      return;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    const libgr::grLevelSize base = libgr::gluBaseLevelSize(
        uint32_t(photo.image.width), uint32_t(photo.image.height), uint32_t(maxSide));
    if (!libgr::buildMipChain(photo.image, base, levels)) return;
    for (const libgr::grImage2D& level : levels) {
      const unsigned char* p = level.pixels.begin();
      std::vector<unsigned char> four(std::size_t(level.width) * level.height * 4);
      for (std::size_t i = 0; i < four.size(); i += 4, p += 3) {
        four[i] = p[0];
        four[i + 1] = p[1];
        four[i + 2] = p[2];
        four[i + 3] = 255;
      }
      bgra.push_back(std::move(four));
    }
    ok = true;
  }
};

const Chain& chain() {
  static const Chain once;
  return once;
}

// A fresh texture name per iteration, filled by `send`, waited for, deleted.
// With `filterFirst`, the photograph's minification filter is set before
// `send`, as the program's chain sets it (Mesa then sizes the storage for
// the whole chain at level 0); the classic program sets none.
template <typename Send>
void uploadEach(benchmark::State& state, Send send, bool filterFirst = true) {
  if (!chain().ok) {
    state.SkipWithError("no context or photograph (run scripts/bench_first_frame.sh)");
    return;
  }
  for (auto _ : state) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    if (filterFirst) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    send();
    glFinish();
    glDeleteTextures(1, &name);
  }
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error");
}

// The texture route's own call: every level in one glTexImage2D each.
void chainAsSent(benchmark::State& state) {
  if (!chain().ok) {
    state.SkipWithError("no context or photograph (run scripts/bench_first_frame.sh)");
    return;
  }
  libgr::grTexParams2D params = libgr::photographTexParams();
  for (auto _ : state) {
    libgr::grTextureChain2D texture;
    texture.setImages(chain().levels.begin(), chain().levels.end(), 0, 0);
    texture.setParams(&params);
    libgr::grTextureObject object;
    object.create(texture);
    glFinish();
    object.release();
  }
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error");
}
BENCHMARK(chainAsSent)->Unit(benchmark::kMillisecond);

// The same levels as 4-byte BGRA, internal format GL_RGB or GL_RGBA8.
void chainBgra(benchmark::State& state, GLint internalFormat) {
  uploadEach(state, [&] {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (std::size_t i = 0; i < chain().levels.size(); ++i)
      glTexImage2D(GL_TEXTURE_2D, GLint(i), internalFormat, chain().levels[i].width,
                   chain().levels[i].height, 0, GL_BGRA, GL_UNSIGNED_BYTE, chain().bgra[i].data());
  });
}
void chainBgraAsRgb(benchmark::State& state) { chainBgra(state, GL_RGB); }
BENCHMARK(chainBgraAsRgb)->Unit(benchmark::kMillisecond);
void chainBgraAsRgba8(benchmark::State& state) { chainBgra(state, GL_RGBA8); }
BENCHMARK(chainBgraAsRgba8)->Unit(benchmark::kMillisecond);

// The driver's share without any pixels: the same levels defined empty.
void chainWithoutPixels(benchmark::State& state) {
  uploadEach(state, [] {
    for (std::size_t i = 0; i < chain().levels.size(); ++i)
      glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGB, chain().levels[i].width,
                   chain().levels[i].height, 0, GL_BGR, GL_UNSIGNED_BYTE, nullptr);
  });
}
BENCHMARK(chainWithoutPixels)->Unit(benchmark::kMillisecond);

// The classic way on the full picture (stb_glu_viewer's call).
void gluBuild2DMipmapsFullPicture(benchmark::State& state) {
  uploadEach(
      state,
      [] {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, chain().photo.image.width,
                          chain().photo.image.height, GL_BGR, GL_UNSIGNED_BYTE,
                          chain().photo.image.pixels.begin());
      },
      false);
}
BENCHMARK(gluBuild2DMipmapsFullPicture)->Unit(benchmark::kMillisecond);

}  // namespace
