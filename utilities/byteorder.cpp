// Big-endian conversions on the platform's network-order functions, and the
// unconditional 64-bit reversal.
#include "utilities/byteorder.h"

#include <arpa/inet.h>

namespace libutils {

byteorder::~byteorder() {}

uint16_t motorola_byteorder::host16(uint16_t value) { return ntohs(value); }

uint32_t motorola_byteorder::host32(uint32_t value) { return ntohl(value); }

namespace {
uint32_t reverse32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}
}  // namespace

uint64_t motorola_byteorder::host64(uint64_t value) {
  const uint32_t lo = uint32_t(value);
  const uint32_t hi = uint32_t(value >> 32);
  return (uint64_t(reverse32(lo)) << 32) | reverse32(hi);
}

}  // namespace libutils
