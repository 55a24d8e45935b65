#pragma once
// Reading a photograph, whatever its format: the one entry point that takes
// a file (a path, or its bytes in memory) and gives an upright image record
// sharing the decoded (or the file's own) buffer, or a reason.
//
// The format comes from the file's first bytes, never from its name, and
// the format table (photo_format.h) says which reader decodes it; a format
// this build does not decode is refused by name. Pictures are turned upright
// by the orientation their reader found (EXIF in JPEG and PNG). Pictures
// with an embedded colour profile are converted to sRGB (colour_profile.h);
// a profile that cannot be used, and a linked BMP profile, leave the
// picture as it is, with a note in `flaw`. docs/photo.md lists the formats.
#include <string>

#include "graphics/bmp.h"
#include "graphics/image.h"
#include "photo/decoded_photo.h"
#include "photo/photo_format.h"

namespace libgr {

class grPhotoFile {
 public:
  // The file's BMP structure (headers, palette, pixel bits) when it is a BMP
  // file, also one carrying a JPEG or PNG; empty otherwise.
  grBmpFile bmp;
  grPhotoFormat fileFormat = grPhotoFormat::unknown;     // what the file is
  grPhotoFormat pictureFormat = grPhotoFormat::unknown;  // how its picture is coded
  // How the picture reaches GL, as its reader chose (decoded_photo.h).
  grUploadRoute route = grUploadRoute::cpuChain;
  grPhotoSize fullSize;  // the upright picture at full size, before any scaling
  int orientation = 1;   // the EXIF orientation that was applied
  std::string problem;   // why the last read refused; empty after success
  std::string flaw;      // what is off in a picture that was shown all the same
  // JPEG and PNG pictures declaring more pixels than this are refused before
  // anything of their size is allocated.
  uint64_t maxPixels = kMaxPhotoPixels;
  // With a size given, JPEG and PNG pictures are decoded into a block of at
  // least that many bytes, and when the image ends up in other storage (the
  // picture was resampled or turned) the block is kept in `spareBlock`
  // instead of being freed: its pages are faulted in already, so the next
  // large block carved from it (a software GL driver's texture storage)
  // costs no page faults, once spareBlock is cleared just before that block
  // is allocated (StartupHeap, utilities/startup_heap.h, keeps freed pages for it).
  grBlockBytes decodeBlockBytes;
  refvector2<unsigned char> spareBlock;

  // Reads `path` and describes its picture in `image`. Pictures of the GLU
  // route (BMP files) are described exactly as bmpToImage describes them
  // (often the file's own buffer); pictures of the CPU chain (JPEG and PNG,
  // also those inside a BMP) are decoded into a fresh buffer: upright, rows
  // bottom-up, packed, 8 bits per sample; a JPEG at the smallest DCT scale
  // that covers `cover`. With `exactSize`, they are then resampled to the
  // size it gives for the upright picture (area averaging) before they are
  // turned upright and their colours converted, so that work is done at the
  // size the caller needs. False, with `image` unchanged and the reason in
  // `problem`, when the file cannot be read or its picture cannot be shown.
  // Clears spareBlock first.
  bool read(const char* path, grImage2D& image, const grCoverSize& cover = {},
            const grCoverSize& exactSize = {});
  // The same for a whole file already in memory, shared (a BMP picture may
  // be described in it), never copied.
  bool read(const refvector2<unsigned char>& fileBytes, grImage2D& image,
            const grCoverSize& cover = {}, const grCoverSize& exactSize = {});

  // Whether the picture came through the BMP pixel reader (and so keeps the
  // BMP texture route); false for JPEG and PNG, also inside a BMP.
  bool isBmpPicture() const { return pictureFormat == grPhotoFormat::bmp; }

 private:
  void clearResults();
};

}  // namespace libgr
