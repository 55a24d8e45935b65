#pragma once
// Byte orders: little-endian (intel_byteorder) and big-endian
// (motorola_byteorder) conversions of 16-, 32- and 64-bit values to and from
// host order. A swap is its own inverse, so one operation serves both ways.
// This build targets little-endian hosts: the intel conversions are identity.
#include <cstdint>

namespace libutils {

class byteorder {
 public:
  virtual uint16_t convert16(uint16_t value) const = 0;
  virtual uint32_t convert32(uint32_t value) const = 0;
  virtual uint64_t convert64(uint64_t value) const = 0;
  virtual ~byteorder() = 0;
};

class intel_byteorder : public byteorder {
 public:
  static uint16_t host16(uint16_t value) { return value; }
  static uint32_t host32(uint32_t value) { return value; }
  static uint64_t host64(uint64_t value) { return value; }

  uint16_t convert16(uint16_t value) const override { return host16(value); }
  uint32_t convert32(uint32_t value) const override { return host32(value); }
  uint64_t convert64(uint64_t value) const override { return host64(value); }
};

class motorola_byteorder : public byteorder {
 public:
  static uint16_t host16(uint16_t value);
  static uint32_t host32(uint32_t value);
  // Full eight-byte reversal on any host.
  static uint64_t host64(uint64_t value);

  uint16_t convert16(uint16_t value) const override { return host16(value); }
  uint32_t convert32(uint32_t value) const override { return host32(value); }
  uint64_t convert64(uint64_t value) const override { return host64(value); }
};

}  // namespace libutils
