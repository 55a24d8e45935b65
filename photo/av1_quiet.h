#pragma once
// Keeps the AV1 decoder quiet. libheif 1.15 opens dav1d with its default
// settings, whose logger writes dav1d's own complaints about damaged AV1
// data ("Unknown OBU type ...") to stderr; the program says what is wrong
// with a file in its own words, once. av1_quiet.cpp defines dav1d_open,
// which the dynamic linker prefers to dav1d's for libheif's calls: it opens
// the decoder through dav1d's own function with the logger taken away, and
// with a frame size limit of the program's 100 megapixels.

namespace libgr {

// Links the quiet dav1d_open into the program (the HEIF reader calls it
// once; it does nothing else).
void keepAv1DecoderQuiet();

}  // namespace libgr
