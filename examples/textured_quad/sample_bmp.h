#pragma once
// A sample picture for the example when none is given: a 24-bit BMP of warm
// checker tiles with a blue "up" bar along the top, so a flipped upload shows.
#include <string>

// Writes the picture to `path`; false when the file cannot be written.
bool writeSampleBmp(const std::string& path);
