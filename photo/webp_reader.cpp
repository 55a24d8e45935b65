// WebP decoding with libwebp and libwebpdemux, each handle held by an owner.
#include "photo/webp_reader.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "photo/exif_orientation.h"
#include "photo/orientation.h"
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

struct DemuxRelease {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct IncrementalRelease {
  void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};
struct AnimationRelease {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
using Demuxer = std::unique_ptr<WebPDemuxer, DemuxRelease>;
using IncrementalDecoder = std::unique_ptr<WebPIDecoder, IncrementalRelease>;
using AnimationDecoder = std::unique_ptr<WebPAnimDecoder, AnimationRelease>;

// A chunk iterator released however the reading ends.
struct Chunk {
  WebPChunkIterator it{};
  bool found = false;
  Chunk(const WebPDemuxer* demux, const char* fourcc) {
    found = demux && WebPDemuxGetChunk(demux, fourcc, 1, &it) != 0;
  }
  ~Chunk() {
    if (found) WebPDemuxReleaseChunkIterator(&it);
  }
  Chunk(const Chunk&) = delete;
  Chunk& operator=(const Chunk&) = delete;
};

// WebP codes a plain area in almost nothing (90 megapixels of one colour
// in 3.5 KB), while the decoder needs about 8 bytes a pixel: a file may
// declare at most this many pixels for each of its bytes. A photograph
// spends a byte on a few pixels, a screenshot on a few hundred.
constexpr uint64_t kPixelsPerByte = 4096;

// Whether the RIFF header declares more bytes than the file has: a file
// cut short, which libwebp reports as missing data, or not at all.
bool cutShort(const grPhotoBytes& bytes) {
  if (bytes.size < 12) return true;
  const uint64_t declared = uint64_t(libutils::le32(bytes.data + 4)) + 8;
  return declared > bytes.size;
}

std::string reasonOf(VP8StatusCode status, const grPhotoBytes& bytes) {
  if (status == VP8_STATUS_NOT_ENOUGH_DATA || status == VP8_STATUS_SUSPENDED || cutShort(bytes))
    return "the file ends early";
  if (status == VP8_STATUS_OUT_OF_MEMORY) return "picture too large to decode";
  if (status == VP8_STATUS_UNSUPPORTED_FEATURE) return "its WebP coding is not supported";
  // Our own words for the rest, never the library's.
  return "damaged WebP data";
}

// The size to decode a still picture at: the smallest of the picture's
// proportions that covers what the caller needs of it (`need`, as stored),
// or the full size.
grPhotoSize coveringSize(grPhotoSize stored, grPhotoSize need) {
  if (need.width == 0 || need.height == 0 || need.width >= stored.width ||
      need.height >= stored.height)
    return stored;
  const double scale =
      std::max(double(need.width) / stored.width, double(need.height) / stored.height);
  const auto side = [scale](uint32_t full, uint32_t least) {
    const uint32_t scaled = uint32_t(std::ceil(full * scale - 1e-9));
    return std::clamp(scaled, std::max(least, 1u), full);
  };
  return {side(stored.width, need.width), side(stored.height, need.height)};
}

// A still picture (lossy or lossless, with or without alpha) at `size`,
// rows bottom-up, decoded incrementally so that a file cut inside its data
// gives the rows before the cut.
bool decodeStill(const grPhotoBytes& bytes, const WebPBitstreamFeatures& features, grPhotoSize size,
                 const grDecodeRequest& request, grDecodedPhoto& out, std::string& problem) {
  const bool alpha = features.has_alpha != 0;
  const uint32_t components = alpha ? 4 : 3;
  const uint64_t rowBytes = uint64_t(size.width) * components;
  refvector2<unsigned char> pixels;
  if (!allocateDecodeBlock(pixels, rowBytes * size.height, out.storedSize, request)) {
    problem = "picture too large to decode";
    return false;
  }
  // Rows a cut file does not reach stay transparent black, or black.
  std::memset(pixels.begin(), 0, std::size_t(rowBytes * size.height));

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) {
    problem = "the WebP decoder could not be started";
    return false;
  }
  config.options.flip = 1;         // bottom-up, as GL takes rows
  config.options.use_threads = 0;  // two pictures are read at once already
  if (size.width != out.storedSize.width || size.height != out.storedSize.height) {
    config.options.use_scaling = 1;
    config.options.scaled_width = int(size.width);
    config.options.scaled_height = int(size.height);
  }
  config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;  // straight alpha
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = pixels.begin();
  config.output.u.RGBA.stride = int(rowBytes);
  config.output.u.RGBA.size = std::size_t(rowBytes * size.height);

  // Incremental, so that a file cut inside its data gives the rows before
  // the cut; no data yet, as the bytes come whole just after.
  const IncrementalDecoder decoder(WebPIDecode(nullptr, 0, &config));
  if (!decoder) {
    problem = "the WebP decoder could not be started";
    return false;
  }
  const VP8StatusCode status = WebPIUpdate(decoder.get(), bytes.data, bytes.size);
  if (status == VP8_STATUS_OK) {
    describeDecoded(out.image, pixels, size.width, size.height, alpha ? grLayoutRGBA : grLayoutRGB);
    return true;
  }
  int rowsDone = 0;
  if (status == VP8_STATUS_SUSPENDED)
    WebPIDecGetRGB(decoder.get(), &rowsDone, nullptr, nullptr, nullptr);
  if (status != VP8_STATUS_SUSPENDED || rowsDone <= 0) {
    problem = reasonOf(status, bytes);
    return false;
  }
  out.flaw = "the file ends early";
  describeDecoded(out.image, pixels, size.width, size.height, alpha ? grLayoutRGBA : grLayoutRGB);
  return true;
}

// The first frame of an animation, composed on its canvas (straight RGBA).
bool decodeFirstFrame(const grPhotoBytes& bytes, const grDecodeRequest& request,
                      grDecodedPhoto& out, std::string& problem) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) {
    problem = "the WebP decoder could not be started";
    return false;
  }
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  const WebPData data{bytes.data, bytes.size};
  const AnimationDecoder decoder(WebPAnimDecoderNew(&data, &options));
  WebPAnimInfo info{};
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) {
    problem = reasonOf(VP8_STATUS_BITSTREAM_ERROR, bytes);
    return false;
  }
  uint8_t* frame = nullptr;
  int timestamp = 0;
  if (info.canvas_width != out.storedSize.width || info.canvas_height != out.storedSize.height ||
      !WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame) {
    problem = reasonOf(VP8_STATUS_BITSTREAM_ERROR, bytes);
    return false;
  }
  const grPhotoSize size = out.storedSize;
  const uint64_t rowBytes = uint64_t(size.width) * 4;
  refvector2<unsigned char> pixels;
  if (!allocateDecodeBlock(pixels, rowBytes * size.height, size, request)) {
    problem = "picture too large to decode";
    return false;
  }
  for (uint32_t row = 0; row < size.height; ++row)
    std::memcpy(pixels.begin() + (size.height - 1 - row) * rowBytes, frame + row * rowBytes,
                std::size_t(rowBytes));
  describeDecoded(out.image, pixels, size.width, size.height, grLayoutRGBA);
  return true;
}

}  // namespace

bool decodeWebp(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem) {
  WebPBitstreamFeatures features;
  if (const VP8StatusCode status = WebPGetFeatures(bytes.data, bytes.size, &features);
      status != VP8_STATUS_OK) {
    problem = reasonOf(status, bytes);
    return false;
  }
  // The canvas as declared (up to 2^24 a side) before anything of its size.
  if (features.width <= 0 || features.height <= 0) {
    problem = "damaged WebP data";
    return false;
  }
  const uint32_t width = uint32_t(features.width), height = uint32_t(features.height);
  if (uint64_t(width) * height > request.maxPixels) {
    problem = tooManyPixels(width, height, request.maxPixels);
    return false;
  }
  if (uint64_t(width) * height > kPixelsPerByte * uint64_t(bytes.size)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }
  out.storedSize = {width, height};

  // The chunks around the picture, also of a file cut after them.
  const WebPData data{bytes.data, bytes.size};
  WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
  const Demuxer demux(WebPDemuxPartial(&data, &state));
  if (demux && state >= WEBP_DEMUX_PARSED_HEADER) {
    const Chunk exif(demux.get(), "EXIF");
    if (exif.found) out.orientation = exifOrientation(exif.it.chunk.bytes, exif.it.chunk.size);
    const Chunk icc(demux.get(), "ICCP");
    if (icc.found)
      out.iccProfile.assign(icc.it.chunk.bytes, icc.it.chunk.bytes + icc.it.chunk.size);
  }

  if (features.has_animation) return decodeFirstFrame(bytes, request, out, problem);

  grPhotoSize size = out.storedSize;
  if (request.cover) {
    const grPhotoSize need = request.cover(uprightSize(size, out.orientation));
    size = coveringSize(size, uprightSize(need, out.orientation));
  }
  return decodeStill(bytes, features, size, request, out, problem);
}

}  // namespace libgr
