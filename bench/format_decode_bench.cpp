// Reading a camera-sized WebP, GIF, TIFF and JPEG XL picture through
// grPhotoFile::read (full size, as stored), beside each library's own bare
// decode of the same bytes to 8-bit RGB(A) in memory: what the reader adds
// (rows bottom-up, checks, set-up) to the library's work. WebP also as the
// program asks for it (decoded at the size its texture needs). The
// pictures are made by scripts/bench_formats.sh in the folder named by
// BRELVANE_BENCH_PHOTOS (default bench-photos): camera_wall.webp (cwebp,
// lossy), .gif (256 colours), .tif and _16.tif (LZW, 8 and 16 bits) and .jxl (cjxl, lossy), all of
// one 6000 x 4000 photograph. One thread each, as the reader decodes them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/photo_read_case.h"
#include "graphics/whole_file.h"

#if BRELVANE_BENCH_WEBP
#include <webp/decode.h>
#endif
#if BRELVANE_BENCH_GIF
#include <gif_lib.h>
#endif
#if BRELVANE_BENCH_TIFF
#include <tiffio.h>
#endif
#if BRELVANE_BENCH_JXL
#include <jxl/decode.h>
#include <jxl/encode.h>  // JxlColorEncodingSetToSRGB, in 0.7
#endif

namespace {

struct Picture {
  libgr::refvector2<unsigned char> bytes;
  explicit Picture(const char* name) {
    const char* dir = std::getenv("BRELVANE_BENCH_PHOTOS");
    const std::string path = std::string(dir && *dir ? dir : "bench-photos") + "/" + name;
    if (libgr::readFileBytes(path.c_str(), 1, bytes) != libgr::grFileError::none)
      std::perror(path.c_str());
  }
  const unsigned char* data() const { return bytes.begin(); }
  std::size_t size() const { return bytes.storageBytes(); }
};

constexpr const char* kMissing = "picture missing (run scripts/bench_formats.sh)";

using benchsupport::perStoredPixel;
using benchsupport::preparedBase;

void photoFileRead(benchmark::State& state, const Picture& picture,
                   const libgr::grCoverSize& cover = {}, const libgr::grCoverSize& exactSize = {}) {
  benchsupport::photoFileRead(state, picture.bytes, kMissing, cover, exactSize);
}

// A library's bare decode every iteration: `decode` returns the pixels it
// decoded, 0 on failure.
template <typename Decode>
void bareDecode(benchmark::State& state, const Picture& picture, Decode decode) {
  if (picture.size() == 0) {
    state.SkipWithError(kMissing);
    return;
  }
  double pixels = 0;
  for (auto _ : state) {
    pixels = decode(picture);
    if (pixels == 0) {
      state.SkipWithError("the library did not decode the picture");
      return;
    }
  }
  perStoredPixel(state, pixels);
}

#if BRELVANE_BENCH_WEBP
const Picture& webpFile() {
  static const Picture picture("camera_wall.webp");
  return picture;
}
void webpRead(benchmark::State& state) { photoFileRead(state, webpFile()); }
BENCHMARK(webpRead)->Unit(benchmark::kMillisecond);
void webpProgramRead(benchmark::State& state) {
  photoFileRead(state, webpFile(), preparedBase, preparedBase);
}
BENCHMARK(webpProgramRead)->Unit(benchmark::kMillisecond);
// The same size reached without the scaled decode: full size, then
// resampled.
void webpFullThenResampled(benchmark::State& state) {
  photoFileRead(state, webpFile(), {}, preparedBase);
}
BENCHMARK(webpFullThenResampled)->Unit(benchmark::kMillisecond);
void webpLibrary(benchmark::State& state) {
  bareDecode(state, webpFile(), [](const Picture& p) {
    int width = 0, height = 0;
    uint8_t* rgb = WebPDecodeRGB(p.data(), p.size(), &width, &height);
    benchmark::DoNotOptimize(rgb);
    WebPFree(rgb);
    return rgb ? double(width) * height : 0.0;
  });
}
BENCHMARK(webpLibrary)->Unit(benchmark::kMillisecond);
#endif

#if BRELVANE_BENCH_GIF
const Picture& gifFile() {
  static const Picture picture("camera_wall.gif");
  return picture;
}
void gifRead(benchmark::State& state) { photoFileRead(state, gifFile()); }
BENCHMARK(gifRead)->Unit(benchmark::kMillisecond);

struct MemoryInput {
  const unsigned char* data;
  std::size_t size, at;
};
int readMemory(GifFileType* gif, GifByteType* to, int n) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t count = std::min<std::size_t>(std::size_t(n), in->size - in->at);
  std::memcpy(to, in->data + in->at, count);
  in->at += count;
  return int(count);
}

// giflib's own way to the first picture: the whole file slurped, its first
// frame's indices turned into RGB through the colour table.
void gifLibrary(benchmark::State& state) {
  bareDecode(state, gifFile(), [](const Picture& p) {
    MemoryInput in{p.data(), p.size(), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, readMemory, &error);
    double pixels = 0;
    if (gif && DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
      const SavedImage& frame = gif->SavedImages[0];
      const ColorMapObject* map =
          frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
      const std::size_t count = std::size_t(frame.ImageDesc.Width) * frame.ImageDesc.Height;
      std::vector<unsigned char> rgb(count * 3);
      for (std::size_t i = 0; map && i < count; ++i) {
        const GifColorType& colour = map->Colors[frame.RasterBits[i] % map->ColorCount];
        rgb[3 * i] = colour.Red, rgb[3 * i + 1] = colour.Green, rgb[3 * i + 2] = colour.Blue;
      }
      benchmark::DoNotOptimize(rgb.data());
      pixels = double(count);
    }
    if (gif) DGifCloseFile(gif, &error);
    return pixels;
  });
}
BENCHMARK(gifLibrary)->Unit(benchmark::kMillisecond);
#endif

#if BRELVANE_BENCH_TIFF
const Picture& tiffFile() {
  static const Picture picture("camera_wall.tif");
  return picture;
}
const Picture& tiff16File() {
  static const Picture picture("camera_wall_16.tif");
  return picture;
}
void tiffRead(benchmark::State& state) { photoFileRead(state, tiffFile()); }
BENCHMARK(tiffRead)->Unit(benchmark::kMillisecond);
void tiff16Read(benchmark::State& state) { photoFileRead(state, tiff16File()); }
BENCHMARK(tiff16Read)->Unit(benchmark::kMillisecond);

struct TiffInput {
  const unsigned char* data;
  toff_t size, at;
};
tmsize_t tiffRead(thandle_t handle, void* to, tmsize_t n) {
  auto* in = static_cast<TiffInput*>(handle);
  const toff_t count = std::min<toff_t>(toff_t(n), in->size - std::min(in->at, in->size));
  std::memcpy(to, in->data + in->at, count);
  in->at += count;
  return tmsize_t(count);
}
tmsize_t tiffWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* in = static_cast<TiffInput*>(handle);
  in->at = whence == SEEK_SET ? offset : whence == SEEK_CUR ? in->at + offset : in->size + offset;
  return in->at;
}
int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t handle) { return static_cast<TiffInput*>(handle)->size; }

// libtiff's own one call to 8-bit RGBA, rows bottom-up.
void bareLibtiff(benchmark::State& state, const Picture& picture) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  bareDecode(state, picture, [](const Picture& p) {
    TiffInput in{p.data(), p.size(), 0};
    TIFF* tiff = TIFFClientOpen("bench", "rm", &in, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                tiffSize, nullptr, nullptr);
    double pixels = 0;
    uint32_t width = 0, height = 0;
    if (tiff && TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) &&
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
      std::vector<uint32_t> rgba(std::size_t(width) * height);
      if (TIFFReadRGBAImageOriented(tiff, width, height, rgba.data(), ORIENTATION_BOTLEFT, 0))
        pixels = double(width) * height;
      benchmark::DoNotOptimize(rgba.data());
    }
    if (tiff) TIFFClose(tiff);
    return pixels;
  });
}
void tiffLibrary(benchmark::State& state) { bareLibtiff(state, tiffFile()); }
BENCHMARK(tiffLibrary)->Unit(benchmark::kMillisecond);
void tiff16Library(benchmark::State& state) { bareLibtiff(state, tiff16File()); }
BENCHMARK(tiff16Library)->Unit(benchmark::kMillisecond);
#endif

#if BRELVANE_BENCH_JXL
const Picture& jxlFile() {
  static const Picture picture("camera_wall.jxl");
  return picture;
}
void jxlRead(benchmark::State& state) { photoFileRead(state, jxlFile()); }
BENCHMARK(jxlRead)->Unit(benchmark::kMillisecond);

// libjxl to 8-bit RGB in sRGB (as the reader asks for lossy pictures), on
// the calling thread.
void jxlLibrary(benchmark::State& state) {
  bareDecode(state, jxlFile(), [](const Picture& p) {
    const std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(JxlDecoderCreate(nullptr),
                                                                     JxlDecoderDestroy);
    JxlDecoderSubscribeEvents(decoder.get(),
                              JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
    JxlDecoderSetInput(decoder.get(), p.data(), p.size());
    JxlDecoderCloseInput(decoder.get());
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    std::vector<unsigned char> rgb;
    for (;;) {
      switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_BASIC_INFO:
          JxlDecoderGetBasicInfo(decoder.get(), &info);
          break;
        case JXL_DEC_COLOR_ENCODING: {
          JxlColorEncoding srgb{};
          JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
          JxlDecoderSetPreferredColorProfile(decoder.get(), &srgb);
          break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
          rgb.resize(std::size_t(info.xsize) * info.ysize * 3);
          JxlDecoderSetImageOutBuffer(decoder.get(), &format, rgb.data(), rgb.size());
          break;
        case JXL_DEC_FULL_IMAGE:
          benchmark::DoNotOptimize(rgb.data());
          return double(info.xsize) * info.ysize;
        default:
          return 0.0;
      }
    }
  });
}
BENCHMARK(jxlLibrary)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
