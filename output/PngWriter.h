#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Writes a picture as a PNG file: 8-bit RGB (or 8-bit grey), not interlaced, every row with
// the filter "Up" (the difference to the row above, which the preview's large
// areas of one colour turn into zeros), deflated by zlib at a fast level. The
// same picture gives the same bytes with the same zlib.
//
// FillRow(Y, Rgb) puts row Y (from the top) as Width red, green, blue byte
// triples into Rgb; Out takes the file's bytes in order, in pieces of at most
// a few hundred kilobytes. A failure of Out (an exception) ends the writing.
using TPngRowSource = std::function<void(int Y, uint8_t *Rgb)>;
using TPngByteSink = std::function<void(const uint8_t *Data, size_t Bytes)>;
void WriteRgbPng(int Width, int Height, const TPngRowSource &FillRow, const TPngByteSink &Out);
// The same as an 8-bit grey picture (colour type 0): FillRow(Y, Grey) puts
// Width grey bytes.
void WriteGreyPng(int Width, int Height, const TPngRowSource &FillRow, const TPngByteSink &Out);
