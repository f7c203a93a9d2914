#pragma once

#include "Platform.h"

#include <vector>

// Resizes an empty vector to Count value-initialised elements, its storage
// taken first and asked for in large pages before anything is written to it
// (see Platform::PreferLargePages): for the vectors of a cell each, whose
// first writing is otherwise one page fault per 4 KB.
template <class T> void ResizeLarge(std::vector<T> &Vector, size_t Count)
{
    Vector.reserve(Count);
    if (Vector.empty())
        Platform::PreferLargePages(Vector.data(), Count * sizeof(T));
    Vector.resize(Count);
}
