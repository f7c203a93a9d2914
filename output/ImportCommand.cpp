#include "ImportCommand.h"

#include "AtomicSave.h"
#include "HeightsPicture.h"
#include "MapReader.h"
#include "TerrainPicture.h"

#include <algorithm>
#include <cstdio>

TTerrainImport ImportMapToPicture(const std::string &MapPath, std::optional<TMapSize> Size,
                                  const TTerrainImage &Config, const std::vector<TImportTile> &ImportTiles,
                                  const std::string &PicturePath, const std::string &HeightsPath, uint64_t MemoryBudget,
                                  const std::function<bool()> &Stopped)
{
    const auto check = [&Stopped] {
        if (Stopped && Stopped())
            throw EImportStopped();
    };
    TMapCells cells;
    uint64_t beyond = 0;
    {
        // The map is closed before the pictures are saved.
        TMapReader map(MapPath, Size);
        CheckImportMemory(map, ImportBytesPerCell, MemoryBudget);
        beyond = map.Blocks() - map.Size().Blocks();
        cells = ReadMapCells(map);
    }
    check();
    TTerrainImport import = ImportTerrains(cells, TTileClasses(Config, ImportTiles));
    import.BlocksBeyond = beyond;
    check();
    std::vector<std::string> targets{PicturePath};
    if (!HeightsPath.empty())
        targets.push_back(HeightsPath);
    // Unsaved, the files are taken away again, whatever stops the writing.
    TAtomicSave save(targets);
    WriteTerrainPicture(import, MakeTerrainPalette(Config), PictureKindForName(PicturePath),
                        [&](const uint8_t *Data, size_t Bytes) {
                            check();
                            save.Write(0, Data, Bytes);
                        });
    if (!HeightsPath.empty())
        WriteHeightsPng(
            cells.Width, cells.Height,
            [&](int Y, int8_t *Altitudes) {
                std::copy_n(cells.Altitudes.begin() + std::ptrdiff_t(cells.Index(0, Y)), cells.Width, Altitudes);
            },
            [&](const uint8_t *Data, size_t Bytes) {
                check();
                save.Write(1, Data, Bytes);
            });
    check();
    save.Commit();
    return import;
}

std::vector<std::string> FormatImportReport(const TTerrainImport &Import, const TTerrainImage &Config,
                                            size_t MostCommon)
{
    std::vector<std::string> lines;
    if (Import.UnknownCells == 0)
        return lines;
    const double share = 100.0 * double(Import.UnknownCells) / double(uint64_t(Import.Width) * uint64_t(Import.Height));
    char text[200];
    std::snprintf(text, sizeof text, "%llu cells (%.2f %%) have a tile of no terrain (%zu different tiles); they get red %d, which names no terrain:",
                  static_cast<unsigned long long>(Import.UnknownCells), share, Import.UnknownTiles.size(),
                  int(MakeTerrainPalette(Config).NoTerrainRed));
    lines.emplace_back(text);
    for (size_t i = 0; i < Import.UnknownTiles.size() && i < MostCommon; ++i) {
        std::snprintf(text, sizeof text, "  tile %u (0x%04X): %llu cells", unsigned(Import.UnknownTiles[i].first),
                      unsigned(Import.UnknownTiles[i].first),
                      static_cast<unsigned long long>(Import.UnknownTiles[i].second));
        lines.emplace_back(text);
    }
    if (Import.UnknownTiles.size() > MostCommon)
        lines.push_back("  and " + std::to_string(Import.UnknownTiles.size() - MostCommon) + " other tiles");
    return lines;
}
