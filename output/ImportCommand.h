#pragma once

#include "MapFormat.h"
#include "ClassTerrainImage.h"
#include "MapImport.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TTerrainImage;

// An import stopped on request before its pictures were saved.
class EImportStopped : public std::runtime_error
{
public:
    EImportStopped() : std::runtime_error("the import was stopped") {}
};

// Reads the map file MapPath (MUL or UOP, of Size when given, else as its
// name and length tell) back into a painted picture at PicturePath, under the
// tile configuration Config and its import tiles, and returns what was read.
// A map whose reading would need more than MemoryBudget bytes is refused
// before anything is allocated for it. With HeightsPath, the map's altitudes too, as a heights picture
// (HeightsPicture.h). The files are saved together, whole or not at all.
// Throws EMapReadError when the map cannot be read and EFileWriteError when a
// picture cannot be written. Stopped, when given, is asked between the steps
// and while the pictures are written: once it says yes, the import throws
// EImportStopped and earlier pictures of those names stay as they were.
TTerrainImport ImportMapToPicture(const std::string &MapPath, std::optional<TMapSize> Size,
                                  const TTerrainImage &Config, const std::vector<TImportTile> &ImportTiles,
                                  const std::string &PicturePath, const std::string &HeightsPath = {},
                                  uint64_t MemoryBudget = TLoadOptions::DefaultMemoryBudget,
                                  const std::function<bool()> &Stopped = {});

// The lines that tell the user about the import: cells whose tile belongs to
// no terrain, with the most common of those tiles (at most MostCommon).
std::vector<std::string> FormatImportReport(const TTerrainImport &Import, const TTerrainImage &Config,
                                            size_t MostCommon = 10);
