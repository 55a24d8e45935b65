// GIF decoding with giflib, its file handle held by an owner and fed from
// memory.
#include "photo/gif_reader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace libgr {

namespace {

struct GifRelease {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifRelease>;

// LZW makes at most about 2730 pixels of a byte (a 12-bit code for a
// string of 4096); a screen declaring more than this many pixels for each
// byte of the file is not a picture but a decompression bomb.
constexpr uint64_t kPixelsPerByte = 4096;

// The bytes giflib reads, through its read callback.
struct Source {
  const unsigned char* data;
  std::size_t size;
  std::size_t at = 0;
};

int readBytes(GifFileType* gif, GifByteType* into, int wanted) {
  auto* source = static_cast<Source*>(gif->UserData);
  const std::size_t n = std::min(source->size - source->at, std::size_t(std::max(wanted, 0)));
  std::memcpy(into, source->data + source->at, n);
  source->at += n;
  return int(n);
}

bool endsEarly(int error) {
  return error == D_GIF_ERR_READ_FAILED || error == D_GIF_ERR_EOF_TOO_SOON;
}

std::string reasonOf(int error) {
  if (endsEarly(error)) return "the file ends early";
  if (error == D_GIF_ERR_NOT_ENOUGH_MEM) return "picture too large to decode";
  // Our own words for the rest, never the library's.
  return "damaged GIF data";
}

// What the first picture's graphics-control block and descriptor say.
struct Frame {
  int transparent = NO_TRANSPARENT_COLOR;
  GifImageDesc desc{};
};

// Reads records up to the first picture's descriptor; its graphics-control
// block, if any, is the last one before it.
bool findFirstFrame(GifFileType* gif, Frame& frame, std::string& problem) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      problem = reasonOf(gif->Error);
      return false;
    }
    if (type == TERMINATE_RECORD_TYPE) {
      problem = "it holds no picture to show";
      return false;
    }
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) == GIF_ERROR) {
        problem = reasonOf(gif->Error);
        return false;
      }
      frame.desc = gif->Image;
      return true;
    }
    if (type != EXTENSION_RECORD_TYPE) continue;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
      problem = reasonOf(gif->Error);
      return false;
    }
    GraphicsControlBlock control{};
    if (code == GRAPHICS_EXT_FUNC_CODE && block &&
        DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
      frame.transparent = control.TransparentColor;
    while (block) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
        problem = reasonOf(gif->Error);
        return false;
      }
    }
  }
}

// The frame's rows in the order the file holds them: top to bottom, or
// the four passes of an interlaced picture.
std::vector<uint32_t> rowOrder(uint32_t height, bool interlaced) {
  std::vector<uint32_t> rows;
  rows.reserve(height);
  if (!interlaced) {
    for (uint32_t y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  const uint32_t start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (uint32_t y = start[pass]; y < height; y += step[pass]) rows.push_back(y);
  return rows;
}

}  // namespace

bool decodeGif(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem) {
  Source source{bytes.data, bytes.size};
  int error = 0;
  const GifHandle gif(DGifOpen(&source, readBytes, &error));
  if (!gif) {
    problem = reasonOf(error);
    return false;
  }
  const uint32_t width = uint32_t(std::max(gif->SWidth, 0));
  const uint32_t height = uint32_t(std::max(gif->SHeight, 0));
  if (width == 0 || height == 0) {
    problem = "damaged GIF data";
    return false;
  }
  const uint64_t screenPixels = uint64_t(width) * height;
  if (screenPixels > request.maxPixels) {
    problem = tooManyPixels(width, height, request.maxPixels);
    return false;
  }
  if (screenPixels > kPixelsPerByte * uint64_t(bytes.size)) {
    problem = "declares a larger picture than its bytes can hold";
    return false;
  }

  Frame frame;
  if (!findFirstFrame(gif.get(), frame, problem)) return false;
  const GifImageDesc& d = frame.desc;
  if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 ||
      uint64_t(d.Left) + uint64_t(d.Width) > width ||
      uint64_t(d.Top) + uint64_t(d.Height) > height) {
    problem = "damaged GIF data: its picture lies outside its screen";
    return false;
  }
  const ColorMapObject* colours = d.ColorMap ? d.ColorMap : gif->SColorMap;
  if (!colours || !colours->Colors || colours->ColorCount <= 0) {
    problem = "damaged GIF data: it has no colour table";
    return false;
  }

  const bool covers =
      d.Left == 0 && d.Top == 0 && uint32_t(d.Width) == width && uint32_t(d.Height) == height;
  const bool alpha = !covers || (frame.transparent >= 0 && frame.transparent < colours->ColorCount);
  const uint32_t components = alpha ? 4 : 3;
  const uint64_t rowBytes = uint64_t(width) * components;
  refvector2<unsigned char> pixels;
  if (!allocateDecodeBlock(pixels, rowBytes * height, {width, height}, request)) {
    problem = "picture too large to decode";
    return false;
  }
  // The screen outside the frame, and rows a cut file does not reach, stay
  // transparent black.
  std::memset(pixels.begin(), 0, std::size_t(rowBytes * height));

  std::vector<GifPixelType> line(std::size_t(d.Width));
  bool pastTable = false;
  uint32_t rowsDone = 0;
  for (const uint32_t y : rowOrder(uint32_t(d.Height), d.Interlace)) {
    if (DGifGetLine(gif.get(), line.data(), d.Width) == GIF_ERROR) {
      error = gif->Error;
      break;
    }
    ++rowsDone;
    const uint32_t screenRow = uint32_t(d.Top) + y;
    unsigned char* to =
        pixels.begin() + (height - 1 - screenRow) * rowBytes + uint64_t(d.Left) * components;
    for (int x = 0; x < d.Width; ++x, to += components) {
      const int index = line[std::size_t(x)];
      const bool inTable = index < colours->ColorCount;
      pastTable = pastTable || !inTable;
      const GifColorType colour = inTable ? colours->Colors[index] : GifColorType{0, 0, 0};
      to[0] = colour.Red;
      to[1] = colour.Green;
      to[2] = colour.Blue;
      if (alpha) to[3] = index == frame.transparent ? 0 : 255;
    }
  }
  if (rowsDone < uint32_t(d.Height)) {
    // Damaged data stops the picture as surely as a cut: show what came.
    if (rowsDone == 0) {
      problem = reasonOf(error);
      return false;
    }
    out.flaw = endsEarly(error) ? "the file ends early" : "its GIF data is damaged part way";
  }
  if (pastTable)
    out.flaw += std::string(out.flaw.empty() ? "" : "; ") + "pixels index past its colour table";

  out.storedSize = {width, height};
  describeDecoded(out.image, pixels, width, height, alpha ? grLayoutRGBA : grLayoutRGB);
  return true;
}

}  // namespace libgr
