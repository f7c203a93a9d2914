#pragma once

#include "ZeroedArray.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

// The allocator of the vectors of a cell each (the map read back, the
// terrains found in it): from 1 MB on, whole large pages where the system
// gives them (Platform::AllocateLarge), so that their first writing takes no
// page fault per 4 KB; smaller ones as usual.
template <class T> struct TLargeAllocator
{
    using value_type = T;
    TLargeAllocator() = default;
    template <class U> TLargeAllocator(const TLargeAllocator<U> &) noexcept {}

    T *allocate(size_t Count)
    {
        if (Count > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        if (!IsLarge(Count))
            return std::allocator<T>().allocate(Count);
        if (void *data = Platform::AllocateLarge(Count * sizeof(T)))
            return static_cast<T *>(data);
        throw std::bad_alloc();
    }
    void deallocate(T *Data, size_t Count) noexcept
    {
        if (IsLarge(Count))
            Platform::FreeLarge(Data, Count * sizeof(T));
        else
            std::allocator<T>().deallocate(Data, Count);
    }
    friend bool operator==(const TLargeAllocator &, const TLargeAllocator &) { return true; }

private:
    static bool IsLarge(size_t Count) { return Count * sizeof(T) >= LargeArrayBytes; }
};

template <class T> using TLargeVector = std::vector<T, TLargeAllocator<T>>;
