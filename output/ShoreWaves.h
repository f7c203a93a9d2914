#pragma once

#include <cstdint>

// The wave statics of a shore: a land or coastline cell next to water gets the
// wave that fits where its water neighbours are. The choice is a rule and
// draws nothing.
namespace ShoreWaves {

// Bit d - 1 stands for the neighbour in direction d (1 N, 2 NE, 3 E, 4 SE,
// 5 S, 6 SW, 7 W, 8 NW, the neighbour order).
constexpr uint8_t DirectionBit(int D) { return uint8_t(1u << (D - 1)); }

// The wave for a cell whose water neighbours are WaterMask, or 0 when no wave
// fits. Where two waves fit the same shore, they alternate along it by the
// cell's map position X, Y.
uint16_t WaveFor(uint8_t WaterMask, int X, int Y);

// Whether Id is one of the waves WaveFor gives.
bool IsWave(uint16_t Id);

} // namespace ShoreWaves
