// The words a refused BMP file is reported with.
#include "graphics/bmp.h"

namespace libgr {

std::string bmpProblemText(const grBmpProblem& p) {
  const std::string n = std::to_string(p.detail);
  switch (p.error) {
    case grBmpError::none:
      return "no problem";
    case grBmpError::notFound:
      return "not found";
    case grBmpError::notRegularFile:
      return "not a regular file";
    case grBmpError::unreadable:
      return "cannot be read";
    case grBmpError::tooShort:
      return "too short for its headers";
    case grBmpError::tooLarge:
      return "larger than 4 GiB";
    case grBmpError::notRead:
      return "no file was read";
    case grBmpError::badHeaderSize:
      return "unsupported header size " + n;
    case grBmpError::badDimensions:
      return "bad dimensions";
    case grBmpError::unsupportedCompression:
      return "unsupported compression " + n;
    case grBmpError::unsupportedBitCount:
      return "unsupported bit count " + n;
    case grBmpError::embeddedJpeg:
      return "embedded JPEG is not supported";
    case grBmpError::embeddedPng:
      return "embedded PNG is not supported";
    case grBmpError::badMasks:
      return "bad colour masks";
    case grBmpError::canvasTooLarge:
      return "canvas too large";
    case grBmpError::truncatedPixels:
      return "truncated pixel data";
    case grBmpError::rlePastCanvas:
      return "RLE data runs past the canvas";
    case grBmpError::rleTopDown:
      return "top-down RLE is not allowed";
    case grBmpError::unknownHeaderSize:
      return "its header size " + n + " is not a known BMP header";
    case grBmpError::badPlanes:
      return "its planes field is " + n + ", not 1";
    case grBmpError::fileSizeMismatch:
      return "its file header declares " + n + " bytes, more than the file holds";
    case grBmpError::imageSizeMismatch:
      return "its header declares " + n + " bytes of pixels, more than the file holds";
    case grBmpError::implausibleResolution:
      return "its resolution field of " + std::to_string(int32_t(p.detail)) +
             " pixels per metre is implausible";
    case grBmpError::paletteSizeField:
      return "its palette size field " + n + " is more than its pixels can index";
    case grBmpError::indexPastPalette:
      return "pixels index past its " + n + "-entry palette (shown black)";
  }
  return "unknown problem";
}

}  // namespace libgr
