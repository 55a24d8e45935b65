// Decoding the BMP variants that need work, per pixel of a 640 x 480 picture
// from a warm page cache: an RLE8 file and a 32-bit bit-field file (V5
// header, alpha mask, as ImageMagick writes pictures with alpha), each as
// grBmpFile::read alone (the whole-file read: the plain read of the same
// file), read + bmpToImage (the decode), and stb_image where it reads the
// variant (it has no RLE). Beside them the two paths that must stay free of
// copies, 24-bit and uncompressed 8-bit: their image shares the file's buffer
// (same bytes), and bmpToImage's allocations are counted (0 for 24 bits; the
// three colour maps for 8 bits).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/sample_photo.h"
#include "bench/support/stb_reference.h"
#include "graphics/bmp.h"
#include "tools/allocation_counter.h"
#include "tools/bmp_writer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr double kPixels = double(kWidth) * kHeight;

// A photograph-like index picture: runs of 8 to 24 pixels, a few isolated
// pixels (RLE's absolute mode), bands that shift from row to row.
uint8_t indexAt(int x, int y) {
  if ((x * 31 + y * 17) % 97 < 3) return uint8_t(x * 7 + y);
  return uint8_t(x / (8 + (y % 5) * 4) + y / 16);
}

std::vector<bmpwriter::PaletteEntry> greyRamp() {
  std::vector<bmpwriter::PaletteEntry> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  return palette;
}

// One row as RLE8: runs of two or more as (count, index), other stretches of
// three or more in absolute mode (padded to 16 bits), end of line.
void encodeRowRle8(const std::vector<uint8_t>& row, bmpwriter::Bytes& out) {
  size_t x = 0;
  while (x < row.size()) {
    size_t run = 1;
    while (x + run < row.size() && run < 255 && row[x + run] == row[x]) ++run;
    if (run >= 2) {
      out.insert(out.end(), {uint8_t(run), row[x]});
      x += run;
      continue;
    }
    size_t literal = 1;  // up to the next run of two
    while (x + literal < row.size() && literal < 255 &&
           !(x + literal + 1 < row.size() && row[x + literal] == row[x + literal + 1]))
      ++literal;
    if (literal < 3) {
      for (size_t i = 0; i < literal; ++i) out.insert(out.end(), {1, row[x + i]});
    } else {
      out.insert(out.end(), {0, uint8_t(literal)});
      out.insert(out.end(), row.begin() + long(x), row.begin() + long(x + literal));
      if (literal % 2) out.push_back(0);
    }
    x += literal;
  }
  out.insert(out.end(), {0, 0});
}

// The picture's canvas at `bits` per pixel, with the grey ramp as palette
// for 8 bits; each variant adds its pixels.
bmpwriter::BmpLayout canvas(int bits) {
  bmpwriter::BmpLayout layout;
  layout.width = kWidth;
  layout.height = kHeight;
  layout.bitCount = uint16_t(bits);
  if (bits == 8) {
    layout.colorsUsed = 256;
    layout.palette = greyRamp();
  }
  return layout;
}

bmpwriter::BmpLayout rle8Layout() {
  bmpwriter::BmpLayout layout = canvas(8);
  layout.compression = 1;
  for (int row = kHeight - 1; row >= 0; --row) {  // bottom row first
    std::vector<uint8_t> indices(kWidth);
    for (int x = 0; x < kWidth; ++x) indices[size_t(x)] = indexAt(x, row);
    encodeRowRle8(indices, layout.pixels);
  }
  layout.pixels.insert(layout.pixels.end(), {0, 1});
  return layout;
}

bmpwriter::BmpLayout pal8Layout() {
  bmpwriter::BmpLayout layout = canvas(8);
  for (int row = kHeight - 1; row >= 0; --row)
    for (int x = 0; x < kWidth; ++x) layout.pixels.push_back(indexAt(x, row));
  return layout;
}

bmpwriter::BmpLayout trueColourLayout(int bits) {
  bmpwriter::BmpLayout layout = canvas(bits);
  if (bits == 32) {
    layout.infoSize = 124;
    layout.compression = 3;
    layout.masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
  }
  for (int row = kHeight - 1; row >= 0; --row)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t i = indexAt(x, row);
      layout.pixels.insert(layout.pixels.end(), {i, uint8_t(255 - i), uint8_t(i / 2)});
      if (bits == 32) layout.pixels.push_back(uint8_t(255 - (x & 1)));
    }
  return layout;  // 640 pixels of 3 or 4 bytes: rows need no padding
}

// The file of one variant, written into the temporary directory.
std::string fileOf(const std::string& name, const bmpwriter::BmpLayout& layout) {
  const std::string path = benchsupport::temporaryPath(("brelvane_bench_" + name + ".bmp").c_str());
  if (!bmpwriter::writeFile(path, bmpwriter::encodeBmp(layout))) std::perror(path.c_str());
  return path;
}

const char* rle8File() {
  static const std::string path = fileOf("rle8", rle8Layout());
  return path.c_str();
}
const char* bitfields32File() {
  static const std::string path = fileOf("bitfields32", trueColourLayout(32));
  return path.c_str();
}
const char* rgb24File() {
  static const std::string path = fileOf("rgb24", trueColourLayout(24));
  return path.c_str();
}
const char* pal8File() {
  static const std::string path = fileOf("pal8", pal8Layout());
  return path.c_str();
}

void perPixel(benchmark::State& state) {
  state.counters["per_pixel"] = benchmark::Counter(
      kPixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Reads the file every iteration and hands it to `use`, which keeps what it
// made from being optimised away; false from `use` ends the run as failed.
template <typename Use>
void readEach(benchmark::State& state, const char* (*file)(), Use use) {
  const char* path = file();
  for (auto _ : state) {
    libgr::grBmpFile bmp;
    if (!bmp.read(path) || !use(bmp)) {
      state.SkipWithError(libgr::bmpProblemText(bmp.problem).c_str());
      break;
    }
  }
  perPixel(state);
}

void fileRead(benchmark::State& state, const char* (*file)()) {
  readEach(state, file, [](libgr::grBmpFile& bmp) {
    benchmark::DoNotOptimize(bmp.bits.begin());
    return true;
  });
}

void readAndDecode(benchmark::State& state, const char* (*file)()) {
  readEach(state, file, [](libgr::grBmpFile& bmp) {
    libgr::grImage2D image;
    if (!libgr::bmpToImage(image, bmp)) return false;
    benchmark::DoNotOptimize(image.pixels.begin());
    return true;
  });
}

void stbImage(benchmark::State& state, const char* (*file)()) {
  const char* path = file();
  for (auto _ : state) {
    if (!benchsupport::loadWithStbImage(path)) {
      state.SkipWithError("stb_image failed");
      break;
    }
  }
  perPixel(state);
}

// The paths that must not copy: the image's pixels are the file's bits (same
// address), and bmpToImage's own allocations are counted.
void zeroCopy(benchmark::State& state, const char* (*file)()) {
  const char* path = file();
  long allocations = 0;
  for (auto _ : state) {
    libgr::grBmpFile bmp;
    libgr::grImage2D image;
    bool described = bmp.read(path);
    allocation_counter::start();
    described = described && libgr::bmpToImage(image, bmp);
    allocations = allocation_counter::stop();
    if (!described) {
      state.SkipWithError(libgr::bmpProblemText(bmp.problem).c_str());
      break;
    }
    if (image.pixels.begin() != bmp.bits.begin()) {
      state.SkipWithError("pixels were copied");
      break;
    }
    benchmark::DoNotOptimize(image.pixels.begin());
  }
  state.counters["describe_allocations"] = double(allocations);
  perPixel(state);
}

BENCHMARK_CAPTURE(fileRead, rle8, rle8File);
BENCHMARK_CAPTURE(readAndDecode, rle8, rle8File);
BENCHMARK_CAPTURE(fileRead, bitfields32, bitfields32File);
BENCHMARK_CAPTURE(readAndDecode, bitfields32, bitfields32File);
BENCHMARK_CAPTURE(stbImage, bitfields32, bitfields32File);
BENCHMARK_CAPTURE(zeroCopy, rgb24, rgb24File);
BENCHMARK_CAPTURE(zeroCopy, pal8, pal8File);
BENCHMARK_CAPTURE(stbImage, rgb24, rgb24File);
BENCHMARK_CAPTURE(stbImage, pal8, pal8File);

}  // namespace
