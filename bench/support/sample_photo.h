#pragma once
// A photograph-sized 24-bit BMP file for the loading benchmarks: bottom-up,
// rows padded to 4 bytes, pixels of varied values (no run that a smart
// reader could skip).
#include <string>

namespace benchsupport {

// Writes a side x side 24-bit BMP to `path`; false when it cannot be written.
bool writeSamplePhoto(const std::string& path, int side);

// A path in the temporary directory for a benchmark's file.
std::string temporaryPath(const char* name);

}  // namespace benchsupport
