// Writing the benchmark photograph.
#include "bench/support/sample_photo.h"

#include <cstdint>
#include <cstdlib>

#include "tools/bmp_writer.h"

namespace benchsupport {

bool writeSamplePhoto(const std::string& path, int side) {
  bmpwriter::BmpLayout layout;
  layout.width = side;
  layout.height = side;
  const size_t rowBytes = (size_t(side) * 3 + 3) & ~size_t(3);
  layout.pixels.reserve(rowBytes * size_t(side));
  uint32_t noise = 12345;
  for (int row = 0; row < side; ++row) {
    for (int x = 0; x < side * 3; ++x) {
      noise = noise * 1664525u + 1013904223u;
      layout.pixels.push_back(uint8_t(noise >> 24));
    }
    layout.pixels.resize(rowBytes * size_t(row + 1), 0);
  }
  return bmpwriter::writeFile(path, bmpwriter::encodeBmp(layout));
}

std::string temporaryPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
}

}  // namespace benchsupport
