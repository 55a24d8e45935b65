#pragma once
// Fields of a file's bytes, wherever they stand (no alignment assumed):
// 16- and 32-bit unsigned values stored little-endian (BMP, TIFF "II") or
// big-endian (JPEG markers, PNG chunks, ICC profiles, ISO media boxes). The
// caller has checked that the bytes are there.
#include <cstdint>

namespace libutils {

inline uint32_t le16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }
inline uint32_t be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | uint32_t(p[1]); }
inline uint32_t be32(const unsigned char* p) { return be16(p) << 16 | be16(p + 2); }

}  // namespace libutils
