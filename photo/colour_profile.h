#pragma once
// Colour management of photographs: pixels described by an embedded ICC
// profile converted to sRGB (the screen's colours) with Little CMS 2,
// relative colorimetric intent (with black point compensation for CMYK
// pictures, as photo editors convert them), 8 bits a channel. RGB, grey and CMYK
// profiles are used; a picture with no profile, or with one that cannot be
// used, is taken as sRGB as it stands.
#include <string>
#include <vector>

#include "graphics/image.h"

namespace libgr {

// Converts `image` in place (or into a fresh buffer where the layout
// changes: grey becomes RGB) from the colours `profile` describes to sRGB.
// Takes 8-bit luminance, BGR, BGRA, RGB and RGBA images with any row
// padding, colour-index images (their colour maps are converted), and ink
// images (`cmyk`; inverted as Adobe writers store them with
// `cmykInverted`), which become RGB. The transform for a profile is built
// once and kept for later pictures with the same profile. False, with the
// image unchanged and the reason in `problem` ("it is cut short", ...), when the profile is damaged
// (cut short, not a profile), is for another colour space than the pixels,
// or Little CMS cannot build a transform from it.
bool convertToSrgb(grImage2D& image, const std::vector<unsigned char>& profile, bool cmyk,
                   bool cmykInverted, std::string& problem);

// Ink images without a profile: R = (1 - C)(1 - K) and so on, into RGB, in
// the same buffer.
void inksToRgb(grImage2D& image, bool inverted);

}  // namespace libgr
