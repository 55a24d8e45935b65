#pragma once
// Advice to the kernel about a large block that is about to be filled: back
// it with huge pages where the system offers them on request. A fresh
// picture-sized buffer otherwise costs one page fault per 4 KiB on its first
// write, which for camera photographs is a good part of their decoding time.
// Only advice: nothing changes where the system has no such pages.
#include <cstddef>

namespace libutils {

// For the whole 2 MiB pages inside [block, block + bytes); blocks under a
// few MiB are left alone.
void adviseHugePages(void* block, std::size_t bytes);

}  // namespace libutils
