#pragma once

#include "MapFormat.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Platform {
class TFileView;
}

// Statics files that cannot be read; the message names the file and the problem.
class EStaticsReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One static as the statics file holds it, with its map cell.
struct TStaticItem
{
    uint16_t Id = 0;
    int X = 0, Y = 0; // map cell
    int8_t Z = 0;
    uint16_t Hue = 0;
    bool operator==(const TStaticItem &) const = default;
};

// Reads the statics of a map back from staidx<N>.mul (12-byte entries, one per
// block in block-column order: offset, length, unused; offset 0xFFFFFFFF or
// length 0 for a block without statics) and statics<N>.mul (7-byte records:
// id, x and y in the block, z, hue). The index must have one entry per block
// of Size; an entry reaching past the end of the statics file, or whose
// length is no multiple of 7, is refused when its block is read.
class TStaticsReader
{
public:
    TStaticsReader(const std::string &IndexPath, const std::string &DataPath, const TMapSize &Size);
    ~TStaticsReader();

    // The statics of map cell (X, Y), in the file's order.
    std::vector<TStaticItem> At(int X, int Y) const;
    // Every static of the block at block-column Bx, block-row By.
    std::vector<TStaticItem> Block(int Bx, int By) const;

private:
    std::string IndexPath, DataPath;
    TMapSize Size;
    std::unique_ptr<Platform::TFileView> Index, Data;
};
