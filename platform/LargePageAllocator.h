#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace TextSql {

// Column images of large logs run to hundreds of megabytes, filled once from front to back. With 4 KiB pages the
// first touch of each page costs a fault, and on a virtual machine faults take a third of a cold read; blocks of
// 2 MiB and more are therefore asked for in transparent huge pages. Smaller blocks come from the heap as usual.
template <typename T> class LargePageAllocator {
public:
    using value_type = T;
    static constexpr std::size_t HugePage = std::size_t(2) << 20;

    LargePageAllocator() = default;
    template <typename U> LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HugePage)
            return static_cast<T*>(::operator new(bytes));
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        void* block = std::aligned_alloc(HugePage, rounded);
        if (!block)
            throw std::bad_alloc();
        ::madvise(block, rounded, MADV_HUGEPAGE); // advice only: without it the block still works
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t n) noexcept
    {
        if (n * sizeof(T) < HugePage)
            ::operator delete(block);
        else
            std::free(block);
    }
    template <typename U> bool operator==(const LargePageAllocator<U>&) const noexcept { return true; }
};

} // namespace TextSql
