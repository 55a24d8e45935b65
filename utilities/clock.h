#pragma once
// The millisecond clock the scene runs on: a 32-bit count of milliseconds
// from an arbitrary origin, wrapping about every 49.7 days. Callers only ever
// subtract two readings, which stays correct across the wrap.
#include <cstdint>

namespace libutils {

// Milliseconds on the monotonic clock, truncated to 32 bits. Never goes
// backwards except by wrapping from 0xFFFFFFFF to 0.
uint32_t monotonicMilliseconds();

// Milliseconds from `earlier` to `later`, both clock readings; modular, so a
// wrap of the clock between the two readings does not matter.
constexpr uint32_t millisecondsBetween(uint32_t earlier, uint32_t later) { return later - earlier; }

}  // namespace libutils
