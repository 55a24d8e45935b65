// JPEG decoding with TurboJPEG, held by an owner of its handle.
#include "photo/jpeg_reader.h"

#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <vector>

#include "photo/exif_orientation.h"
#include "photo/jpeg_markers.h"
#include "photo/orientation.h"

namespace libgr {

namespace {

struct TurboJpegRelease {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegRelease>;

// The smallest scaling factor no larger than 1 whose picture still covers
// `need` in both directions (where the full picture is smaller, the full
// picture). TurboJPEG lists its factors largest first.
tjscalingfactor coveringScale(grPhotoSize stored, grPhotoSize need) {
  tjscalingfactor best = {1, 1};
  int count = 0;
  const tjscalingfactor* factors = tjGetScalingFactors(&count);
  const uint32_t needW = std::min(stored.width, need.width);
  const uint32_t needH = std::min(stored.height, need.height);
  for (int i = 0; factors && i < count; ++i) {
    const tjscalingfactor f = factors[i];
    if (f.num > f.denom) continue;
    const uint32_t w = uint32_t(TJSCALED(int(stored.width), f));
    const uint32_t h = uint32_t(TJSCALED(int(stored.height), f));
    if (w >= needW && h >= needH &&
        uint64_t(w) * h <
            uint64_t(TJSCALED(int(stored.width), best)) * TJSCALED(int(stored.height), best))
      best = f;
  }
  return best;
}

// The profile from its APP2 chunks ("ICC_PROFILE\0", sequence number,
// count, data), put together in sequence order; a set with a chunk missing,
// repeated or out of range is no profile.
bool assembleProfile(const std::vector<grJpegSegment>& chunks, std::vector<unsigned char>& out,
                     std::string& problem) {
  if (chunks.empty()) return true;
  const std::size_t header = 14;
  const unsigned count = chunks[0].size >= header ? chunks[0].data[13] : 0;
  std::vector<const grJpegSegment*> bySequence(count + 1, nullptr);
  for (const grJpegSegment& chunk : chunks) {
    if (chunk.size < header || chunk.data[13] != count || chunk.data[12] == 0 ||
        chunk.data[12] > count || bySequence[chunk.data[12]]) {
      problem = "its pieces do not fit together";
      return false;
    }
    bySequence[chunk.data[12]] = &chunk;
  }
  if (count == 0 || chunks.size() != count) {
    problem = "pieces of it are missing";
    return false;
  }
  for (unsigned i = 1; i <= count; ++i)
    out.insert(out.end(), bySequence[i]->data + header, bySequence[i]->data + bySequence[i]->size);
  return true;
}

std::string flawOfWarning(const char* message) {
  if (message && std::strstr(message, "Premature end")) return "the file ends early";
  return "its JPEG data is damaged in places";
}

}  // namespace

bool decodeJpeg(const grPhotoBytes& file, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem) {
  const unsigned char* const bytes = file.data;
  const std::size_t n = file.size;
  const grJpegMarkers markers = readJpegMarkers(bytes, n);
  TurboJpegHandle handle(tjInitDecompress());
  if (!handle) {
    problem = "the JPEG decoder could not be started";
    return false;
  }
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), bytes, (unsigned long)n, &width, &height, &subsampling,
                          &colorspace) != 0 ||
      width <= 0 || height <= 0) {
    problem = markers.frameFound ? "damaged JPEG header" : "JPEG header is missing or cut short";
    return false;
  }
  const grPhotoSize stored{uint32_t(width), uint32_t(height)};
  if (uint64_t(stored.width) * stored.height > request.maxPixels) {
    problem = tooManyPixels(stored.width, stored.height, request.maxPixels);
    return false;
  }
  // Huffman coding spends at least a bit on every 8 x 8 block of the first
  // component; arithmetic coding can spend less, so it has no such bound.
  const uint64_t blocks = uint64_t((stored.width + 7) / 8) * ((stored.height + 7) / 8);
  if (!markers.arithmetic && blocks > 8 * uint64_t(n)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }
  out.storedSize = stored;
  out.orientation = markers.exif.data ? exifOrientation(markers.exif.data, markers.exif.size) : 1;

  tjscalingfactor scale = {1, 1};
  if (request.cover) {
    const grPhotoSize upright = uprightSize(stored, out.orientation);
    const grPhotoSize needUpright = request.cover(upright);
    scale = coveringScale(stored, uprightSize(needUpright, out.orientation));
  }
  const uint32_t w = uint32_t(TJSCALED(width, scale)), h = uint32_t(TJSCALED(height, scale));

  const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
  const bool grey = colorspace == TJCS_GRAY;
  // RGB order: the order GL stores RGB textures in, so the upload copies.
  const int pixelFormat = cmyk ? TJPF_CMYK : grey ? TJPF_GRAY : TJPF_RGB;
  const uint32_t decodedBytes = cmyk ? 4 : grey ? 1 : 3;
  refvector2<unsigned char> pixels;
  if (!allocateDecodeBlock(pixels, uint64_t(w) * h * decodedBytes, stored, request)) {
    problem = "picture too large to decode";
    return false;
  }
  // Rows bottom-up, as GL takes them; progressive files limited to a sane
  // number of scans (a classic way to make a tiny file take minutes).
  const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;
  if (tjDecompress2(handle.get(), bytes, (unsigned long)n, pixels.begin(), int(w), 0, int(h),
                    pixelFormat, flags) != 0) {
    if (tjGetErrorCode(handle.get()) != TJERR_WARNING) {
      problem = "damaged JPEG data";
      return false;
    }
    out.flaw = flawOfWarning(tjGetErrorStr2(handle.get()));
  }
  if (!assembleProfile(markers.iccChunks, out.iccProfile, out.profileProblem))
    out.iccProfile.clear();
  out.cmyk = cmyk;
  out.cmykInverted = cmyk && markers.adobe;
  describeDecoded(out.image, pixels, w, h,
                  cmyk   ? grLayoutRGBA
                  : grey ? grLayoutLuminance
                         : grLayoutRGB);
  return true;
}

}  // namespace libgr
