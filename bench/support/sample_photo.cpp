// Writing the benchmark photograph.
#include "bench/support/sample_photo.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace benchsupport {
namespace {

void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

bool writeSamplePhoto(const std::string& path, int side) {
  const uint32_t rowBytes = (uint32_t(side) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * uint32_t(side);
  std::vector<uint8_t> out;
  out.reserve(54 + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  putLittleEndian(out, 54 + pixelBytes, 4);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, 54, 4);
  putLittleEndian(out, 40, 4);
  putLittleEndian(out, uint32_t(side), 4);
  putLittleEndian(out, uint32_t(side), 4);
  putLittleEndian(out, 1, 2);
  putLittleEndian(out, 24, 2);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, pixelBytes, 4);
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, 0, 4);
  uint32_t noise = 12345;
  for (int row = 0; row < side; ++row) {
    for (int x = 0; x < side * 3; ++x) {
      noise = noise * 1664525u + 1013904223u;
      out.push_back(uint8_t(noise >> 24));
    }
    for (uint32_t pad = uint32_t(side) * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  return bool(file);
}

std::string temporaryPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name;
}

}  // namespace benchsupport
