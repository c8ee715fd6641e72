#include "script/vbs/ElementStorage.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace quillon::vbs {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

size_t roundedToHugePages(size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocateElements(size_t bytes)
{
    if (bytes < kLargeBlock)
        return ::operator new(bytes);
    const size_t size = roundedToHugePages(bytes);
    void* block = std::aligned_alloc(kHugePage, size);
    if (!block)
        throw std::bad_alloc();
    // Only advice: without huge pages the block works the same, more slowly.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void freeElements(void* block, size_t bytes) noexcept
{
    if (bytes < kLargeBlock)
        ::operator delete(block);
    else
        std::free(block);
}

}  // namespace quillon::vbs
