#pragma once
// The one contract of the format readers: what a reader is given (a file's
// bytes and a request) and what it gives back (a decoded picture, or a
// reason in the program's words). A reader is one function of type
// grPhotoReader; the format table (photo_format.cpp) names each.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/image.h"
#include "graphics/resample.h"
#include "photo/photo_format.h"

namespace libgr {

// A picture's size in pixels (the record the resampler takes).
using grPhotoSize = grLevelSize;

// The bytes a reader decodes: a whole file, or a picture inside one, and
// the shared buffer they lie in (empty when the caller has none), so that a
// reader may describe its picture in the file's own buffer, as BMP does.
struct grPhotoBytes {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  refvector2<unsigned char> buffer;
};

// How a decoded picture reaches GL, chosen by its reader for what the
// picture is: BMP pictures (palette indices with colour maps, padded rows,
// BGR) through one gluBuild2DMipmaps of the picture as read; packed 8-bit
// pictures resampled, turned upright and colour-converted here, and their
// levels built on the CPU (mip_chain.h).
enum class grUploadRoute {
  gluMipmaps,
  cpuChain,
};

// The largest picture the readers decode: 100 megapixels (a 12000 x 8000
// camera picture is 96). A file declaring more is refused before anything
// of its size is allocated.
constexpr uint64_t kMaxPhotoPixels = 100'000'000;

// The size a caller needs of a picture, given the picture's upright full
// size. A reader that can scale while decoding (JPEG, by its DCT) decodes at
// the smallest scale whose size still covers it in both directions (or at
// full size where even that is smaller). Empty: always full size.
using grCoverSize = std::function<grPhotoSize(grPhotoSize upright)>;

// The least bytes of the block a picture is decoded into, given its full
// size as stored (the image uses only its own size of the block).
using grBlockBytes = std::function<uint64_t(grPhotoSize stored)>;

// What a reader is asked for: the size the caller needs, the most pixels a
// picture may declare before it is refused unread, and the least size of
// the block it decodes into (empty: the picture's own).
struct grDecodeRequest {
  grCoverSize cover;
  uint64_t maxPixels = kMaxPhotoPixels;
  grBlockBytes minBlock = {};
};

// The refusal of a picture declaring more than `maxPixels`.
std::string tooManyPixels(uint32_t width, uint32_t height, uint64_t maxPixels);

struct grDecodedPhoto {
  // Rows bottom-up (row 0 is the bottom edge, as GL takes textures). For the
  // CPU chain: 8 bits per sample, packed (grPackedPixelStore, image.h),
  // luminance, RGB or RGBA, as stored (the orientation is not applied yet).
  // For the GLU route: any image record the texture upload takes.
  grImage2D image;
  grUploadRoute route = grUploadRoute::cpuChain;
  grPhotoSize storedSize;  // as the file declares it, before any scaling
  int orientation = 1;     // EXIF orientation 1..8; 1 when absent or out of range
  std::string flaw;        // what is off in a picture that is shown all the same

  // The embedded colour profile as the file holds it (JPEG APP2 chunks put
  // together, PNG iCCP inflated); empty without one.
  std::vector<unsigned char> iccProfile;
  // Why a profile the file carries cannot be used (chunks missing, ...);
  // the picture is then shown as sRGB.
  std::string profileProblem;
  // The pixels are four ink values (C, M, Y, K) per pixel, in the RGBA
  // layout's place, inverted (255 = no ink) as Adobe writers store them
  // when cmykInverted; colour management or the ink formula turns them into
  // RGB (colour_profile.h).
  bool cmyk = false;
  bool cmykInverted = false;

  // A picture the file carries in another format (a BMP file's BI_JPEG or
  // BI_PNG pixels): its bytes and the format the file declares for them.
  // Nothing else is set; the picture is decoded through the format table.
  grPhotoBytes embedded;
  grPhotoFormat embeddedFormat = grPhotoFormat::unknown;
  // A BMP file's structure (headers, palette, pixel bits); empty for others.
  grBmpFile bmp;
};

// A format reader: decodes `bytes` as `request` asks into `out` (fresh),
// or returns false with the reason in `problem`, in the program's words.
using grPhotoReader = bool (*)(const grPhotoBytes& bytes, const grDecodeRequest& request,
                               grDecodedPhoto& out, std::string& problem);

// Describes the first height x width x components bytes of `pixels` (fresh
// storage of at least that many) as a packed 8-bit image of the given
// layout.
void describeDecoded(grImage2D& image, const refvector2<unsigned char>& pixels, uint32_t width,
                     uint32_t height, uint32_t layout);

// Bytes per pixel of a decoded image (its layout's component count).
uint32_t decodedPixelBytes(const grImage2D& image);

// Storage for `bytes` of decoded pixels of a picture of `stored` full size,
// in a block of at least the size request.minBlock gives for it.
bool allocateDecodeBlock(refvector2<unsigned char>& pixels, uint64_t bytes, grPhotoSize stored,
                         const grDecodeRequest& request);

}  // namespace libgr
