#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A reader of the PNG pictures the command line writes, written from the
// format's description and apart from the writer: 8-bit RGB or RGBA, not
// interlaced, every chunk's CRC checked. Anything else throws
// std::runtime_error naming the file.
namespace PlainPng {

struct TPicture
{
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels; // 0xRRGGBB, row after row from the top

    uint32_t At(int X, int Y) const { return Pixels[size_t(Y) * size_t(Width) + size_t(X)]; }
    bool operator==(const TPicture &) const = default;
};

TPicture Read(const std::string &Path);

} // namespace PlainPng
