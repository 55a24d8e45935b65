#pragma once
// A headless Mesa compatibility-profile context (EGL, surfaceless platform)
// for fuzz targets, which run outside the test framework.
#include <string>

namespace fuzzsupport {

// Creates the process's context on first call and makes it current; false,
// with the reason in *why, when no context can be had.
bool makeHeadlessContextCurrent(std::string* why = nullptr);

}  // namespace fuzzsupport
