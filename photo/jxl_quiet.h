#pragma once
// Keeps the JPEG XL decoder quiet. Debian's libjxl 0.7 is built to print a
// line for every failure it meets in a damaged file ("JXL_FAILURE: ...")
// to stderr, through glibc's __vfprintf_chk, with no setting to stop it;
// the program says what is wrong with a file in its own words, once.
// jxl_quiet.cpp defines __vfprintf_chk, which the dynamic linker prefers to
// glibc's: it drops what libjxl writes to stderr and hands every other call
// on to glibc's unchanged.

namespace libgr {

// Finds libjxl in the process and links the quiet __vfprintf_chk into the
// program. Once, before the reading threads start.
void keepJxlDecoderQuiet();

}  // namespace libgr
