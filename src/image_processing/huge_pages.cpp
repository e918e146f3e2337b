#include "image_processing/huge_pages.h"

#include <sys/mman.h>

namespace vistrel {

uint8_t* AllocateOnHugePages(size_t size) {
    size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = nullptr;
    if (posix_memalign(&memory, kHugePage, rounded) != 0) return nullptr;
    ::madvise(memory, rounded, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(memory);
}

} // namespace vistrel
