// ICC profiles to sRGB through Little CMS 2, with owners of its handles and
// a small cache of transforms by profile.
#include "photo/colour_profile.h"

#include <lcms2.h>

#include <cstring>
#include <list>
#include <memory>
#include <mutex>

#include "graphics/pixel_format.h"
#include "photo/matrix_shaper.h"
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

struct ProfileRelease {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformRelease {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using ProfileHandle = std::unique_ptr<void, ProfileRelease>;
using TransformHandle = std::unique_ptr<void, TransformRelease>;

// Little CMS reads profiles that are cut short without complaint, so the
// header is checked first: its size field, its signature, its class.
bool checkHeader(const std::vector<unsigned char>& profile, uint32_t& colourSpace,
                 std::string& problem) {
  if (profile.size() < 132 || std::memcmp(profile.data() + 36, "acsp", 4) != 0) {
    problem = "it is not an ICC profile";
    return false;
  }
  if (libutils::be32(profile.data()) != profile.size()) {
    problem = "it is cut short";
    return false;
  }
  const uint32_t deviceClass = libutils::be32(profile.data() + 12);
  if (deviceClass == cmsSigLinkClass || deviceClass == cmsSigAbstractClass ||
      deviceClass == cmsSigNamedColorClass) {
    problem = "it does not describe the colours of pixels";
    return false;
  }
  colourSpace = libutils::be32(profile.data() + 16);
  return true;
}

// Little CMS formats of the layouts it is given.
cmsUInt32Number inputFormat(uint32_t layout, bool cmyk, bool inverted) {
  if (cmyk) return inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8;
  switch (layout) {
    case grLayoutLuminance:
      return TYPE_GRAY_8;
    case grLayoutBGR:
      return TYPE_BGR_8;
    case grLayoutBGRA:
      return TYPE_BGRA_8;
    case grLayoutRGB:
      return TYPE_RGB_8;
    case grLayoutRGBA:
      return TYPE_RGBA_8;
    case grLayoutColorIndex:
      return TYPE_RGB_16;  // the colour maps
    default:
      return 0;
  }
}

uint32_t colourSpaceOf(uint32_t layout, bool cmyk) {
  if (cmyk) return cmsSigCmykData;
  return layout == grLayoutLuminance ? cmsSigGrayData : cmsSigRgbData;
}

// Transforms built so far, newest first; a few photographs at a time.
// Photographs may be prepared on several threads at once: the cache is
// guarded, and transforms are made without Little CMS's one-pixel cache,
// which is what keeps them from being used by two threads together.
struct CachedTransform {
  std::vector<unsigned char> profile;
  cmsUInt32Number in, out;
  TransformHandle transform;
  std::unique_ptr<grMatrixShaper> shaper;  // for RGB matrix-shaper profiles
};
constexpr std::size_t kCachedTransforms = 8;

// Shared, so that an entry the cache lets go stays alive while in use.
std::shared_ptr<const CachedTransform> cachedTransform(const std::vector<unsigned char>& profile,
                                                       cmsUInt32Number in, cmsUInt32Number out,
                                                       std::string& problem) {
  static std::mutex guard;
  static std::list<std::shared_ptr<const CachedTransform>> cache;
  const std::lock_guard<std::mutex> lock(guard);
  for (auto it = cache.begin(); it != cache.end(); ++it)
    if ((*it)->in == in && (*it)->out == out && (*it)->profile == profile) {
      cache.splice(cache.begin(), cache, it);
      return cache.front();
    }
  // Little CMS reports through a log handler; it says nothing on stderr.
  cmsSetLogErrorHandler(nullptr);
  ProfileHandle source(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
  ProfileHandle srgb(cmsCreate_sRGBProfile());
  if (!source || !srgb) {
    problem = "it cannot be read";
    return nullptr;
  }
  // Print profiles put their black well above the screen's: without black
  // point compensation relative colorimetric keeps that paper-and-ink black,
  // and a CMYK picture's shadows come out lifted and flat. Photo editors
  // convert CMYK for the screen with it; RGB and grey profiles keep the
  // plain intent (their black is the screen's, or near it).
  const bool inks = T_COLORSPACE(in) == PT_CMYK;
  const cmsUInt32Number flags = cmsFLAGS_NOCACHE | (T_EXTRA(in) ? cmsFLAGS_COPY_ALPHA : 0) |
                                (inks ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0);
  TransformHandle transform(
      cmsCreateTransform(source.get(), in, srgb.get(), out, INTENT_RELATIVE_COLORIMETRIC, flags));
  if (!transform) {
    problem = "no colour transform can be made from it";
    return nullptr;
  }
  std::unique_ptr<grMatrixShaper> shaper = grMatrixShaper::toSrgb(source.get());
  cache.push_front(std::make_shared<const CachedTransform>(
      CachedTransform{profile, in, out, std::move(transform), std::move(shaper)}));
  if (cache.size() > kCachedTransforms) cache.pop_back();
  return cache.front();
}

// The colour maps of a colour-index image, as 16-bit RGB triples.
void convertMaps(grColorMaps& maps, void* transform) {
  std::vector<unsigned short> rgb(std::size_t(maps.count) * 3);
  for (uint32_t i = 0; i < maps.count; ++i) {
    rgb[3 * i] = *maps.red.at(i);
    rgb[3 * i + 1] = *maps.green.at(i);
    rgb[3 * i + 2] = *maps.blue.at(i);
  }
  cmsDoTransform(transform, rgb.data(), rgb.data(), maps.count);
  grColorMaps converted;
  converted.setSize(maps.count);
  for (uint32_t i = 0; i < maps.count; ++i) {
    *converted.red.at(i) = rgb[3 * i];
    *converted.green.at(i) = rgb[3 * i + 1];
    *converted.blue.at(i) = rgb[3 * i + 2];
  }
  maps = converted;  // other holders of the old maps keep them
}

}  // namespace

bool convertToSrgb(grImage2D& image, const std::vector<unsigned char>& profile, bool cmyk,
                   bool cmykInverted, std::string& problem) {
  uint32_t colourSpace = 0;
  if (!checkHeader(profile, colourSpace, problem)) return false;
  const bool indexed = image.layout == grLayoutColorIndex;
  if (indexed && image.colorMaps.count == 0) return true;  // nothing to convert
  if (colourSpace != colourSpaceOf(image.layout, cmyk)) {
    problem = "it is for another colour space than the pixels";
    return false;
  }
  const cmsUInt32Number in = inputFormat(image.layout, cmyk, cmykInverted);
  if (in == 0 || image.width <= 0 || image.height <= 0) {
    problem = "the pixels are of a kind it is not applied to";
    return false;
  }
  const uint32_t inBytes = T_CHANNELS(in) + T_EXTRA(in);
  const uint64_t rowIn = image.rowBytes();
  if (!indexed && uint64_t(image.pixels.size()) < rowIn * uint64_t(image.height)) {
    problem = "the pixels are fewer than the picture's size";
    return false;
  }
  const bool toRgb = cmyk || image.layout == grLayoutLuminance;
  const std::shared_ptr<const CachedTransform> cached = cachedTransform(profile, in,
                                                                        indexed ? TYPE_RGB_16
                                                                        : toRgb ? TYPE_RGB_8
                                                                                : in,
                                                                        problem);
  if (!cached) return false;
  void* transform = cached->transform.get();
  if (!indexed && !toRgb) {
    const bool bgr = image.layout == grLayoutBGR || image.layout == grLayoutBGRA;
    if (cached->shaper)
      cached->shaper->apply(image.pixels.begin(), uint32_t(image.width), uint32_t(image.height),
                            std::size_t(rowIn), inBytes, bgr);
    else
      cmsDoTransformLineStride(transform, image.pixels.begin(), image.pixels.begin(),
                               cmsUInt32Number(image.width), cmsUInt32Number(image.height),
                               cmsUInt32Number(rowIn), cmsUInt32Number(rowIn), 0, 0);
    return true;
  }
  if (indexed) {
    convertMaps(image.colorMaps, transform);
    return true;
  }
  // Inks and grey become three bytes a pixel; inks fit their own buffer
  // (four bytes a pixel in, three out), grey needs a fresh one.
  const uint64_t rowOut = uint64_t(image.width) * 3;
  refvector2<unsigned char> fresh;
  unsigned char* target = image.pixels.begin();
  if (inBytes < 3) {
    if (!allocatePixelStorage(fresh, rowOut * uint64_t(image.height))) {
      problem = "the picture is too large to convert";
      return false;
    }
    target = fresh.begin();
  }
  if (inBytes >= 3) {
    // In place row by row from the top: each row's output ends before the
    // next row's input starts.
    for (int32_t y = 0; y < image.height; ++y)
      cmsDoTransform(transform, image.pixels.begin() + uint64_t(y) * rowIn,
                     target + uint64_t(y) * rowOut, cmsUInt32Number(image.width));
  } else {
    cmsDoTransformLineStride(transform, image.pixels.begin(), target, cmsUInt32Number(image.width),
                             cmsUInt32Number(image.height), cmsUInt32Number(rowIn),
                             cmsUInt32Number(rowOut), 0, 0);
    image.pixels.view(fresh, 0, ofsvector<unsigned char>::toEnd);
  }
  image.layout = grLayoutRGB;
  image.pixelStore = &grPackedPixelStore;
  return true;
}

void inksToRgb(grImage2D& image, bool inverted) {
  unsigned char* pixels = image.pixels.begin();
  const uint64_t count = uint64_t(image.width) * uint64_t(image.height);
  if (image.pixels.size() < count * 4) return;
  const unsigned char* in = pixels;
  unsigned char* out = pixels;
  for (uint64_t i = 0; i < count; ++i, in += 4, out += 3) {
    unsigned c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    out[0] = (unsigned char)((c * k + 127) / 255);
    out[1] = (unsigned char)((m * k + 127) / 255);
    out[2] = (unsigned char)((y * k + 127) / 255);
  }
  image.layout = grLayoutRGB;
  image.pixelStore = &grPackedPixelStore;
}

}  // namespace libgr
