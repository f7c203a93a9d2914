#pragma once

#include <cstdint>

// The red values that select each terrain with the default configuration
// ("ColorTileCodeMatch" of the bundled Tiles.ini). The painter uses no others,
// except the two values that deliberately name no terrain.
namespace WorldRed {

constexpr uint8_t Dirt = 100;
constexpr uint8_t Mountain = 150;
constexpr uint8_t Desert = 230;
constexpr uint8_t Snow = 250;
constexpr uint8_t Grass = 40;
constexpr uint8_t Forest = 9;
constexpr uint8_t Jungle = 145;
constexpr uint8_t Swamp = 191;
constexpr uint8_t Water = 30;

// Red values that no terrain claims: a few such pixels show how a map copes
// with paint that matches nothing.
constexpr uint8_t Unmatched = 0;
constexpr uint8_t UnmatchedOther = 77;

// The eight land terrains, in the order of their terrain codes 1 to 8.
constexpr uint8_t Land[8] = {Dirt, Mountain, Desert, Snow, Grass, Forest, Jungle, Swamp};

constexpr bool IsWater(uint8_t red) { return red == Water; }

} // namespace WorldRed
