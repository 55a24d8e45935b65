// libheif's decoder interface (heif_plugin.h) over libavcodec's HEVC
// decoder. libheif hands each coded picture over as length-prefixed NAL
// units (the parameter sets from the item's hvcC box, then the picture's
// slices); they go to libavcodec as one Annex B packet, and the one frame
// that comes back becomes libheif's YCbCr or monochrome image.
#include "photo/heif_hevc_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "photo/decoded_photo.h"
#include "photo/heif_handles.h"
#include "photo/heif_items.h"
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

// A context takes the decoder of highest priority; libde265's is 100.
constexpr int kPriority = 200;

struct CodecRelease {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameRelease {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketRelease {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
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
  const AVCodec* hevc = avcodec_find_decoder(AV_CODEC_ID_HEVC);
  if (!hevc) return nullptr;
  CodecHandle codec(avcodec_alloc_context3(hevc));
  if (!codec) return nullptr;
  codec->thread_count = 1;
  codec->max_pixels = int64_t(std::min<uint64_t>(kMaxPhotoPixels, codedBytes * kHeifPixelsPerByte));
  if (avcodec_open2(codec.get(), hevc, nullptr) < 0) return nullptr;
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
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
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
  const PacketHandle packet(av_packet_alloc());
  const FrameHandle frame(av_frame_alloc());
  if (!codec || !packet || !frame) return outOfMemory();
  const size_t coded = decoder.stream.size();
  decoder.stream.resize(coded + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  packet->data = decoder.stream.data();
  packet->size = int(coded);
  // An error in the packet still leaves whatever frame it began.
  avcodec_send_packet(codec.get(), packet.get());
  avcodec_send_packet(codec.get(), nullptr);
  const int received = avcodec_receive_frame(codec.get(), frame.get());
  if (received == AVERROR(ENOMEM)) return outOfMemory();
  if (received < 0) return failure(heif_suberror_Unspecified);
  return toHeifImage(*frame, out);
}

void quiet(void*, int, const char*, va_list) {}

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

void quietHevcDecoder() { av_log_set_callback(quiet); }

bool useHevcDecoder(heif_context* context) {
  static const heif_decoder_plugin plugin = makePlugin();
  return heif_register_decoder(context, &plugin).code == heif_error_Ok;
}

}  // namespace libgr
