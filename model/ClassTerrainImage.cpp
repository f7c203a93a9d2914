#include "ClassTerrainImage.h"

#include "ExecutablePath.h"

TTerrainImage::TTerrainImage() : TTerrainImage(FileNextToExecutable("Tiles.ini")) {}

TTerrainImage::TTerrainImage(const std::string &tilesPath) : Transitions(65536, 0)
{
    Create(tilesPath);
}


TTerrainImage::~TTerrainImage() = default;

void TTerrainImage::ResetGrid(uint16_t NewWidth, uint16_t NewHeight)
{
    ClearGrid();
    if (NewWidth == 0 || NewHeight == 0)
        return;
    const size_t count = size_t(NewWidth + 2) * size_t(NewHeight + 2);
    Cells.Reset(count);
    Flags.Reset(count);
    Width = NewWidth;
    Height = NewHeight;
}

void TTerrainImage::SwapGrid(TGridParts &Parts) noexcept
{
    Cells.Swap(Parts.Cells);
    Flags.Swap(Parts.Flags);
    Painted.Swap(Parts.Painted);
    std::swap(Width, Parts.Width);
    std::swap(Height, Parts.Height);
    std::swap(PictureWidth, Parts.PictureWidth);
    std::swap(PictureHeight, Parts.PictureHeight);
}

void TTerrainImage::ClearGrid()
{
    Width = 0;
    Height = 0;
    // Give the memory back: a failed load must not keep a full-size grid alive.
    Cells.Clear();
    Flags.Clear();
    Painted.Clear();
    PictureWidth = PictureHeight = 0;
    DeferredRowDraws.clear();
    LoadedCodeBytes.Clear();
}

void TTerrainImage::ResetPaintedHeights(bool On)
{
    Painted.Clear();
    if (On && Width != 0 && Height != 0)
        Painted.Reset(size_t(Width + 2) * size_t(Height + 2));
}

void TTerrainImage::AddError(uint16_t X, uint16_t Y, uint8_t Kind, const std::string &Text)
{
    Errors.resize(size_t(ErrorCount));
    Errors.push_back(TErrorItem{uint16_t(X - 1), uint16_t(Y - 1), Kind, Text});
    ++ErrorCount;
}

std::vector<std::string> TTerrainImage::GetWarnings() const
{
    std::vector<std::string> lines;
    for (int32_t i = 0; i < ErrorCount; ++i) {
        const TErrorItem &item = Errors[size_t(i)];
        if (item.Kind == ListedWarning)
            lines.push_back("Warning: More than 2 different terrains on the border of tile " +
                            std::to_string(item.X) + "/" + std::to_string(item.Y) + ".");
    }
    return lines;
}

const char *TTerrainImage::TerrainName(uint16_t Code)
{
    switch (Code) {
    case DIRT: return "DIRT";
    case MOUNTAIN: return "MOUNTAIN";
    case DESERT: return "DESERT";
    case SNOW: return "SNOW";
    case GRASS: return "GRASS";
    case FOREST: return "FOREST";
    case JUNGLE: return "JUNGLE";
    case SWAMP: return "SWAMP";
    case WATER: return "WATER";
    case COASTLINE: return "COASTLINE";
    case VOID: return "VOID";
    default: return "";
    }
}

const char *TTerrainImage::DirectionKey(int D)
{
    static const char *const keys[9] = {"", "N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    return D >= 1 && D <= 8 ? keys[D] : "";
}

std::string TTerrainImage::TransitionSection(uint16_t A, uint16_t B)
{
    return std::string("TRANS_") + TerrainName(A) + "_" + TerrainName(B);
}
