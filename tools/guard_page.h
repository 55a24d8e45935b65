#pragma once
// Heap blocks that end right at an unreadable page: a read past the end of
// such a block faults at once, even from code no sanitizer instruments (Mesa,
// GLU). The fuzzer and the over-read tests route chosen allocations here from
// their replacement operator new.
#include <cstddef>

namespace guard_page {

// A block of `bytes` bytes whose last byte is the last readable byte before
// a PROT_NONE page. Throws std::bad_alloc when the pages cannot be mapped;
// at most 64 blocks may be alive at once.
void* allocate(std::size_t bytes);
// Unmaps a block from allocate(); false (and nothing done) for any other
// pointer, so callers can fall back to free().
bool release(void* block);

}  // namespace guard_page
