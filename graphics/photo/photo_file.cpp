// The photograph entry point: read once, tell the format, hand the bytes to
// that format's reader, turn the result upright.
#include "graphics/photo/photo_file.h"

#include "graphics/mip_chain.h"
#include "graphics/photo/colour_profile.h"
#include "graphics/photo/jpeg_reader.h"
#include "graphics/photo/orientation.h"
#include "graphics/photo/png_reader.h"
#include "utilities/byteorder.h"

namespace libgr {

namespace {

using libutils::intel_byteorder;

// The pixel bytes of a BMP file that carries a JPEG or PNG: from bfOffBits,
// as many as biSizeImage says when it says so and they are there.
void embeddedBytes(const grBmpFile& file, const unsigned char*& data, std::size_t& size) {
  data = file.bits.begin();
  size = file.bits.size();
  const uint32_t declared = intel_byteorder::host32(file.infoHeader.at(0)->biSizeImage);
  if (declared != 0 && declared < size) size = declared;
}

void addNote(std::string& flaw, const std::string& note) {
  if (note.empty()) return;
  flaw += flaw.empty() ? note : "; " + note;
}

std::string unusedProfile(const std::string& why) {
  return "its colour profile was not used (" + why + ")";
}

// A decoded JPEG or PNG picture in sRGB: through its profile when it has
// a usable one; inks through the ink formula otherwise.
void manageColours(grDecodedPhoto& decoded) {
  std::string why = decoded.profileProblem;
  bool converted = false;
  if (!decoded.iccProfile.empty())
    converted =
        convertToSrgb(decoded.image, decoded.iccProfile, decoded.cmyk, decoded.cmykInverted, why);
  if (decoded.cmyk && !converted) inksToRgb(decoded.image, decoded.cmykInverted);
  if (!why.empty()) addNote(decoded.flaw, unusedProfile(why));
}

// A BMP picture through the profile its V5 header embeds; a linked one is
// never opened.
void manageBmpColours(const grBmpFile& file, grImage2D& image, std::string& flaw) {
  bool linked = false;
  std::string why;
  const std::vector<unsigned char> profile = bmpEmbeddedProfile(file, linked, why);
  if (linked) addNote(flaw, "its linked colour profile was not used");
  if (!profile.empty()) convertToSrgb(image, profile, false, false, why);
  if (!why.empty()) addNote(flaw, unusedProfile(why));
}

bool decodeFormat(grPhotoFormat format, const unsigned char* data, std::size_t size,
                  const grDecodeRequest& request, grDecodedPhoto& decoded, std::string& problem) {
  if (format == grPhotoFormat::jpeg) return decodeJpeg(data, size, request, decoded, problem);
  return decodePng(data, size, request, decoded, problem);
}

}  // namespace

bool grPhotoFile::read(const char* path, grImage2D& image, const grCoverSize& cover,
                       const grCoverSize& exactSize) {
  bmp = grBmpFile();
  fileFormat = pictureFormat = grPhotoFormat::unknown;
  fullSize = {};
  orientation = 1;
  problem.clear();
  flaw.clear();
  spareBlock.clear();

  refvector2<unsigned char> buffer;
  if (grBmpError error = readWholeFile(path, 1, buffer); error != grBmpError::none) {
    problem = bmpProblemText({error, 0});
    return false;
  }
  const unsigned char* data = buffer.begin();
  std::size_t size = buffer.storageBytes();
  fileFormat = sniffPhotoFormat(data, size);
  if (!isReadablePhotoFormat(fileFormat)) {
    problem = unreadableFormatReason(fileFormat);
    return false;
  }

  pictureFormat = fileFormat;
  if (fileFormat == grPhotoFormat::bmp) {
    if (bmp.take(buffer) && bmpToImage(image, bmp)) {
      pictureFormat = grPhotoFormat::bmp;
      fullSize = {uint32_t(image.width), uint32_t(image.height)};
      if (bmp.flaw.error != grBmpError::none) flaw = bmpProblemText(bmp.flaw);
      manageBmpColours(bmp, image, flaw);
      return true;
    }
    const grBmpError error = bmp.problem.error;
    if (error != grBmpError::embeddedJpeg && error != grBmpError::embeddedPng) {
      problem = bmpProblemText(bmp.problem);
      return false;
    }
    embeddedBytes(bmp, data, size);
    pictureFormat = sniffPhotoFormat(data, size);
    const grPhotoFormat declared =
        error == grBmpError::embeddedJpeg ? grPhotoFormat::jpeg : grPhotoFormat::png;
    if (pictureFormat != declared) {
      problem = error == grBmpError::embeddedJpeg ? "its embedded JPEG data is not a JPEG"
                                                  : "its embedded PNG data is not a PNG";
      return false;
    }
  }

  grDecodedPhoto decoded;
  if (!decodeFormat(pictureFormat, data, size, {cover, maxPixels, decodeBlockBytes}, decoded,
                    problem))
    return false;
  refvector2<unsigned char> decodedBlock = decoded.image.pixels;
  orientation = decoded.orientation;
  fullSize = uprightSize(decoded.storedSize, orientation);
  // Inks become colours at once (their formula is far from linear). Other
  // pictures are turned and converted at the smaller of their decoded size
  // and the size wanted: a camera picture after it is brought down to its
  // texture, a small one before it is enlarged.
  if (decoded.cmyk) manageColours(decoded);
  grPhotoSize wanted = exactSize ? exactSize(fullSize) : grPhotoSize{};
  const grPhotoSize wantedStored = uprightSize(wanted, orientation);
  const auto resizeTo = [&decoded](grPhotoSize size) {
    grImage2D resized;
    if (resampleImage(decoded.image, {size.width, size.height}, resized)) decoded.image = resized;
  };
  const bool shrinks = exactSize && uint64_t(wanted.width) * wanted.height <
                                        uint64_t(decoded.image.width) * decoded.image.height;
  if (shrinks) resizeTo(wantedStored);
  applyOrientation(decoded.image, orientation);
  if (!decoded.cmyk) manageColours(decoded);
  if (exactSize && !shrinks) resizeTo(wanted);
  flaw = decoded.flaw;
  image = decoded.image;
  if (decodeBlockBytes && !image.pixels.sharesStorageWith(decodedBlock)) spareBlock = decodedBlock;
  return true;
}

}  // namespace libgr
