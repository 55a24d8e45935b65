#pragma once
// HEVC pictures inside HEIF files decoded by libavcodec rather than
// libde265, libheif's own choice. On the 512 x 512 tiles phones write,
// libavcodec's decoder takes under half of libde265's CPU time, and it
// reports damaged streams through its logger (kept quiet) where libde265
// prints to stderr itself. libheif still reads the container, puts grids
// together, applies crop, turns and mirrors, and converts to RGB.

struct heif_context;

namespace libgr {

// Makes `context` decode its HEVC pictures with libavcodec, ahead of
// libde265; other contexts of the process keep libheif's choice. The first
// call loads libavcodec (and keeps its logger quiet: it writes complaints
// about damaged streams to stderr, and the reader says what is wrong with a
// file once, in its own words). False when libavcodec cannot be loaded or
// libheif refuses the decoder: libde265 then decodes.
bool useHevcDecoder(heif_context* context);

}  // namespace libgr
