#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// Checks of a picture file's bytes before it is decoded: the headers must agree
// with each other and with the data, so that the decoder never fills in what
// the file does not say. Each returns what is wrong, in words for the map
// maker, or an empty string for a sound file.

// A Windows BMP ("BM" ...): header versions of 12, 40, 108 and 124 bytes,
// 1, 4, 8, 16, 24 and 32 bits per pixel, plain, run-length or bit-field data.
// Colour indices of run-length data and of 1-bit rows are always checked;
// those of plain 4 and 8-bit rows only with CheckPlainIndices (a caller that
// checks the decoded rows, where the decoder keeps those indices as the file
// has them, can leave it to that).
std::string BmpProblem(std::span<const uint8_t> File, bool CheckPlainIndices = true);
// Width and height of a BMP that BmpProblem found sound.
std::pair<uint64_t, uint64_t> BmpSize(std::span<const uint8_t> File);

// A PNG: signature, chunk checksums, header values, and the compressed image
// data unpacked with its checksum checked to exactly the size the header gives.
std::string PngProblem(std::span<const uint8_t> File);

// The PNG check in its two steps. LayoutProblem reads the chunks: checksums,
// header, and whether the compressed data could hold the picture at all; it is
// quick and must come first. DataProblem unpacks the data, which costs as much
// as decoding it, so that a caller may do it while the picture is decoded.
class TPngCheck
{
public:
    explicit TPngCheck(std::span<const uint8_t> File);
    std::string LayoutProblem();
    std::string DataProblem() const;

private:
    std::string Claim() const;

    std::span<const uint8_t> f;
    uint64_t width = 0, height = 0, colours = 0, expected = 0;
    uint32_t colourType = 0, bits = 0;
    bool interlaced = false;
    std::vector<std::span<const uint8_t>> data; // the IDAT chunks' bodies
};

bool LooksLikeBmp(std::span<const uint8_t> File);
bool LooksLikePng(std::span<const uint8_t> File);
