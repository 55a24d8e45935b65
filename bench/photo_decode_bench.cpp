// Decoding a camera-sized photograph (6000 x 4000) from memory, the library's
// readers beside stb_image on the same bytes, per pixel of the stored
// picture: the JPEG at full size and at the DCT scale the texture route picks
// for it (the smallest that covers the base level GLU would choose, with this
// context's largest texture side), the PNG; then the CPU mip chain of that
// picture (buildMipChain, 6000 x 4000 to a 4096 x 4096 base and halved to
// 1 x 1) and its halving alone (a source already of the base size), so the
// resampling is the difference. Beside them what the machine charges for
// memory the process has not touched yet: one decoded picture's worth
// (6000 x 4000 x 3 bytes) written into fresh memory, and into memory written
// before; every step above writes into fresh buffers.
//
// The files are made by scripts/bench_first_frame.sh (ImageMagick) into the
// folder named by BRELVANE_BENCH_PHOTOS (default: bench-photos in the working
// directory): camera_wall.jpg and camera_wall.png.
//
// Where libheif is found, phone photographs too (FIRST_FRAME_PHOTOS=heic
// makes them): phone_wall.heic, a 4032 x 3024 grid of 8 x 6 HEVC tiles, and
// phone_wall.avif, the same picture as one AV1 image. grPhotoFile::read at
// full size and as the program asks (cover and exact size: the base level
// GLU would choose), beside libheif's bare decode of the same bytes to
// interleaved RGB with the library's thread count and with libheif's
// default. Tiles decode on several threads, so these cases time the wall
// clock (per_pixel) and the CPU time of the whole process, every thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/photo_read_case.h"
#include "bench/support/stb_reference.h"
#include "graphics/mip_chain.h"
#include "graphics/whole_file.h"
#include "photo/heif_hevc_decoder.h"
#include "photo/jpeg_reader.h"
#include "photo/orientation.h"
#include "photo/photo_file.h"
#include "photo/photo_texture.h"
#include "photo/png_reader.h"
#include "tools/headless_gl.h"

#if BRELVANE_BENCH_HEIF
#include <libheif/heif.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

std::string photoPath(const char* name) {
  const char* dir = std::getenv("BRELVANE_BENCH_PHOTOS");
  return std::string(dir && *dir ? dir : "bench-photos") + "/" + name;
}

Bytes fileBytes(const char* name) {
  const std::string path = photoPath(name);
  std::ifstream file(path, std::ios::binary);
  if (!file) std::perror(path.c_str());
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const Bytes& jpegFile() {
  static const Bytes bytes = fileBytes("camera_wall.jpg");
  return bytes;
}
const Bytes& pngFile() {
  static const Bytes bytes = fileBytes("camera_wall.png");
  return bytes;
}

// What the texture route asks the JPEG reader for (grPhotoTexture::load):
// GLU's base level of the upright picture, with GL's largest side.
libgr::grPhotoSize programCover(libgr::grPhotoSize upright) {
  static const uint32_t maxSide = [] {
    GLint side = 0;
    if (headless::makeContextCurrent()) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return uint32_t(side > 0 ? side : 64);
  }();
  const libgr::grLevelSize base = libgr::gluBaseLevelSize(upright.width, upright.height, maxSide);
  return {base.width, base.height};
}

using benchsupport::perStoredPixel;
using benchsupport::preparedBase;

// The library's reader on `bytes` every iteration; the decoded size is
// reported beside the time.
template <typename Decode>
void decodeEach(benchmark::State& state, const Bytes& bytes, Decode decode) {
  if (bytes.empty()) {
    state.SkipWithError("photograph missing (run scripts/bench_first_frame.sh)");
    return;
  }
  libgr::grDecodedPhoto out;
  for (auto _ : state) {
    out = libgr::grDecodedPhoto();
    std::string problem;
    if (!decode(out, problem)) {
      state.SkipWithError(problem.c_str());
      return;
    }
    benchmark::DoNotOptimize(out.image.pixels.begin());
  }
  state.counters["decoded_width"] = out.image.width;
  state.counters["decoded_height"] = out.image.height;
  perStoredPixel(state, double(out.storedSize.width) * out.storedSize.height);
}

void jpegAt(benchmark::State& state, const libgr::grCoverSize& cover) {
  decodeEach(state, jpegFile(), [&](libgr::grDecodedPhoto& out, std::string& problem) {
    return libgr::decodeJpeg({jpegFile().data(), jpegFile().size(), {}}, {cover}, out, problem);
  });
}

void jpegFullSize(benchmark::State& state) { jpegAt(state, {}); }
BENCHMARK(jpegFullSize)->Unit(benchmark::kMillisecond);

void jpegProgramScale(benchmark::State& state) { jpegAt(state, programCover); }
BENCHMARK(jpegProgramScale)->Unit(benchmark::kMillisecond);

// For comparison: what a half-size decode would cost (3000 x 2000).
void jpegHalfScale(benchmark::State& state) {
  jpegAt(state, [](libgr::grPhotoSize upright) {
    return libgr::grPhotoSize{upright.width / 2, upright.height / 2};
  });
}
BENCHMARK(jpegHalfScale)->Unit(benchmark::kMillisecond);

void png(benchmark::State& state) {
  decodeEach(state, pngFile(), [](libgr::grDecodedPhoto& out, std::string& problem) {
    return libgr::decodePng({pngFile().data(), pngFile().size(), {}}, {}, out, problem);
  });
}
BENCHMARK(png)->Unit(benchmark::kMillisecond);

// stb_image on the same bytes: always full size, rows top-down.
void stbImage(benchmark::State& state, const Bytes& bytes) {
  if (bytes.empty()) {
    state.SkipWithError("photograph missing (run scripts/bench_first_frame.sh)");
    return;
  }
  long pixels = 0;
  for (auto _ : state) {
    if (!benchsupport::decodeWithStbImage(bytes.data(), bytes.size(), pixels)) {
      state.SkipWithError("stb_image failed");
      return;
    }
  }
  perStoredPixel(state, double(pixels));
}

void stbImageJpeg(benchmark::State& state) { stbImage(state, jpegFile()); }
BENCHMARK(stbImageJpeg)->Unit(benchmark::kMillisecond);

void stbImagePng(benchmark::State& state) { stbImage(state, pngFile()); }
BENCHMARK(stbImagePng)->Unit(benchmark::kMillisecond);

// The picture decoded once, as the texture route has it, and the base level
// GLU would choose for it.
struct Decoded {
  libgr::grDecodedPhoto photo;
  libgr::grLevelSize base;
  bool ok = false;
  Decoded() {
    std::string problem;
    ok = !jpegFile().empty() && libgr::decodeJpeg({jpegFile().data(), jpegFile().size(), {}},
                                                  {programCover}, photo, problem);
    if (!ok) std::fprintf(stderr, "camera_wall.jpg: %s\n", problem.c_str());
    const libgr::grPhotoSize cover =
        programCover(libgr::uprightSize(photo.storedSize, photo.orientation));
    base = {cover.width, cover.height};
  }
};

const Decoded& decoded() {
  static const Decoded once;
  return once;
}

void chainOf(benchmark::State& state, const libgr::grImage2D& source) {
  if (!decoded().ok) {
    state.SkipWithError("photograph missing (run scripts/bench_first_frame.sh)");
    return;
  }
  std::vector<libgr::grImage2D> levels;
  for (auto _ : state) {
    if (!libgr::buildMipChain(source, decoded().base, levels)) {
      state.SkipWithError("no chain");
      return;
    }
    benchmark::DoNotOptimize(levels.back().pixels.begin());
  }
  state.counters["source_width"] = source.width;
  state.counters["source_height"] = source.height;
  state.counters["base_width"] = decoded().base.width;
  state.counters["base_height"] = decoded().base.height;
  state.counters["levels"] = double(levels.size());
}

// The whole chain: resampling to the base level, then the halvings.
void mipChain(benchmark::State& state) { chainOf(state, decoded().photo.image); }
BENCHMARK(mipChain)->Unit(benchmark::kMillisecond);

// The halvings alone: a source already of the base size is level 0 as it is.
void mipChainHalvingOnly(benchmark::State& state) {
  std::vector<libgr::grImage2D> levels;
  if (!decoded().ok || !libgr::buildMipChain(decoded().photo.image, decoded().base, levels)) {
    state.SkipWithError("no base level");
    return;
  }
  chainOf(state, levels.front());
}
BENCHMARK(mipChainHalvingOnly)->Unit(benchmark::kMillisecond);

// Writing one decoded picture's worth of bytes: into a fresh block (the
// kernel maps and clears every page on first touch), and into a block
// written before.
constexpr std::size_t kPictureBytes = std::size_t(6000) * 4000 * 3;

void freshMemoryWrite(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<unsigned char[]> block(new unsigned char[kPictureBytes]);
    std::memset(block.get(), 1, kPictureBytes);
    benchmark::DoNotOptimize(block.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPictureBytes));
}
BENCHMARK(freshMemoryWrite)->Unit(benchmark::kMillisecond);

void touchedMemoryWrite(benchmark::State& state) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[kPictureBytes]);
  std::memset(block.get(), 0, kPictureBytes);
  for (auto _ : state) {
    std::memset(block.get(), 1, kPictureBytes);
    benchmark::DoNotOptimize(block.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPictureBytes));
}
BENCHMARK(touchedMemoryWrite)->Unit(benchmark::kMillisecond);

#if BRELVANE_BENCH_HEIF

// A phone photograph as grPhotoFile reads it: the whole file in one shared
// buffer.
struct PhoneFile {
  libgr::refvector2<unsigned char> bytes;
  std::string path;
  explicit PhoneFile(const char* name) : path(photoPath(name)) {
    if (libgr::readFileBytes(path.c_str(), 1, bytes) != libgr::grFileError::none)
      std::perror(path.c_str());
  }
};

constexpr const char* kNoPhonePhoto =
    "photograph missing (run FIRST_FRAME_PHOTOS=heic scripts/bench_first_frame.sh)";

const PhoneFile& heicFile() {
  static const PhoneFile file("phone_wall.heic");
  return file;
}
const PhoneFile& avifFile() {
  static const PhoneFile file("phone_wall.avif");
  return file;
}

void photoFileRead(benchmark::State& state, const PhoneFile& file, const libgr::grCoverSize& size) {
  benchsupport::photoFileRead(state, file.bytes, kNoPhonePhoto, size, size);
}

// libheif alone: context, primary image, decode to interleaved RGB, release;
// `threads` < 0 leaves libheif's default. With `readersDecoder`, HEVC is
// decoded by the decoder the reader gives its contexts (libavcodec), else
// by libheif's own (libde265).
void bareLibheif(benchmark::State& state, const PhoneFile& file, int threads,
                 bool readersDecoder = false) {
  if (file.bytes.storageBytes() == 0) {
    state.SkipWithError(kNoPhonePhoto);
    return;
  }
  static const bool initialised = (heif_init(nullptr), true);
  (void)initialised;
  double pixels = 0;
  for (auto _ : state) {
    heif_context* context = heif_context_alloc();
    if (threads >= 0) heif_context_set_max_decoding_threads(context, threads);
#if BRELVANE_BENCH_HEVC_LIBAVCODEC
    if (readersDecoder) libgr::useHevcDecoder(context);
#else
    (void)readersDecoder;
#endif
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    heif_error error = heif_context_read_from_memory_without_copy(
        context, file.bytes.begin(), file.bytes.storageBytes(), nullptr);
    if (error.code == heif_error_Ok)
      error = heif_context_get_primary_image_handle(context, &handle);
    if (error.code == heif_error_Ok)
      error = heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                                nullptr);
    if (error.code == heif_error_Ok) {
      int stride = 0;
      benchmark::DoNotOptimize(
          heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride));
      pixels = double(heif_image_get_width(image, heif_channel_interleaved)) *
               heif_image_get_height(image, heif_channel_interleaved);
    }
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
    if (error.code != heif_error_Ok) {
      state.SkipWithError(error.message);
      return;
    }
  }
  perStoredPixel(state, pixels);
}

const int kCores = int(std::max(1u, std::thread::hardware_concurrency()));

// The wall clock, and the CPU time of every thread of the process.
void threaded(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}

void heicRead(benchmark::State& state) { photoFileRead(state, heicFile(), {}); }
BENCHMARK(heicRead)->Apply(threaded);
void heicProgramRead(benchmark::State& state) { photoFileRead(state, heicFile(), preparedBase); }
BENCHMARK(heicProgramRead)->Apply(threaded);
// The reader's decoder and thread count: what the reader adds to libheif.
void heicLibheif(benchmark::State& state) { bareLibheif(state, heicFile(), kCores, true); }
BENCHMARK(heicLibheif)->Apply(threaded);
// libheif as it comes: libde265, libheif's threads.
void heicLibheifDefault(benchmark::State& state) { bareLibheif(state, heicFile(), -1); }
BENCHMARK(heicLibheifDefault)->Apply(threaded);

void avifRead(benchmark::State& state) { photoFileRead(state, avifFile(), {}); }
BENCHMARK(avifRead)->Apply(threaded);
void avifProgramRead(benchmark::State& state) { photoFileRead(state, avifFile(), preparedBase); }
BENCHMARK(avifProgramRead)->Apply(threaded);
void avifLibheif(benchmark::State& state) { bareLibheif(state, avifFile(), kCores); }
BENCHMARK(avifLibheif)->Apply(threaded);
void avifLibheifDefault(benchmark::State& state) { bareLibheif(state, avifFile(), -1); }
BENCHMARK(avifLibheifDefault)->Apply(threaded);

// The whole CPU half of one photograph as the program's reading thread does
// it (grPhotoTexture::prepare: the file read, decoded, brought to the base
// level, its levels built), for the texture work beside the decode.
void heicPrepare(benchmark::State& state) {
  if (heicFile().bytes.storageBytes() == 0) {
    state.SkipWithError(kNoPhonePhoto);
    return;
  }
  double pixels = 0;
  for (auto _ : state) {
    libgr::grPhotoTexture texture;
    if (!texture.prepare(heicFile().path.c_str())) {
      state.SkipWithError(texture.problem().c_str());
      return;
    }
    pixels = double(texture.file().fullSize.width) * texture.file().fullSize.height;
  }
  perStoredPixel(state, pixels);
}
BENCHMARK(heicPrepare)->Apply(threaded);

#endif  // BRELVANE_BENCH_HEIF

}  // namespace
