// libFuzzer target: arbitrary bytes taken as a whole photograph file already
// in memory and read by grPhotoFile, with no GL and no file: the format told
// from the content and the reader the format table (photo_format.cpp) gives
// for it run, so every reader this build decodes (BMP, JPEG, PNG, a JPEG or
// PNG inside a BMP) is reached without the fuzzer naming any; then the EXIF
// orientation read and applied and the colour profile converted. Each input
// is read as it is, then (unless the BMP pixel reader took it, which has no
// sizes) with a cover and an exact size of a quarter of the upright
// picture, as grPhotoTexture asks, so that the DCT-scaled JPEG decode and
// the resampling run too.
//
// It sits beside photo_upload_fuzz, which takes the same bytes all the way
// into a GL texture: without a GL context, a file and the upload, it gets
// through more inputs a second, most of them read twice, so the readers are
// searched deeper in the same time.
//
// Besides the sanitizers' findings, these count as faults (the input then
// aborts): a read that succeeds with an empty picture, a problem, a format
// this build does not decode, a description that resolves to no pixel
// format or reaches past its pixels; a read that fails without a problem or
// with its image changed. Every byte the image describes is read, and the
// file buffer and every decoded block end at an unreadable page, so that the
// uninstrumented image libraries fault at once on a read past them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/image.h"
#include "graphics/pixel_format.h"
#include "photo/photo_file.h"
#include "photo/photo_format.h"
#include "tools/guarded_new.h"

namespace {

using libgr::grImage2D;

[[noreturn]] void fault(const char* request, const std::string& what) {
  std::fprintf(stderr, "photo_read_fuzz: %s read: %s\n", request, what.c_str());
  std::abort();
}

volatile unsigned sink = 0;

// The harness's own loops stay out of the coverage the fuzzer steers by
// (they took a sixth of its time), not out of the address checks; kept out
// of line, as coverage is added after inlining.
#if defined(__clang__)
#define NO_COVERAGE __attribute__((noinline, no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif

NO_COVERAGE unsigned sumBytes(const unsigned char* bytes, uint64_t n) {
  unsigned sum = 0;
  for (uint64_t i = 0; i < n; ++i) sum += bytes[i];
  return sum;
}

template <typename Map>
NO_COVERAGE void touchMap(const Map& map, uint32_t count, const char* request) {
  if (map.size() < count)
    fault(request, "a colour map holds " + std::to_string(map.size()) + " entries, not " +
                       std::to_string(count));
  unsigned sum = 0;
  for (uint32_t i = 0; i < count; ++i) sum += map.begin()[i];
  sink = sink + sum;
}

// The bytes GL would read for the image, by its own unpack settings (GL's
// initial alignment when it has none); every one of them must lie in its
// window, and is read here.
void touchEveryDescribedByte(const grImage2D& image, const char* request) {
  const std::string description =
      std::to_string(image.width) + " x " + std::to_string(image.height) + ", layout " +
      std::to_string(image.layout) + ", class " + std::to_string(image.componentClass) +
      ", depth code " + std::to_string(image.depthCode);
  libgr::grPixelFormat format;
  if (!libgr::resolvePixelFormat(format, image.layout, image.componentClass, image.depthCode,
                                 false))
    fault(request, description + ": resolves to no pixel format");
  libgr::grUnpackExtent extent;
  extent.width = image.width;
  extent.height = image.height;
  extent.rowLength = image.unpack.rowLength;
  extent.skipPixels = image.unpack.skipPixels;
  extent.skipRows = image.unpack.skipRows;
  extent.alignment = image.pixelStore ? image.pixelStore->alignment : 4;
  // GL unpacks one-bit rows as colour indices only: a one-bit grey picture
  // (a BMP without a palette) is read, and skipped by the upload, so its
  // bits are counted as indices.
  const bool greyBits = format.type == GL_BITMAP && libgr::componentCount(format.format) == 1;
  const int64_t needed = libgr::unpackedByteCount(greyBits ? GLenum(GL_COLOR_INDEX) : format.format,
                                                  format.type, extent);
  if (needed <= 0)
    fault(request, description + ", alignment " + std::to_string(extent.alignment) +
                       ": GL cannot unpack it");
  if (needed > int64_t(image.pixels.size()))
    fault(request, description + ": describes " + std::to_string(needed) +
                       " bytes in a window of " + std::to_string(image.pixels.size()));
  sink = sink + sumBytes(image.pixels.begin(), uint64_t(needed));
  const libgr::grColorMaps& maps = image.colorMaps;
  if (maps.count != 0) {
    touchMap(maps.red, maps.count, request);
    touchMap(maps.green, maps.count, request);
    touchMap(maps.blue, maps.count, request);
  }
}

void checkRead(const libgr::grPhotoFile& file, bool read, const grImage2D& image,
               const char* request) {
  if (!read) {
    if (file.problem.empty()) fault(request, "refused without a problem");
    if (image.pixels.hasStorage() || image.width != 0 || image.height != 0)
      fault(request, "refused (" + file.problem + ") but changed the image");
    return;
  }
  if (!file.problem.empty()) fault(request, "succeeded with the problem \"" + file.problem + "\"");
  if (!libgr::isReadablePhotoFormat(file.fileFormat) ||
      !libgr::isReadablePhotoFormat(file.pictureFormat))
    fault(request, std::string("succeeded on a format this build does not decode: ") +
                       libgr::photoFormatName(file.fileFormat) + " holding " +
                       libgr::photoFormatName(file.pictureFormat));
  if (image.width <= 0 || image.height <= 0)
    fault(request, "succeeded with a " + std::to_string(image.width) + " x " +
                       std::to_string(image.height) + " picture");
  if (file.fullSize.width == 0 || file.fullSize.height == 0)
    fault(request, "succeeded with a full size of " + std::to_string(file.fullSize.width) + " x " +
                       std::to_string(file.fullSize.height));
  if (image.compressed) fault(request, "succeeded with compressed pixels");
  touchEveryDescribedByte(image, request);
}

// A quarter of each upright side, at least one pixel: small enough that a
// camera-sized JPEG is decoded at a reduced DCT scale and then resampled.
libgr::grPhotoSize quarter(libgr::grPhotoSize upright) {
  return {upright.width / 4 ? upright.width / 4 : 1, upright.height / 4 ? upright.height / 4 : 1};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Names the readers the table puts under the fuzzer in this build (one
  // built without libspng fuzzes no PNG reader), for whoever reads the log.
  std::string formats;
  for (const libgr::grPhotoFormatInfo& info : libgr::photoFormats())
    if (info.built) formats += std::string(formats.empty() ? "" : ", ") + info.name;
  std::fprintf(stderr, "photo_read_fuzz: reading %s\n", formats.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  libgr::refvector2<unsigned char> bytes;
  // The file buffer, the decoded pixels and every resampled or turned block
  // end at an unreadable page.
  guard_page::withGuardedArrays([&] {
    bytes.allocate(uint32_t(size));
    if (size != 0) std::memcpy(bytes.begin(), data, size);
    for (const bool scaled : {false, true}) {
      libgr::grPhotoFile file;
      // Declared sizes are checked before anything of their size is
      // allocated at any limit; a megapixel keeps every run within the
      // fuzzer's time.
      file.maxPixels = 1'000'000;
      grImage2D image;
      const bool read =
          scaled ? file.read(bytes, image, quarter, quarter) : file.read(bytes, image);
      checkRead(file, read, image, scaled ? "quarter-size" : "plain");
      // The BMP pixel reader takes no size and its pictures are never
      // resampled: a second read would only repeat the first.
      if (file.isBmpPicture()) break;
    }
  });
  return 0;
}
