#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A plain PNG reader for the tests, written from the format's description
// and sharing no code with the program's writer: the signature, every chunk's
// CRC, IHDR first and IEND last, the IDAT data inflated by zlib and the five
// row filters undone. Reads 8-bit grey, RGB, palette, grey with alpha and
// RGBA pictures without interlacing; throws std::runtime_error on anything
// else or anything damaged.
namespace PlainPng {

struct TPicture
{
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels; // 0xAARRGGBB, row after row from the top
    uint32_t Pixel(int X, int Y) const { return Pixels[size_t(Y) * size_t(Width) + size_t(X)]; }
};

// The chunk types of the file in order ("IHDR", "IDAT", ..., "IEND").
std::vector<std::string> ChunkTypes(const std::vector<uint8_t> &File);
TPicture Decode(const std::vector<uint8_t> &File);
TPicture Read(const std::string &Path);

} // namespace PlainPng
