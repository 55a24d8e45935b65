// The photograph entry point, in steps: read the file, tell its format,
// decode it through that format's reader (and a picture it carries through
// its own), then bring the picture to what the caller needs.
#include "photo/photo_file.h"

#include "graphics/mip_chain.h"
#include "graphics/whole_file.h"
#include "photo/colour_profile.h"
#include "photo/format_table.h"
#include "photo/orientation.h"

namespace libgr {

namespace {

void addNote(std::string& flaw, const std::string& note) {
  if (note.empty()) return;
  flaw += flaw.empty() ? note : "; " + note;
}

// The picture in sRGB: through its profile when it has a usable one; inks
// through the ink formula otherwise.
void manageColours(grDecodedPhoto& decoded) {
  std::string why = decoded.profileProblem;
  bool converted = false;
  if (!decoded.iccProfile.empty())
    converted =
        convertToSrgb(decoded.image, decoded.iccProfile, decoded.cmyk, decoded.cmykInverted, why);
  if (decoded.cmyk && !converted) inksToRgb(decoded.image, decoded.cmykInverted);
  if (!why.empty()) addNote(decoded.flaw, "its colour profile was not used (" + why + ")");
}

// Decodes `bytes` of `format` through the table: false, with the reason,
// for a format this build does not decode or a picture its reader refuses.
bool decodeAs(grPhotoFormat format, const grPhotoBytes& bytes, const grDecodeRequest& request,
              grDecodedPhoto& decoded, std::string& problem) {
  const grPhotoReader reader = photoReader(format);
  if (!reader) {
    problem = unreadableFormatReason(format);
    return false;
  }
  return reader(bytes, request, decoded, problem);
}

// The picture a file carries in another format, decoded in place of the
// file's own (which holds nothing else).
bool decodeEmbedded(grDecodedPhoto& decoded, const grDecodeRequest& request,
                    grPhotoFormat& pictureFormat, std::string& problem) {
  const grPhotoBytes bytes = decoded.embedded;
  const grPhotoFormat declared = decoded.embeddedFormat;
  pictureFormat = sniffPhotoFormat(bytes.data, bytes.size);
  if (pictureFormat != declared) {
    const std::string name = photoFormatName(declared);
    problem = "its embedded " + name + " data is not a " + name;
    return false;
  }
  grDecodedPhoto inner;
  if (!decodeAs(pictureFormat, bytes, request, inner, problem)) return false;
  if (!inner.embedded.data) {
    inner.bmp = decoded.bmp;
    decoded = inner;
    return true;
  }
  problem = "its embedded picture carries another picture";
  return false;
}

// A CPU-chain picture as the caller needs it. Inks become colours at once
// (their formula is far from linear). Other pictures are turned and
// converted at the smaller of their decoded size and the size wanted: a
// camera picture after it is brought down to its texture, a small one
// before it is enlarged.
void finishPicture(grDecodedPhoto& decoded, grPhotoSize fullSize, const grCoverSize& exactSize) {
  if (decoded.cmyk) manageColours(decoded);
  const grPhotoSize wanted = exactSize ? exactSize(fullSize) : grPhotoSize{};
  const auto resizeTo = [&decoded](grPhotoSize size) {
    grImage2D resized;
    if (resampleImage(decoded.image, size, resized)) decoded.image = resized;
  };
  const bool shrinks = exactSize && uint64_t(wanted.width) * wanted.height <
                                        uint64_t(decoded.image.width) * decoded.image.height;
  if (shrinks) resizeTo(uprightSize(wanted, decoded.orientation));
  applyOrientation(decoded.image, decoded.orientation);
  if (!decoded.cmyk) manageColours(decoded);
  if (exactSize && !shrinks) resizeTo(wanted);
}

}  // namespace

bool grPhotoFile::read(const char* path, grImage2D& image, const grCoverSize& cover,
                       const grCoverSize& exactSize) {
  refvector2<unsigned char> buffer;
  const grFileError error = readFileBytes(path, 1, buffer);
  if (error == grFileError::none) return read(buffer, image, cover, exactSize);
  clearResults();
  problem = error == grFileError::tooShort ? "too short for its headers" : fileErrorText(error);
  return false;
}

void grPhotoFile::clearResults() {
  bmp = grBmpFile();
  fileFormat = pictureFormat = grPhotoFormat::unknown;
  route = grUploadRoute::cpuChain;
  fullSize = {};
  orientation = 1;
  problem.clear();
  flaw.clear();
  spareBlock.clear();
}

bool grPhotoFile::read(const refvector2<unsigned char>& fileBytes, grImage2D& image,
                       const grCoverSize& cover, const grCoverSize& exactSize) {
  clearResults();
  if (fileBytes.storageBytes() == 0) {
    problem = "too short for its headers";
    return false;
  }

  const grPhotoBytes bytes{fileBytes.begin(), fileBytes.storageBytes(), fileBytes};
  fileFormat = pictureFormat = sniffPhotoFormat(bytes.data, bytes.size);
  const grDecodeRequest request{cover, maxPixels, decodeBlockBytes};
  grDecodedPhoto decoded;
  const bool decodedOnce = decodeAs(fileFormat, bytes, request, decoded, problem);
  bmp = decoded.bmp;
  if (!decodedOnce ||
      (decoded.embedded.data && !decodeEmbedded(decoded, request, pictureFormat, problem)))
    return false;
  route = decoded.route;
  orientation = decoded.orientation;
  fullSize = uprightSize(decoded.storedSize, orientation);
  if (route == grUploadRoute::gluMipmaps) {
    manageColours(decoded);
  } else {
    const refvector2<unsigned char> decodedBlock = decoded.image.pixels;
    finishPicture(decoded, fullSize, exactSize);
    if (decodeBlockBytes && !decoded.image.pixels.sharesStorageWith(decodedBlock))
      spareBlock = decodedBlock;
  }
  flaw = decoded.flaw;
  image = decoded.image;
  return true;
}

}  // namespace libgr
