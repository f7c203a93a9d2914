#pragma once

#include "MapFormat.h"
#include "PngWriter.h"

#include <cstdint>
#include <functional>
#include <string>

class TTerrainImage;

// The heights picture: altitudes as an 8-bit grey PNG, grey = altitude + 128
// (altitude -128 black, 0 grey 128, 127 white), the picture that --heights
// reads back. Written row by row from a row source, so that any holder of
// altitudes (the final grid, a map file read back) can give them.

// FillRow(Y, Altitudes) puts row Y (from the top) as Width altitudes.
using THeightsRowSource = std::function<void(int Y, int8_t *Altitudes)>;

// Writes the picture's bytes to Out (see WriteGreyPng).
void WriteHeightsPng(int Width, int Height, const THeightsRowSource &FillRow, const TPngByteSink &Out);

// Saves the picture at FileName on its own, all or nothing (TAtomicSave);
// throws EFileWriteError naming the file.
void SaveHeightsPng(int Width, int Height, const THeightsRowSource &FillRow, const std::string &FileName);

// The altitudes of a map of Size as the map writer writes them from the
// model: the grid's, and 0 beyond the grid.
void WriteMapHeightsPng(const TTerrainImage &Model, const TMapSize &Size, const TPngByteSink &Out);
