// Monotonic millisecond clock on POSIX CLOCK_MONOTONIC.
#include "utilities/clock.h"

#include <time.h>

namespace libutils {

uint32_t monotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // keeps the low 32 bits: wraps like a 32-bit tick count
}

}  // namespace libutils
