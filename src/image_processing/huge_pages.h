#pragma once
// Large working buffers backed by 2 MB pages where the system allows it (transparent huge pages
// in "madvise" mode, Debian's default). A first write to each 4 KB page costs a page fault, about
// 12 microseconds on a virtual machine; a buffer of a few megabytes written once by the decoder
// would otherwise spend milliseconds in them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace vistrel {

inline constexpr size_t kHugePage = size_t(2) << 20;

// `size` bytes, not initialised, aligned to 2 MB and advised for huge pages; null when memory
// runs out. Free with std::free.
uint8_t* AllocateOnHugePages(size_t size);

struct HugePageFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using HugePageBuffer = std::unique_ptr<uint8_t[], HugePageFree>;

} // namespace vistrel
