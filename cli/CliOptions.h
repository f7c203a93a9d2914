#pragma once

#include "ClassTerrainImage.h"
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
    bool PreviewStatics = true;             // statics written are marked on the preview
    bool Report = false;                    // the void-tile report on standard error
    TMapSize MapSize = MapSizes::Classic;   // --size, the size of --facet, or the UOP default
    std::optional<int> Facet;               // --facet N: its size and number
    int MapNumber = 0;                      // N of the map file's name, else of --facet
    TMapFormat Format = TMapFormat::Mul;    // --format, else by the map file's name
    TStaticsChoice Statics = TStaticsChoice::None; // --statics
    // A bare --statics: Decorated when the tile configuration has decoration,
    // else Empty (decided once it is read).
    bool StaticsAsConfigured = false;
    TLoadOptions Load;                      // --max-memory and --crop
    std::optional<std::string> HeightsPath;    // --heights: the painted heights
    std::optional<std::string> HeightsOutPath; // --heights-out: the map's altitudes as a picture
    std::optional<std::string> InfoPath;    // --info MAP: describe a map file instead
    int InfoX = 0, InfoY = 0;               // the cell --info shows (--cell X,Y)
    bool SizeGiven = false;                 // --size was given (for --info)
    std::optional<std::string> MergePath;   // --merge-into MAP: remake only what the picture changes
    std::optional<std::string> ImportPath;  // --import MAP: read a map back into a picture
    std::string PicturePath;                // the picture --import writes (-o)
};

// The map output a run writes: the file, its size, format and map number.
TMapOutput MapOutputOf(const TCliOptions &Options);

// The outcome of reading the arguments: run with Options, describe the map file
// Options.InfoPath, read the map Options.ImportPath into a picture, print Text (help or version, to standard output) and stop,
// or a usage error explained in Text.
struct TCliParse
{
    enum TKind { Run, Info, Import, Help, Version, UsageError };
    TKind Kind = UsageError;
    TCliOptions Options;
    std::string Text;
};

// Reads the arguments, the program name first, as the process got them
// (UTF-8 file names).
TCliParse ParseCliArguments(const std::vector<std::string> &Arguments);

// The memory budget when --max-memory is not given, in MiB: what the load
// options allow by default.
uint64_t DefaultMemoryBudgetMiB();

// A seed is a plain unsigned 64-bit decimal number: digits only, no sign, no
// blanks, at most 18446744073709551615.
std::optional<uint64_t> ParseSeed(const std::string &Text);
