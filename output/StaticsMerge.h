#pragma once

#include "MapFormat.h"
#include "Statics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Statics files read whole into memory (so that the files themselves may be
// replaced while their statics are still wanted). Throws EStaticsReadError
// when they cannot be read, the index is not one of a map of Size, or a block
// claims records that the data file does not hold.
TStaticsFiles ReadStaticsFiles(const std::string &IndexPath, const std::string &DataPath, const TMapSize &Size);

// What merging statics did, for the report.
struct TStaticsMergeReport
{
    uint64_t Removed = 0; // decoration and waves taken out of remade blocks
    uint64_t Added = 0;   // decoration and waves put in
    uint64_t Kept = 0;    // other statics in remade blocks, kept
    // Kept statics that now stand on water or on a cell whose altitude
    // changed: "static 0x0064 at 120,33 (z 5): now on water" (at most
    // MaxListed of them; Disturbed counts all).
    uint64_t Disturbed = 0;
    std::vector<std::string> DisturbedLines;
    // Remade blocks whose kept statics left no room for all of the new ones.
    std::vector<std::string> FullBlocks;
    static constexpr size_t MaxListed = 20;
};

// Why a kept static at map cell (X, Y) may no longer stand right there, or
// empty when it does.
using TStaticCheck = std::function<std::string(int X, int Y)>;

// The statics of a map made anew in the blocks marked in Remade (by block
// index): every other block keeps its statics from Existing as they were,
// record for record. A remade block keeps those of its statics that Ours
// does not claim (a user's buildings), first, then takes the new statics of
// New (decoration and waves, or none) for that block, up to
// StaticsFile::MaxPerBlock. Existing and New may be null (no statics).
TStaticsFiles MergeStatics(const TMapSize &Size, const std::vector<uint8_t> &Remade, const TStaticsFiles *Existing,
                           const TStaticsFiles *New, const std::function<bool(uint16_t Id)> &Ours,
                           const TStaticCheck &Check, TStaticsMergeReport &Report);
