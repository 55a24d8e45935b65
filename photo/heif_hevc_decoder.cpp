// libheif's decoder interface (heif_plugin.h) over libavcodec's HEVC
// decoder, loaded when first needed. libheif hands each coded picture over as length-prefixed NAL
// units (the parameter sets from the item's hvcC box, then the picture's
// slices); they go to libavcodec as one Annex B packet, and the one frame
// that comes back becomes libheif's YCbCr or monochrome image.
#include "photo/heif_hevc_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}
#include <dlfcn.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "photo/decoded_photo.h"
#include "photo/heif_handles.h"
#include "photo/heif_items.h"
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

// A context takes the decoder of highest priority; libde265's is 100.
constexpr int kPriority = 200;

// libavcodec and libavutil, loaded at the first HEIC a process decodes
// rather than linked: with the codec libraries they bring (some ninety,
// GLib, Cairo and the video driver interfaces among them) they would
// otherwise be loaded into every program that reads any photograph. The
// names carry the major versions of the headers built against.
struct Libavcodec {
  decltype(&::avcodec_find_decoder) findDecoder;
  decltype(&::avcodec_alloc_context3) allocContext;
  decltype(&::avcodec_free_context) freeContext;
  decltype(&::avcodec_open2) open;
  decltype(&::avcodec_send_packet) sendPacket;
  decltype(&::avcodec_receive_frame) receiveFrame;
  decltype(&::av_packet_alloc) packetAlloc;
  decltype(&::av_packet_free) packetFree;
  decltype(&::av_frame_alloc) frameAlloc;
  decltype(&::av_frame_free) frameFree;
  decltype(&::av_pix_fmt_desc_get) pixelFormat;
  decltype(&::av_log_set_callback) setLogCallback;
};

void quiet(void*, int, const char*, va_list) {}

template <typename Function>
bool find(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// The loaded libraries, or null when they cannot be loaded (libde265 then
// decodes). Loaded once; never unloaded.
const Libavcodec* libavcodec() {
  static Libavcodec api{};
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] {
    const std::string codecName = "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR);
    const std::string utilName = "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR);
    void* codec = dlopen(codecName.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* util = dlopen(utilName.c_str(), RTLD_NOW | RTLD_LOCAL);
    loaded = codec && util && find(codec, "avcodec_find_decoder", api.findDecoder) &&
             find(codec, "avcodec_alloc_context3", api.allocContext) &&
             find(codec, "avcodec_free_context", api.freeContext) &&
             find(codec, "avcodec_open2", api.open) &&
             find(codec, "avcodec_send_packet", api.sendPacket) &&
             find(codec, "avcodec_receive_frame", api.receiveFrame) &&
             find(codec, "av_packet_alloc", api.packetAlloc) &&
             find(codec, "av_packet_free", api.packetFree) &&
             find(util, "av_frame_alloc", api.frameAlloc) &&
             find(util, "av_frame_free", api.frameFree) &&
             find(util, "av_pix_fmt_desc_get", api.pixelFormat) &&
             find(util, "av_log_set_callback", api.setLogCallback);
    // libavcodec's logger writes its complaints about damaged streams to
    // stderr; the reader says what is wrong with a file once, in its words.
    if (loaded) api.setLogCallback(quiet);
  });
  return loaded ? &api : nullptr;
}

struct CodecRelease {
  void operator()(AVCodecContext* codec) const { libavcodec()->freeContext(&codec); }
};
struct FrameRelease {
  void operator()(AVFrame* frame) const { libavcodec()->frameFree(&frame); }
};
struct PacketRelease {
  void operator()(AVPacket* packet) const { libavcodec()->packetFree(&packet); }
};
using CodecHandle = std::unique_ptr<AVCodecContext, CodecRelease>;
using FrameHandle = std::unique_ptr<AVFrame, FrameRelease>;
using PacketHandle = std::unique_ptr<AVPacket, PacketRelease>;

// The messages stay empty: the reader words every failure itself.
heif_error succeeded() { return {heif_error_Ok, heif_suberror_Unspecified, ""}; }
heif_error failure(heif_suberror_code why) { return {heif_error_Decoder_plugin_error, why, ""}; }
heif_error outOfMemory() {
  return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, ""};
}

// One coded picture being gathered, as Annex B.
struct Decoder {
  std::vector<uint8_t> stream;
};

const char* pluginName() { return "libavcodec HEVC decoder"; }

int supports(heif_compression_format format) {
  return format == heif_compression_HEVC ? kPriority : 0;
}

heif_error newDecoder(void** decoder) {
  *decoder = new (std::nothrow) Decoder;
  return *decoder ? succeeded() : outOfMemory();
}

void freeDecoder(void* decoder) { delete static_cast<Decoder*>(decoder); }

void setStrictDecoding(void*, int) {}

// NAL units with 4-byte big-endian lengths (as hvcC and phones write
// them) become start-code-prefixed units.
heif_error pushData(void* raw, const void* data, size_t size) {
  Decoder& decoder = *static_cast<Decoder*>(raw);
  const auto* bytes = static_cast<const uint8_t*>(data);
  static const uint8_t kStartCode[] = {0, 0, 0, 1};
  size_t at = 0;
  while (at < size) {
    if (size - at < 4) return failure(heif_suberror_End_of_data);
    const uint32_t length = libutils::be32(bytes + at);
    at += 4;
    if (length > size - at) return failure(heif_suberror_End_of_data);
    if (decoder.stream.size() + 4 + length > size_t(INT_MAX) - AV_INPUT_BUFFER_PADDING_SIZE)
      return failure(heif_suberror_Security_limit_exceeded);
    decoder.stream.insert(decoder.stream.end(), kStartCode, kStartCode + 4);
    decoder.stream.insert(decoder.stream.end(), bytes + at, bytes + at + length);
    at += length;
  }
  return succeeded();
}

// A codec for one picture. libheif decodes a grid's tiles on its own
// threads, so the codec uses one. A picture is allowed the pixels its bytes
// can describe (a few hundred bytes declaring a huge picture are refused
// before its frame is allocated), and never more than the program shows.
CodecHandle openCodec(size_t codedBytes) {
  const Libavcodec& av = *libavcodec();
  const AVCodec* hevc = av.findDecoder(AV_CODEC_ID_HEVC);
  if (!hevc) return nullptr;
  CodecHandle codec(av.allocContext(hevc));
  if (!codec) return nullptr;
  codec->thread_count = 1;
  codec->max_pixels = int64_t(std::min<uint64_t>(kMaxPhotoPixels, codedBytes * kHeifPixelsPerByte));
  if (av.open(codec.get(), hevc, nullptr) < 0) return nullptr;
  return codec;
}

// libheif's chroma layout for a planar YCbCr or grey frame format, or
// heif_chroma_undefined for one it has no layout for. A stream coded with
// the identity matrix comes as planar G, B, R: libheif takes those planes
// as Y, Cb, Cr of a 4:4:4 picture and converts by the same matrix.
heif_chroma chromaOf(const AVPixFmtDescriptor& format) {
  const uint64_t unusable =
      AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_BITSTREAM;
  if (format.flags & unusable) return heif_chroma_undefined;
  if (format.nb_components == 1) return heif_chroma_monochrome;
  if (format.nb_components != 3 || !(format.flags & AV_PIX_FMT_FLAG_PLANAR))
    return heif_chroma_undefined;
  const int w = format.log2_chroma_w, h = format.log2_chroma_h;
  if (w == 1 && h == 1) return heif_chroma_420;
  if (w == 1 && h == 0) return heif_chroma_422;
  if (w == 0 && h == 0) return heif_chroma_444;
  return heif_chroma_undefined;
}

// The coded stream's colour description (its VUI; "unspecified" and
// limited range without one), for pictures whose container gives none.
void describeColour(const AVFrame& frame, heif_image* image) {
  const HeifNclxHandle nclx(heif_nclx_color_profile_alloc());
  if (!nclx) return;
  // Values the library does not know leave its defaults.
  heif_nclx_color_profile_set_color_primaries(nclx.get(), uint16_t(frame.color_primaries));
  heif_nclx_color_profile_set_transfer_characteristics(nclx.get(), uint16_t(frame.color_trc));
  heif_nclx_color_profile_set_matrix_coefficients(nclx.get(), uint16_t(frame.colorspace));
  nclx->full_range_flag = frame.color_range == AVCOL_RANGE_JPEG;
  heif_image_set_nclx_color_profile(image, nclx.get());
}

// The frame's planes copied into a libheif image (which owns its memory).
heif_error toHeifImage(const AVFrame& frame, heif_image** out) {
  const AVPixFmtDescriptor* format = libavcodec()->pixelFormat(AVPixelFormat(frame.format));
  const heif_chroma chroma = format ? chromaOf(*format) : heif_chroma_undefined;
  if (chroma == heif_chroma_undefined || frame.width <= 0 || frame.height <= 0)
    return failure(heif_suberror_Unsupported_color_conversion);
  const int bits = format->comp[0].depth;
  const bool grey = chroma == heif_chroma_monochrome;
  heif_image* raw = nullptr;
  if (heif_image_create(frame.width, frame.height,
                        grey ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &raw)
          .code != heif_error_Ok)
    return outOfMemory();
  HeifDecodedImage image(raw);
  static const heif_channel kChannels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  const size_t sampleBytes = bits > 8 ? 2 : 1;
  for (int plane = 0; plane < (grey ? 1 : 3); ++plane) {
    if (format->comp[plane].depth != bits) return failure(heif_suberror_Unsupported_bit_depth);
    const int width = plane ? AV_CEIL_RSHIFT(frame.width, format->log2_chroma_w) : frame.width;
    const int height = plane ? AV_CEIL_RSHIFT(frame.height, format->log2_chroma_h) : frame.height;
    if (heif_image_add_plane(image.get(), kChannels[plane], width, height, bits).code !=
        heif_error_Ok)
      return outOfMemory();
    int stride = 0;
    uint8_t* to = heif_image_get_plane(image.get(), kChannels[plane], &stride);
    if (!to) return outOfMemory();
    for (int row = 0; row < height; ++row)
      std::memcpy(to + size_t(row) * size_t(stride),
                  frame.data[plane] + ptrdiff_t(row) * frame.linesize[plane],
                  size_t(width) * sampleBytes);
  }
  describeColour(frame, image.get());
  *out = image.release();
  return succeeded();
}

// Decodes the gathered picture. A damaged stream may still give a frame
// (libavcodec conceals what it cannot decode): it is shown.
heif_error decodeImage(void* raw, heif_image** out) {
  Decoder& decoder = *static_cast<Decoder*>(raw);
  *out = nullptr;
  if (decoder.stream.empty()) return failure(heif_suberror_End_of_data);
  const CodecHandle codec = openCodec(decoder.stream.size());
  const Libavcodec& av = *libavcodec();
  const PacketHandle packet(av.packetAlloc());
  const FrameHandle frame(av.frameAlloc());
  if (!codec || !packet || !frame) return outOfMemory();
  const size_t coded = decoder.stream.size();
  decoder.stream.resize(coded + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  packet->data = decoder.stream.data();
  packet->size = int(coded);
  // An error in the packet still leaves whatever frame it began.
  av.sendPacket(codec.get(), packet.get());
  av.sendPacket(codec.get(), nullptr);
  const int received = av.receiveFrame(codec.get(), frame.get());
  if (received == AVERROR(ENOMEM)) return outOfMemory();
  if (received < 0) return failure(heif_suberror_Unspecified);
  return toHeifImage(*frame, out);
}

heif_decoder_plugin makePlugin() {
  heif_decoder_plugin plugin{};
  plugin.plugin_api_version = 3;
  plugin.get_plugin_name = pluginName;
  plugin.does_support_format = supports;
  plugin.new_decoder = newDecoder;
  plugin.free_decoder = freeDecoder;
  plugin.push_data = pushData;
  plugin.decode_image = decodeImage;
  plugin.set_strict_decoding = setStrictDecoding;
  plugin.id_name = "libavcodec";
  return plugin;
}

}  // namespace

bool useHevcDecoder(heif_context* context) {
  static const heif_decoder_plugin plugin = makePlugin();
  return libavcodec() && heif_register_decoder(context, &plugin).code == heif_error_Ok;
}

}  // namespace libgr
