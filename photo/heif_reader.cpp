// HEIF and AVIF through libheif: the primary image, decoded to interleaved
// RGB(A) at 8 or 16 bits, brought to packed 8-bit rows bottom-up.
#include "photo/heif_reader.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "photo/av1_quiet.h"
#include "photo/cicp_colour.h"
#include "photo/heif_handles.h"
#include "photo/heif_hevc_decoder.h"
#include "photo/heif_items.h"
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

using ContextHandle = HeifContextHandle;
using ImageHandle = HeifImageHandle;
using DecodedImage = HeifDecodedImage;
using NclxHandle = HeifNclxHandle;
using OptionsHandle = HeifOptionsHandle;

// The longest side libheif takes (its own limit); within it, the program's
// pixel limit is applied to the declared size, with its own message.
constexpr int kLargestSide = 65536;

bool failed(const heif_error& error) { return error.code != heif_error_Ok; }

// Whether a top-level box runs past the end of the file: libheif reports a
// file cut inside its boxes as damaged ("no meta box"), which it is not.
bool boxesRunPastEnd(const unsigned char* bytes, std::size_t n) {
  std::size_t at = 0;
  while (at < n) {
    if (n - at < 8) return true;
    uint64_t size = libutils::be32(bytes + at);
    if (size == 1) {
      if (n - at < 16) return true;
      size = uint64_t(libutils::be32(bytes + at + 8)) << 32 | libutils::be32(bytes + at + 12);
    } else if (size == 0) {
      return false;  // to the end of the file
    }
    if (size < 8) return false;  // damaged, not cut
    if (size > n - at) return true;
    at += std::size_t(size);
  }
  return false;
}

// libheif's errors in the program's words.
std::string structureProblem(const heif_error& error, const grPhotoBytes& bytes,
                             const std::string& name) {
  if (error.subcode == heif_suberror_End_of_data || boxesRunPastEnd(bytes.data, bytes.size))
    return "the file ends early";
  if (error.subcode == heif_suberror_Security_limit_exceeded)
    return "picture too large: a side is over " + std::to_string(kLargestSide) + " pixels";
  if (error.code == heif_error_Memory_allocation_error) return "picture too large to decode";
  return "damaged " + name + " structure";
}

std::string dataProblem(const heif_error& error, const std::string& name) {
  if (error.subcode == heif_suberror_End_of_data) return "the file ends early";
  if (error.code == heif_error_Memory_allocation_error ||
      error.subcode == heif_suberror_Security_limit_exceeded)
    return "picture too large to decode";
  if (error.code == heif_error_Unsupported_feature)
    return "its " + name + " coding is not supported";
  return "damaged " + name + " data";
}

bool takeNclx(heif_error error, heif_color_profile_nclx* raw, grCicp& cicp) {
  const NclxHandle nclx(raw);
  if (failed(error) || !nclx) return false;
  cicp.primaries = uint16_t(nclx->color_primaries);
  cicp.transfer = uint16_t(nclx->transfer_characteristics);
  cicp.matrix = uint16_t(nclx->matrix_coefficients);
  cicp.fullRange = nclx->full_range_flag != 0;
  return true;
}

// The nclx description: the container's colr box, else the coded stream's.
bool colourDescription(heif_image_handle* handle, heif_image* image, grCicp& cicp) {
  heif_color_profile_nclx* raw = nullptr;
  const heif_error fromBox = heif_image_handle_get_nclx_color_profile(handle, &raw);
  if (takeNclx(fromBox, raw, cicp)) return true;
  raw = nullptr;
  const heif_error fromStream = heif_image_get_nclx_color_profile(image, &raw);
  return takeNclx(fromStream, raw, cicp);
}

// 16-bit samples of `bits` significant bits to 8, rounded.
void narrowRow(const uint16_t* in, uint32_t samples, uint32_t bits, unsigned char* out) {
  const uint32_t top = (1u << bits) - 1;
  for (uint32_t i = 0; i < samples; ++i)
    out[i] = (unsigned char)((std::min<uint32_t>(in[i], top) * 255u + top / 2) / top);
}

// Straight alpha from premultiplied, as textures hold it.
void unpremultiply(unsigned char* pixels, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i, pixels += 4) {
    const uint32_t alpha = pixels[3];
    for (int c = 0; c < 3; ++c)
      pixels[c] = alpha == 0 ? 0
                             : (unsigned char)std::min<uint32_t>(
                                   255, (uint32_t(pixels[c]) * 255 + alpha / 2) / alpha);
  }
}

}  // namespace

void setUpHeif() {
  static std::once_flag once;
  std::call_once(once, [] {
    keepAv1DecoderQuiet();
    heif_init(nullptr);
  });
}

bool decodeHeif(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem) {
  setUpHeif();
  const std::string name = photoFormatName(sniffPhotoFormat(bytes.data, bytes.size));
  const ContextHandle context(heif_context_alloc());
  if (!context) {
    problem = "the " + name + " decoder could not be started";
    return false;
  }
#if BRELVANE_PHOTO_HEVC_LIBAVCODEC
  useHevcDecoder(context.get());
#endif
  heif_context_set_maximum_image_size_limit(context.get(), kLargestSide);
  // Grid tiles decode on every core, two in flight on each: a lone picture
  // decodes a tenth faster than with one (bench/photo_decode_bench).
  heif_context_set_max_decoding_threads(context.get(),
                                        int(2 * std::max(1u, std::thread::hardware_concurrency())));
  heif_error error =
      heif_context_read_from_memory_without_copy(context.get(), bytes.data, bytes.size, nullptr);
  if (failed(error)) {
    problem = structureProblem(error, bytes, name);
    return false;
  }
  heif_image_handle* rawHandle = nullptr;
  error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
  const ImageHandle handle(rawHandle);
  if (failed(error) || !handle) {
    problem = "it holds no picture to show";
    return false;
  }

  // The size as shown, as coded (before a crop) and, for a grid or an
  // overlay, the canvas its own data declares (libheif fills one that size
  // whatever the ispe says): all must pass.
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  int64_t codedWidth = std::max(width, heif_image_handle_get_ispe_width(handle.get()));
  int64_t codedHeight = std::max(height, heif_image_handle_get_ispe_height(handle.get()));
  if (uint32_t canvasWidth = 0, canvasHeight = 0;
      primaryCanvasSize(bytes.data, bytes.size, canvasWidth, canvasHeight)) {
    codedWidth = std::max<int64_t>(codedWidth, canvasWidth);
    codedHeight = std::max<int64_t>(codedHeight, canvasHeight);
  }
  if (width <= 0 || height <= 0) {
    problem = "damaged " + name + " structure";
    return false;
  }
  const uint64_t codedPixels = uint64_t(codedWidth) * uint64_t(codedHeight);
  if (codedPixels > request.maxPixels) {
    problem = tooManyPixels(uint32_t(codedWidth), uint32_t(codedHeight), request.maxPixels);
    return false;
  }
  if (codedPixels > kHeifPixelsPerByte * uint64_t(bytes.size)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }

  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle.get());
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
  if (const size_t size = heif_image_handle_get_raw_color_profile_size(handle.get()); size > 0) {
    out.iccProfile.resize(size);
    if (failed(heif_image_handle_get_raw_color_profile(handle.get(), out.iccProfile.data()))) {
      out.iccProfile.clear();
      out.profileProblem = "it cannot be read";
    }
  }

  if (primaryItemIsEmpty(bytes.data, bytes.size)) {
    problem = "damaged " + name + " data";
    return false;
  }

  const OptionsHandle options(heif_decoding_options_alloc());
  if (!options) {
    problem = "the " + name + " decoder could not be started";
    return false;
  }
  options->convert_hdr_to_8bit = 0;  // deep samples are narrowed (or tone-mapped) here
  const heif_chroma chroma =
      deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* rawImage = nullptr;
  error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get());
  const DecodedImage image(rawImage);
  if (failed(error) || !image) {
    problem = dataProblem(error, name);
    return false;
  }
  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  const uint32_t components = alpha ? 4 : 3;
  const uint64_t rowSamples = uint64_t(w) * components;
  if (!plane || w <= 0 || h <= 0 || uint64_t(w) * h > codedPixels ||
      uint64_t(stride) < rowSamples * (deep ? 2 : 1)) {
    problem = "damaged " + name + " data";
    return false;
  }

  grCicp cicp;
  const bool described = colourDescription(handle.get(), image.get(), cicp);
  const bool hdr = deep && described && isHdrTransfer(cicp.transfer) && out.iccProfile.empty();
  const uint32_t bits =
      deep ? uint32_t(std::clamp(
                 heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved), 9, 16))
           : 8;
  refvector2<unsigned char> pixels;
  const grPhotoSize stored{uint32_t(w), uint32_t(h)};
  if (!allocateDecodeBlock(pixels, rowSamples * uint64_t(h), stored, request)) {
    problem = "picture too large to decode";
    return false;
  }
  std::unique_ptr<grHdrToneMap> toneMap;
  if (hdr) toneMap = std::make_unique<grHdrToneMap>(cicp, int(bits));
  // Rows bottom-up, as GL takes them.
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = plane + uint64_t(y) * uint64_t(stride);
    unsigned char* row = pixels.begin() + uint64_t(h - 1 - y) * rowSamples;
    if (!deep)
      std::memcpy(row, in, rowSamples);
    else if (toneMap)
      toneMap->mapRow(reinterpret_cast<const uint16_t*>(in), uint32_t(w), components, row);
    else
      narrowRow(reinterpret_cast<const uint16_t*>(in), uint32_t(rowSamples), bits, row);
  }
  if (premultiplied) unpremultiply(pixels.begin(), uint64_t(w) * h);
  // What libheif could not decode (a tile missing, damaged coded data) it
  // leaves as it is and reports as warnings: the picture is shown.
  heif_error warning;
  if (heif_image_get_decoding_warnings(image.get(), 0, &warning, 1) > 0)
    out.flaw = warning.subcode == heif_suberror_End_of_data ? "the file ends early"
                                                            : "damaged " + name + " data in places";
  if (described && !hdr && out.iccProfile.empty())
    out.iccProfile = cicpProfile(cicp, out.profileProblem);

  out.storedSize = stored;
  out.orientation = 1;  // the container's transforms are applied; EXIF is not to be
  describeDecoded(out.image, pixels, stored.width, stored.height,
                  alpha ? grLayoutRGBA : grLayoutRGB);
  return true;
}

}  // namespace libgr
