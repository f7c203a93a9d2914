#pragma once

#include "MapFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the command line asks for, after its options have been read.
struct TCliOptions
{
    std::string ImagePath;
    std::string MapPath = "map0.mul";     // in the current folder unless -o names another
    std::optional<std::string> TilesPath; // none: Tiles.ini next to the executable
    std::optional<uint64_t> Seed;         // none: seeds come from the clock
    bool Quiet = false;
    std::optional<std::string> PreviewPath; // none: no preview picture
    int PreviewScale = 1;                   // cells per preview pixel, each way
    bool Report = false;                    // the void-tile report on standard error
    TMapSize MapSize = MapSizes::Classic;   // --size, or the size of --facet
    std::optional<int> Facet;               // --facet N: its size and number
    TMapFormat Format = TMapFormat::Mul;    // --format, else by the map file's name
    bool Statics = false;                   // also the empty statics files
    std::optional<std::string> InfoPath;    // --info MAP: describe a map file instead
    int InfoX = 0, InfoY = 0;               // the cell --info shows (--cell X,Y)
    bool SizeGiven = false;                 // --size was given (for --info)
};

// The map output a run writes: the file, its size, format and facet number.
TMapOutput MapOutputOf(const TCliOptions &Options);

// The outcome of reading the arguments: run with Options, describe the map file
// Options.InfoPath, print Text (help or version, to standard output) and stop,
// or a usage error explained in Text.
struct TCliParse
{
    enum TKind { Run, Info, Help, Version, UsageError };
    TKind Kind = UsageError;
    TCliOptions Options;
    std::string Text;
};

// Reads the arguments, the program name first, as the process got them.
TCliParse ParseCliArguments(const std::vector<std::string> &Arguments);

// A seed is a plain unsigned 64-bit decimal number: digits only, no sign, no
// blanks, at most 18446744073709551615.
std::optional<uint64_t> ParseSeed(const std::string &Text);

// A preview scale is a plain decimal number from 1 to the map's width, which
// gives one pixel for the whole width.
std::optional<int> ParsePreviewScale(const std::string &Text, int MapWidth);
