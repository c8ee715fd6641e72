// Memory for the elements of script arrays.
//
// A large array is a large block touched element by element: ReDim a(999999)
// is 32 MB, which in 4 KB pages is eight thousand page faults, and on a
// virtual machine those faults cost more than the script's own work. Blocks
// of kLargeBlock bytes and more are therefore aligned to 2 MB and offered to
// the kernel for transparent huge pages; smaller ones come from operator new.
#pragma once

#include <cstddef>

namespace quillon::vbs {

inline constexpr size_t kLargeBlock = size_t(4) << 20;

// A block of at least `bytes`; std::bad_alloc when there is none.
void* allocateElements(size_t bytes);
// Frees a block from allocateElements of the same size.
void freeElements(void* block, size_t bytes) noexcept;

template <typename T>
struct ElementAllocator {
    using value_type = T;

    ElementAllocator() = default;
    template <typename U>
    ElementAllocator(const ElementAllocator<U>&) noexcept
    {
    }

    T* allocate(size_t n) { return static_cast<T*>(allocateElements(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { freeElements(p, n * sizeof(T)); }

    template <typename U>
    bool operator==(const ElementAllocator<U>&) const noexcept
    {
        return true;
    }
};

}  // namespace quillon::vbs
