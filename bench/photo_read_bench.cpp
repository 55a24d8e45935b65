// Loading one 512 x 512 photograph from a warm page cache, three ways side by
// side: a plain open/read/close of the whole file into one buffer (the limit
// any reader can reach), the library's BMP path (grBmpFile::read, then
// bmpToImage, which shares the file's buffer) and its two halves, and
// stb_image decoding the same file (a general-purpose loader that copies and
// reorders the pixels).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/support/sample_photo.h"
#include "bench/support/stb_reference.h"
#include "graphics/bmp.h"

namespace {

constexpr int kSide = 512;

const char* photoPath() {
  static const std::string path = [] {
    std::string p = benchsupport::temporaryPath("brelvane_bench_photo.bmp");
    if (!benchsupport::writeSamplePhoto(p, kSide)) std::perror(p.c_str());
    return p;
  }();
  return path.c_str();
}

int64_t fileBytes() {
  struct stat status {};
  stat(photoPath(), &status);
  return int64_t(status.st_size);
}

// The limit: one open, one status call, one buffer, one read of it all.
void plainRead(benchmark::State& state) {
  const char* path = photoPath();
  for (auto _ : state) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat status {};
    fstat(fd, &status);
    std::unique_ptr<char[]> buffer(new char[size_t(status.st_size)]);
    const ssize_t got = read(fd, buffer.get(), size_t(status.st_size));
    close(fd);
    benchmark::DoNotOptimize(buffer.get());
    if (got != status.st_size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(plainRead);

// Reads the photograph every iteration and hands what was read to `use`.
template <typename Use>
void readEach(benchmark::State& state, Use use) {
  const char* path = photoPath();
  for (auto _ : state) {
    libgr::grBmpFile file;
    if (file.read(path))
      use(file);
    else
      state.SkipWithError("not read");
  }
  state.SetBytesProcessed(state.iterations() * fileBytes());
}

// The scene's whole path to an image record ready for upload.
void bmpReadAndDescribe(benchmark::State& state) {
  readEach(state, [&](libgr::grBmpFile& file) {
    libgr::grImage2D image;
    if (!libgr::bmpToImage(image, file)) state.SkipWithError("not read");
    // The image must share the file's buffer: no pixel byte copied.
    if (image.pixels.begin() != file.bits.begin()) state.SkipWithError("pixels were copied");
    benchmark::DoNotOptimize(image.pixels.begin());
  });
}
BENCHMARK(bmpReadAndDescribe);

// Its first half: status query and the whole-file read into shared storage.
void bmpFileRead(benchmark::State& state) {
  readEach(state, [](libgr::grBmpFile& file) { benchmark::DoNotOptimize(file.bits.begin()); });
}
BENCHMARK(bmpFileRead);

// Its second half: the description of a file already in memory.
void bmpDescribe(benchmark::State& state) {
  libgr::grBmpFile file;
  if (!file.read(photoPath())) state.SkipWithError("not read");
  for (auto _ : state) {
    libgr::grImage2D image;
    if (!libgr::bmpToImage(image, file)) state.SkipWithError("not described");
    benchmark::DoNotOptimize(image.pixels.begin());
  }
}
BENCHMARK(bmpDescribe);

// A general-purpose loader on the same file: buffered reads, then the
// pixels copied top-down in RGB order.
void stbImageLoad(benchmark::State& state) {
  const char* path = photoPath();
  for (auto _ : state) {
    if (!benchsupport::loadWithStbImage(path)) state.SkipWithError("stb_image failed");
  }
  state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(stbImageLoad);

}  // namespace
