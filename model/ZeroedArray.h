#pragma once

#include "Platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

// From this size on, an array takes whole large pages (Platform::AllocateLarge).
inline constexpr size_t LargeArrayBytes = size_t(1) << 20;

// An array of zero bytes: fresh zero pages from the system, so allocating a
// full-size grid costs nothing until its cells are written, and the image
// load writes each cell only once (a large array in whole large pages where
// the system gives them: Platform::AllocateLarge; a small one from calloc).
// T must be a type whose objects may live in zeroed memory (a plain struct of
// numbers, whose all-zero value is its default).
template <class T>
class TZeroedArray
{
public:
    TZeroedArray() = default;
    ~TZeroedArray() { Clear(); }
    TZeroedArray(const TZeroedArray &) = delete;
    TZeroedArray &operator=(const TZeroedArray &) = delete;
    TZeroedArray(TZeroedArray &&Other) noexcept { Swap(Other); }
    TZeroedArray &operator=(TZeroedArray &&Other) noexcept
    {
        TZeroedArray old(std::move(Other));
        Swap(old);
        return *this;
    }

    // Count zeroed elements in place of the old ones; throws std::bad_alloc.
    void Reset(size_t Count)
    {
        Clear();
        if (Count == 0)
            return;
        if (Count > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        Data = static_cast<T *>(IsLarge(Count) ? Platform::AllocateLarge(Count * sizeof(T))
                                               : std::calloc(Count, sizeof(T)));
        if (!Data)
            throw std::bad_alloc();
        Size = Count;
    }
    // Gives the memory back.
    void Clear()
    {
        if (IsLarge(Size))
            Platform::FreeLarge(Data, Size * sizeof(T));
        else
            std::free(Data);
        Data = nullptr;
        Size = 0;
    }

    void Swap(TZeroedArray &Other) noexcept
    {
        std::swap(Data, Other.Data);
        std::swap(Size, Other.Size);
    }

    T *data() { return Data; }
    const T *data() const { return Data; }
    size_t size() const { return Size; }
    T &operator[](size_t I) { return Data[I]; }
    const T &operator[](size_t I) const { return Data[I]; }

private:
    static bool IsLarge(size_t Count) { return Count * sizeof(T) >= LargeArrayBytes; }
    T *Data = nullptr;
    size_t Size = 0;
};
