#pragma once
// HEVC pictures inside HEIF files decoded by libavcodec rather than
// libde265, libheif's own choice. On the 512 x 512 tiles phones write,
// libavcodec's decoder takes under half of libde265's CPU time, and it
// reports damaged streams through its logger (kept quiet) where libde265
// prints to stderr itself. libheif still reads the container, puts grids
// together, applies crop, turns and mirrors, and converts to RGB.

namespace libgr {

// Registers the decoder with libheif, ahead of libde265, for every HEVC
// picture the process decodes through libheif, and silences libavcodec's
// logger. Once, after heif_init and before the reading threads start.
void registerHevcDecoder();

}  // namespace libgr
