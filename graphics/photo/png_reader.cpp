// PNG decoding with libspng, held by an owner of its context.
#include "graphics/photo/png_reader.h"

#include <spng.h>

#include <cstring>
#include <memory>

#include "graphics/photo/exif_orientation.h"

namespace libgr {

namespace {

struct SpngRelease {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngRelease>;

// Deflate expands at most about 1032 times; a picture declaring more raw
// bytes than that cannot be in the file.
constexpr uint64_t kDeflateRatio = 1032;
// Ancillary chunks (text, profiles, Exif) larger than this are not cached.
constexpr std::size_t kChunkLimit = 64u << 20;

uint32_t channelsOf(uint8_t colourType) {
  switch (colourType) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      return 3;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      return 4;
    default:
      return 1;  // grey, palette
  }
}

// Bytes of the filtered rows the picture declares, passes of an interlaced
// picture counted as if they were one.
uint64_t declaredRawBytes(const spng_ihdr& h) {
  const uint64_t rowBits = uint64_t(h.width) * channelsOf(h.color_type) * h.bit_depth;
  return uint64_t(h.height) * (1 + (rowBits + 7) / 8);
}

std::string reasonOf(int error) {
  switch (error) {
    case SPNG_ESIGNATURE:
      return "damaged PNG signature";
    case SPNG_EWIDTH:
    case SPNG_EHEIGHT:
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
      return "bad PNG dimensions";
    case SPNG_EBIT_DEPTH:
      return "bad PNG bit depth";
    case SPNG_ECOLOR_TYPE:
      return "bad PNG colour type";
    case SPNG_ECHUNK_CRC:
      return "PNG checksum error (the file is damaged)";
    case SPNG_ECHUNK_UNKNOWN_CRITICAL:
      return "unknown critical PNG chunk";
    case SPNG_EIO:
    case SPNG_IO_EOF:
    case SPNG_IO_ERROR:
      return "the file ends early";
    case SPNG_ENOIHDR:
    case SPNG_EIHDR_SIZE:
      return "PNG header is missing or damaged";
    case SPNG_EPLTE_IDX:
      return "PNG pixels index past the palette";
    default:
      break;
  }
  // No image data at all, or one the library rejects after the header.
  return std::string("damaged PNG data (") + spng_strerror(error) + ")";
}

bool endsEarly(int error) {
  return error == SPNG_IO_EOF || error == SPNG_IO_ERROR || error == SPNG_EIO;
}

}  // namespace

bool decodePng(const unsigned char* bytes, std::size_t n, grDecodedPhoto& out,
               std::string& problem) {
  SpngContext ctx(spng_ctx_new(0));
  if (!ctx) {
    problem = "the PNG decoder could not be started";
    return false;
  }
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
  spng_set_chunk_limits(ctx.get(), kChunkLimit, kChunkLimit);
  spng_set_image_limits(ctx.get(), 1u << 30, 1u << 30);
  spng_set_png_buffer(ctx.get(), bytes, n);

  spng_ihdr header{};
  if (int error = spng_get_ihdr(ctx.get(), &header)) {
    problem = reasonOf(error);
    return false;
  }
  if (uint64_t(header.width) * header.height > kMaxPhotoPixels) {
    problem = "picture too large: " + std::to_string(header.width) + " x " +
              std::to_string(header.height) + " is over 100 megapixels";
    return false;
  }
  if (declaredRawBytes(header) > kDeflateRatio * uint64_t(n)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }

  spng_trns transparency{};
  const bool hasTrns = spng_get_trns(ctx.get(), &transparency) == 0;
  const bool alpha = hasTrns || header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                     header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  const bool grey = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE && header.bit_depth <= 8;
  const int format = alpha ? SPNG_FMT_RGBA8 : grey ? SPNG_FMT_G8 : SPNG_FMT_RGB8;
  const uint32_t layout = alpha ? grLayoutRGBA : grey ? grLayoutLuminance : grLayoutRGB;
  const uint32_t pixelBytes = alpha ? 4 : grey ? 1 : 3;

  const uint64_t rowBytes = uint64_t(header.width) * pixelBytes;
  refvector2<unsigned char> pixels;
  if (!pixels.allocate(uint32_t(rowBytes * header.height))) {
    problem = "picture too large to decode";
    return false;
  }
  // Rows not reached by data that ends early stay zero.
  std::memset(pixels.begin(), 0, std::size_t(rowBytes * header.height));

  if (int error = spng_decode_image(ctx.get(), nullptr, 0, format,
                                    SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE)) {
    problem = reasonOf(error);
    return false;
  }
  // Row by row, so that data ending early still gives the rows before it;
  // interlaced pictures deliver each row once per pass, at its own number.
  uint32_t rowsDone = 0;
  int error = 0;
  for (;;) {
    spng_row_info row{};
    if ((error = spng_get_row_info(ctx.get(), &row)) != 0) break;
    if (row.row_num >= header.height) break;
    unsigned char* target = pixels.begin() + (header.height - 1 - row.row_num) * rowBytes;
    error = spng_decode_row(ctx.get(), target, std::size_t(rowBytes));
    if (error != 0 && error != SPNG_EOI) break;
    ++rowsDone;
    if (error == SPNG_EOI) break;
  }
  if (error != 0 && error != SPNG_EOI) {
    if (!endsEarly(error) || rowsDone == 0) {
      problem = reasonOf(error);
      return false;
    }
    out.flaw = "the file ends early";
  }

  out.storedSize = {header.width, header.height};
  spng_exif exif{};
  if (spng_get_exif(ctx.get(), &exif) == 0 && exif.data)
    out.orientation =
        exifOrientation(reinterpret_cast<const unsigned char*>(exif.data), exif.length);
  describeDecoded(out.image, pixels, header.width, header.height, layout);
  return true;
}

}  // namespace libgr
