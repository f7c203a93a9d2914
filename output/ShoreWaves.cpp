#include "ShoreWaves.h"

#include <array>
#include <cstddef>

namespace ShoreWaves {

namespace {

constexpr uint8_t N = DirectionBit(1), NE = DirectionBit(2), E = DirectionBit(3), SE = DirectionBit(4),
                  S = DirectionBit(5), SW = DirectionBit(6), W = DirectionBit(7), NW = DirectionBit(8);

// A cell gets the wave of the first row whose Water neighbours all hold water
// and whose other water neighbours, if any, are among Tolerated.
struct TWaveRow
{
    uint8_t Water;
    uint8_t Tolerated;
    uint16_t Waves[2]; // the second 0 when there is one wave only
};
constexpr TWaveRow Rows[] = {
    {W, SW | NW, {0x179D, 0x179E}},      // water to the west: a straight shore
    {S, SW | SE, {0x179F, 0x17A0}},      // to the south
    {N, NW | NE, {0x17A1, 0x17A2}},      // to the north
    {E, NE | SE, {0x17A3, 0x17A4}},      // to the east
    {SW, 0, {0x17A5, 0}},                // a corner of water touching the cell only
    {SE, 0, {0x17A6, 0}},
    {NW, 0, {0x17A7, 0}},
    {NE, 0, {0x17A8, 0}},
    {S | SW | W, SE | NW, {0x17A9, 0}},  // water around a corner of land
    {W | NW | N, SW | NE, {0x17AA, 0}},
    {N | NE | E, SE | NW, {0x17AB, 0}},
    {E | SE | S, SW | NE, {0x17AC, 0}},
};

// Row index + 1 for every mask, 0 for none.
std::array<uint8_t, 256> MakeTable()
{
    std::array<uint8_t, 256> table{};
    for (int mask = 1; mask < 256; ++mask) {
        for (std::size_t i = 0; i < std::size(Rows); ++i) {
            const TWaveRow &row = Rows[i];
            if ((mask & row.Water) == row.Water && (mask & ~(row.Water | row.Tolerated)) == 0) {
                table[std::size_t(mask)] = uint8_t(i + 1);
                break;
            }
        }
    }
    return table;
}

const std::array<uint8_t, 256> Table = MakeTable();

} // namespace

uint16_t WaveFor(uint8_t WaterMask, int X, int Y)
{
    const uint8_t row = Table[WaterMask];
    if (row == 0)
        return 0;
    const TWaveRow &wave = Rows[row - 1];
    if (wave.Waves[1] == 0)
        return wave.Waves[0];
    return wave.Waves[(X + Y) & 1];
}

bool IsWave(uint16_t Id)
{
    for (const TWaveRow &row : Rows)
        if (Id != 0 && (row.Waves[0] == Id || row.Waves[1] == Id))
            return true;
    return false;
}

} // namespace ShoreWaves
