// The BMP reader behind the readers' contract.
#include "photo/bmp_reader.h"

#include <cstring>

#include "utilities/byte_fields.h"
#include "utilities/byteorder.h"

namespace libgr {

namespace {

using libutils::intel_byteorder;

// The bytes of a BMP file that carries a JPEG or PNG: from bfOffBits, as
// many as biSizeImage says when it says so and they are there.
grPhotoBytes embeddedBytes(const grBmpFile& file) {
  grPhotoBytes bytes;
  bytes.data = file.bits.begin();
  bytes.size = file.bits.size();
  bytes.buffer.share(file.bits);
  const uint32_t declared = intel_byteorder::host32(file.infoHeader.at(0)->biSizeImage);
  if (declared != 0 && declared < bytes.size) bytes.size = declared;
  return bytes;
}

// A V5 header's embedded profile: bV5CSType 'MBED', the profile at
// bV5ProfileData bytes from the start of the info header, bV5ProfileSize
// long. A linked one ('LINK', a file name) is never opened, and said so.
void takeV5Profile(const unsigned char* bytes, uint64_t size, grDecodedPhoto& out) {
  constexpr uint32_t kFileHeader = 14, kV5 = 124;
  constexpr uint32_t kEmbedded = 0x4D424544, kLinked = 0x4C494E4B;  // 'MBED', 'LINK'
  if (size < kFileHeader + kV5 || libutils::le32(bytes + kFileHeader) < kV5) return;
  const unsigned char* v5 = bytes + kFileHeader;
  const uint32_t csType = libutils::le32(v5 + 56);
  if (csType == kLinked) {
    out.flaw += out.flaw.empty() ? "" : "; ";
    out.flaw += "its linked colour profile was not used";
    return;
  }
  if (csType != kEmbedded) return;
  const uint64_t offset = kFileHeader + uint64_t(libutils::le32(v5 + 112));
  const uint64_t length = libutils::le32(v5 + 116);
  if (length == 0 || offset > size || length > size - offset) {
    out.profileProblem = "it lies past the end of the file";
    return;
  }
  out.iccProfile.assign(bytes + offset, bytes + offset + length);
}

// The file in a buffer of its own when the caller's bytes are not a whole
// shared buffer: the BMP reader lays its windows over the storage from its
// first byte.
refvector2<unsigned char> wholeBuffer(const grPhotoBytes& file) {
  if (file.buffer.begin() == file.data && file.buffer.storageBytes() == file.size)
    return file.buffer;
  refvector2<unsigned char> copy;
  if (file.size <= UINT32_MAX && copy.allocate(uint32_t(file.size)))
    std::memcpy(copy.begin(), file.data, file.size);
  return copy;
}

}  // namespace

bool decodeBmp(const grPhotoBytes& file, const grDecodeRequest&, grDecodedPhoto& out,
               std::string& problem) {
  grBmpFile& bmp = out.bmp;
  if (!bmp.take(wholeBuffer(file)) || !bmpToImage(out.image, bmp)) {
    const grBmpError error = bmp.problem.error;
    if (error == grBmpError::embeddedJpeg || error == grBmpError::embeddedPng) {
      out.embedded = embeddedBytes(bmp);
      out.embeddedFormat =
          error == grBmpError::embeddedJpeg ? grPhotoFormat::jpeg : grPhotoFormat::png;
      return true;
    }
    problem = bmpProblemText(bmp.problem);
    return false;
  }
  out.route = grUploadRoute::gluMipmaps;
  out.storedSize = {uint32_t(out.image.width), uint32_t(out.image.height)};
  if (bmp.flaw.error != grBmpError::none) out.flaw = bmpProblemText(bmp.flaw);
  ofsvector<unsigned char> whole;
  whole.view(bmp.fileHeader, 0, ofsvector<unsigned char>::toEnd);
  takeV5Profile(whole.begin(), whole.size(), out);
  return true;
}

}  // namespace libgr
