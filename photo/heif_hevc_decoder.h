#pragma once
// HEVC pictures inside HEIF files decoded by libavcodec rather than
// libde265, libheif's own choice. On the 512 x 512 tiles phones write,
// libavcodec's decoder takes under half of libde265's CPU time, and it
// reports damaged streams through its logger (kept quiet) where libde265
// prints to stderr itself. libheif still reads the container, puts grids
// together, applies crop, turns and mirrors, and converts to RGB.

struct heif_context;

namespace libgr {

// Keeps libavcodec's logger quiet: it writes its complaints about damaged
// streams to stderr, and the reader says what is wrong with a file once,
// in its own words. Once, before the reading threads start.
void quietHevcDecoder();

// Makes `context` decode its HEVC pictures with libavcodec, ahead of
// libde265; other contexts of the process keep libheif's choice. False
// when libheif refuses the decoder (libde265 then decodes).
bool useHevcDecoder(heif_context* context);

}  // namespace libgr
