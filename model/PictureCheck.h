#pragma once

#include <cstdint>
#include <span>
#include <string>

// Checks of a picture file's bytes before it is decoded: the headers must agree
// with each other and with the data, so that the decoder never fills in what
// the file does not say. Each returns what is wrong, in words for the map
// maker, or an empty string for a sound file.

// A Windows BMP ("BM" ...): header versions of 12, 40, 108 and 124 bytes,
// 1, 4, 8, 16, 24 and 32 bits per pixel, plain, run-length or bit-field data.
std::string BmpProblem(std::span<const uint8_t> File);

// A PNG: signature, chunk checksums, header values, and the compressed image
// data unpacked with its checksum checked to exactly the size the header gives.
std::string PngProblem(std::span<const uint8_t> File);

bool LooksLikeBmp(std::span<const uint8_t> File);
bool LooksLikePng(std::span<const uint8_t> File);
