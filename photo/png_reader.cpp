// PNG decoding with libspng, held by an owner of its context.
#include "photo/png_reader.h"

#include <spng.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "photo/exif_orientation.h"
#include "utilities/byte_fields.h"

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
    case SPNG_ECHUNK_POS:
    case SPNG_ECHUNKAVAIL:
    case SPNG_ECHUNK_TYPE:
      return "PNG chunks are missing or out of order";
    case SPNG_EIDAT_STREAM:
    case SPNG_EZLIB:
      return "damaged PNG image data";
    default:
      break;
  }
  // Our own words for the rest, never the library's.
  return "damaged PNG data";
}

bool endsEarly(int error) {
  return error == SPNG_IO_EOF || error == SPNG_IO_ERROR || error == SPNG_EIO ||
         error == SPNG_EIDAT_TOO_SHORT || error == SPNG_EIDAT_STREAM;
}

void putBigEndian32(std::vector<unsigned char>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((unsigned char)(v >> shift));
}

// A file cut inside its image data, made whole enough to decode what is
// there: the last IDAT shortened to the bytes that remain, a placeholder
// checksum, and IEND. False when the cut is not inside or after IDAT data.
bool closeCutFile(const unsigned char* bytes, std::size_t n, std::vector<unsigned char>& out) {
  std::size_t at = 8;
  bool sawData = false;
  while (at + 8 <= n) {
    const uint64_t length = libutils::be32(bytes + at);
    const bool idat = std::memcmp(bytes + at + 4, "IDAT", 4) == 0;
    // A whole file ends with IEND: its damage is not a cut.
    if (std::memcmp(bytes + at + 4, "IEND", 4) == 0 && at + 12 + length <= n) return false;
    sawData = sawData || idat;
    if (at + 12 + length <= n) {
      at += 12 + std::size_t(length);
      continue;
    }
    if (!idat) break;
    const std::size_t kept = n - at - 8;
    out.assign(bytes, bytes + at);
    putBigEndian32(out, uint32_t(kept));
    out.insert(out.end(), bytes + at + 4, bytes + n);
    putBigEndian32(out, 0);
    at = n;
    break;
  }
  if (!sawData) return false;
  if (out.empty()) out.assign(bytes, bytes + std::min(at, n));
  static const unsigned char iend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  out.insert(out.end(), iend, iend + sizeof iend);
  return true;
}

struct Decoding {
  spng_ihdr header{};
  uint32_t rowsDone = 0;
  int error = 0;  // 0 or what stopped the rows
};

// Decodes rows into `pixels` (already sized for `format`), bottom-up, as far
// as the data goes; with `trustChecksums` critical chunks' checksums are not
// checked (a file closed by closeCutFile has a placeholder).
SpngContext decodeRows(const unsigned char* bytes, std::size_t n, bool trustChecksums, int format,
                       uint64_t rowBytes, unsigned char* pixels, Decoding& d) {
  SpngContext ctx(spng_ctx_new(0));
  if (!ctx) {
    d.error = SPNG_EMEM;
    return ctx;
  }
  spng_set_crc_action(ctx.get(), trustChecksums ? SPNG_CRC_USE : SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
  spng_set_chunk_limits(ctx.get(), kChunkLimit, kChunkLimit);
  spng_set_image_limits(ctx.get(), 1u << 30, 1u << 30);
  spng_set_png_buffer(ctx.get(), bytes, n);
  if ((d.error = spng_get_ihdr(ctx.get(), &d.header)) != 0) return ctx;
  if ((d.error = spng_decode_image(ctx.get(), nullptr, 0, format,
                                   SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE)) != 0)
    return ctx;
  // Row by row, so that data ending early still gives the rows before it;
  // interlaced pictures deliver each row once per pass, at its own number.
  for (;;) {
    spng_row_info row{};
    if ((d.error = spng_get_row_info(ctx.get(), &row)) != 0) break;
    if (row.row_num >= d.header.height) break;
    unsigned char* target = pixels + (d.header.height - 1 - row.row_num) * rowBytes;
    d.error = spng_decode_row(ctx.get(), target, std::size_t(rowBytes));
    if (d.error != 0 && d.error != SPNG_EOI) break;
    ++d.rowsDone;
    if (d.error == SPNG_EOI) break;
  }
  if (d.error == SPNG_EOI) {
    // The chunks after the data: the last data chunk's checksum is only
    // checked on the way to them.
    const int after = spng_decode_chunks(ctx.get());
    d.error = after == SPNG_ECHUNK_CRC ? after : 0;
  }
  return ctx;
}

}  // namespace

bool decodePng(const grPhotoBytes& file, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem) {
  const unsigned char* const bytes = file.data;
  const std::size_t n = file.size;
  SpngContext ctx(spng_ctx_new(0));
  if (!ctx) {
    problem = "the PNG decoder could not be started";
    return false;
  }
  spng_set_png_buffer(ctx.get(), bytes, n);
  spng_ihdr header{};
  if (int error = spng_get_ihdr(ctx.get(), &header)) {
    problem = reasonOf(error);
    return false;
  }
  if (uint64_t(header.width) * header.height > request.maxPixels) {
    problem = tooManyPixels(header.width, header.height, request.maxPixels);
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
  if (!allocateDecodeBlock(pixels, rowBytes * header.height, {header.width, header.height},
                           request)) {
    problem = "picture too large to decode";
    return false;
  }
  // Rows not reached by data that ends early stay zero.
  std::memset(pixels.begin(), 0, std::size_t(rowBytes * header.height));

  Decoding d;
  ctx = decodeRows(bytes, n, false, format, rowBytes, pixels.begin(), d);
  std::vector<unsigned char> closed;
  const bool cut = endsEarly(d.error) && closeCutFile(bytes, n, closed);
  if (cut) {
    d = Decoding();
    ctx = decodeRows(closed.data(), closed.size(), true, format, rowBytes, pixels.begin(), d);
    if (endsEarly(d.error) || d.error == 0) d.error = d.rowsDone > 0 ? 0 : SPNG_IO_EOF;
  }
  // A cut file that gave rows is shown as far as it goes; any other error
  // refuses the file.
  if (d.error != 0 || !ctx) {
    problem = reasonOf(d.error ? d.error : SPNG_IO_EOF);
    return false;
  }
  if (cut) out.flaw = "the file ends early";

  out.storedSize = {header.width, header.height};
  spng_exif exif{};
  if (spng_get_exif(ctx.get(), &exif) == 0 && exif.data)
    out.orientation =
        exifOrientation(reinterpret_cast<const unsigned char*>(exif.data), exif.length);
  // An sRGB chunk means the pixels are sRGB already, whatever profile
  // may come with it.
  uint8_t intent = 0;
  spng_iccp profile{};
  if (spng_get_srgb(ctx.get(), &intent) != 0 && spng_get_iccp(ctx.get(), &profile) == 0 &&
      profile.profile && profile.profile_len > 0) {
    const auto* begin = reinterpret_cast<const unsigned char*>(profile.profile);
    out.iccProfile.assign(begin, begin + profile.profile_len);
  }
  describeDecoded(out.image, pixels, header.width, header.height, layout);
  return true;
}

}  // namespace libgr
