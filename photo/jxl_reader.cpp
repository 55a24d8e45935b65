// JPEG XL decoding with libjxl, its decoder held by an owner and its
// allocations counted against a budget.
#include "photo/jxl_reader.h"

#include <jxl/decode.h>
#include <jxl/encode.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "photo/jxl_quiet.h"

namespace libgr {

namespace {

struct DecoderRelease {
  void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
using DecoderHandle = std::unique_ptr<JxlDecoder, DecoderRelease>;

// The longest side read (within the pixel limit, a panorama's).
constexpr uint32_t kLargestSide = 65536;
// libjxl 0.7 allocates its image planes itself, outside any memory manager
// (libjxl/libjxl#1795), about 13 bytes a pixel (lossy) to 17 (lossless,
// alpha) at its peak. What a picture may cost is therefore decided from its
// declared size before decoding: the pixel limit, and no more pixels than
// the file's bytes can describe. JPEG XL codes a plain area in almost
// nothing (90 megapixels of one colour, 1.3 GB to decode, in 12 KB), while
// a photograph spends a byte on a few pixels and a screenshot on a few
// hundred: with 1024 pixels a byte, a file under 19 KB stays under 400 MB.
// The manager's budget caps what goes through it.
constexpr uint64_t kPixelsPerByte = 1024;
constexpr uint64_t kWorkingBytesPerPixel = 24;
constexpr uint64_t kWorkingMargin = 16u << 20;

// What goes through the decoder's memory manager (its own state, boxes,
// tables) is counted and capped: an allocation past the budget fails, and
// libjxl reports the failure as an error.
struct Budget {
  uint64_t cap = kWorkingMargin;
  uint64_t used = 0;
};

// Each block carries its size in front of it, kept aligned as malloc's.
constexpr std::size_t kHeader = alignof(std::max_align_t) * 4;

void* budgetedAlloc(void* opaque, std::size_t size) {
  auto* budget = static_cast<Budget*>(opaque);
  if (size > budget->cap - std::min(budget->cap, budget->used)) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  budget->used += size;
  return block + kHeader;
}

void budgetedFree(void* opaque, void* address) {
  if (!address) return;
  auto* block = static_cast<unsigned char*>(address) - kHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  static_cast<Budget*>(opaque)->used -= size;
  std::free(block);
}

// What the decoding has reached.
struct Decoding {
  JxlBasicInfo info{};
  JxlPixelFormat format{};
  uint32_t layout = grLayoutRGB;
  refvector2<unsigned char> pixels;
  bool haveInfo = false;
  bool outputSet = false;
};

// The size limits, from the basic info, before anything of its size.
bool sizeAllowed(const JxlBasicInfo& info, const grDecodeRequest& request, std::size_t fileBytes,
                 Budget& budget, std::string& problem) {
  const uint64_t pixels = uint64_t(info.xsize) * info.ysize;
  if (info.xsize == 0 || info.ysize == 0) {
    problem = "damaged JPEG XL data";
    return false;
  }
  if (pixels > request.maxPixels) {
    problem = tooManyPixels(info.xsize, info.ysize, request.maxPixels);
    return false;
  }
  if (info.xsize > kLargestSide || info.ysize > kLargestSide) {
    problem = "picture too large: a side is over " + std::to_string(kLargestSide) + " pixels";
    return false;
  }
  if (pixels > kPixelsPerByte * uint64_t(fileBytes)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }
  budget.cap = kWorkingMargin + pixels * kWorkingBytesPerPixel;
  return true;
}

void chooseFormat(Decoding& d) {
  const bool alpha = d.info.alpha_bits > 0;
  const bool grey = d.info.num_color_channels == 1 && !alpha;
  // Grey with alpha comes as RGBA: the texture path takes no grey-alpha.
  d.format = {alpha ? 4u : grey ? 1u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  d.layout = alpha ? grLayoutRGBA : grey ? grLayoutLuminance : grLayoutRGB;
}

// Lossy pictures (XYB) are asked for in sRGB, which the decoder makes
// itself; other pictures come as stored, with the profile of their pixels
// unless it is sRGB.
void chooseColours(JxlDecoder* decoder, const Decoding& d, grDecodedPhoto& out) {
  if (!d.info.uses_original_profile) {
    JxlColorEncoding srgb{};
    JxlColorEncodingSetToSRGB(&srgb, d.info.num_color_channels == 1);
    if (JxlDecoderSetPreferredColorProfile(decoder, &srgb) == JXL_DEC_SUCCESS) return;
  }
  JxlColorEncoding encoded{};
  if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                         &encoded) == JXL_DEC_SUCCESS &&
      encoded.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
      encoded.white_point == JXL_WHITE_POINT_D65 &&
      (encoded.color_space == JXL_COLOR_SPACE_GRAY ||
       (encoded.color_space == JXL_COLOR_SPACE_RGB && encoded.primaries == JXL_PRIMARIES_SRGB)))
    return;
  std::size_t size = 0;
  if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
          JXL_DEC_SUCCESS ||
      size == 0) {
    out.profileProblem = "it cannot be read";
    return;
  }
  out.iccProfile.resize(size);
  if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                     out.iccProfile.data(), size) != JXL_DEC_SUCCESS) {
    out.iccProfile.clear();
    out.profileProblem = "it cannot be read";
  }
}

bool setOutput(JxlDecoder* decoder, Decoding& d, const grDecodeRequest& request,
               std::string& problem) {
  std::size_t size = 0;
  const uint64_t expected = uint64_t(d.info.xsize) * d.info.ysize * d.format.num_channels;
  if (JxlDecoderImageOutBufferSize(decoder, &d.format, &size) != JXL_DEC_SUCCESS ||
      size != expected) {
    problem = "damaged JPEG XL data";
    return false;
  }
  if (!allocateDecodeBlock(d.pixels, expected, {d.info.xsize, d.info.ysize}, request)) {
    problem = "picture too large to decode";
    return false;
  }
  // What a cut file does not reach stays transparent black, or black.
  std::memset(d.pixels.begin(), 0, size);
  if (JxlDecoderSetImageOutBuffer(decoder, &d.format, d.pixels.begin(), size) != JXL_DEC_SUCCESS) {
    problem = "damaged JPEG XL data";
    return false;
  }
  d.outputSet = true;
  return true;
}

// libjxl writes rows top-down; GL takes them bottom-up.
void turnRowsOver(unsigned char* pixels, uint64_t rowBytes, uint32_t rows) {
  for (uint32_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                     pixels + bottom * rowBytes);
}

// Runs the decoder to the first full frame. A file cut inside the pixels
// leaves what the decoder can flush, with a flaw.
bool decodeFrame(JxlDecoder* decoder, Decoding& d, const grDecodeRequest& request,
                 std::size_t fileBytes, Budget& budget, grDecodedPhoto& out, std::string& problem) {
  for (;;) {
    switch (JxlDecoderProcessInput(decoder)) {
      case JXL_DEC_BASIC_INFO:
        if (JxlDecoderGetBasicInfo(decoder, &d.info) != JXL_DEC_SUCCESS) {
          problem = "damaged JPEG XL data";
          return false;
        }
        if (!sizeAllowed(d.info, request, fileBytes, budget, problem)) return false;
        d.haveInfo = true;
        if (d.info.alpha_premultiplied) JxlDecoderSetUnpremultiplyAlpha(decoder, JXL_TRUE);
        chooseFormat(d);
        break;
      case JXL_DEC_COLOR_ENCODING:
        if (d.haveInfo) chooseColours(decoder, d, out);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
        if (!d.haveInfo || !setOutput(decoder, d, request, problem)) {
          if (problem.empty()) problem = "damaged JPEG XL data";
          return false;
        }
        break;
      case JXL_DEC_FULL_IMAGE:
        return true;  // the first frame; the rest of an animation is not read
      case JXL_DEC_NEED_MORE_INPUT:
        // The whole file was given: it is cut short.
        if (d.outputSet && JxlDecoderFlushImage(decoder) == JXL_DEC_SUCCESS) {
          out.flaw = "the file ends early";
          return true;
        }
        problem = "the file ends early";
        return false;
      case JXL_DEC_SUCCESS:
        problem = "it holds no picture to show";
        return false;
      case JXL_DEC_ERROR:
        problem =
            budget.used >= budget.cap ? "picture too large to decode" : "damaged JPEG XL data";
        return false;
      default:
        problem = "damaged JPEG XL data";
        return false;
    }
  }
}

}  // namespace

void setUpJxl() { keepJxlDecoderQuiet(); }

bool decodeJxl(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem) {
  Budget budget;
  const JxlMemoryManager manager{&budget, budgetedAlloc, budgetedFree};
  const DecoderHandle decoder(JxlDecoderCreate(&manager));
  // Only these events; JPEG reconstruction is never asked for, so a
  // recompressed JPEG is decoded to pixels like any other file.
  if (!decoder ||
      JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                   JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(decoder.get(), bytes.data, bytes.size) != JXL_DEC_SUCCESS) {
    problem = "the JPEG XL decoder could not be started";
    return false;
  }
  // The input is not closed: a file cut short then asks for more, which
  // tells a cut from damage.
  Decoding d;
  if (!decodeFrame(decoder.get(), d, request, bytes.size, budget, out, problem)) return false;
  out.storedSize = {d.info.xsize, d.info.ysize};  // already upright
  turnRowsOver(d.pixels.begin(), uint64_t(d.info.xsize) * d.format.num_channels, d.info.ysize);
  describeDecoded(out.image, d.pixels, d.info.xsize, d.info.ysize, d.layout);
  return true;
}

}  // namespace libgr
