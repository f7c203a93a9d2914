#pragma once

#include "HeightProfile.h"
#include "Random.h"
#include "ZeroedArray.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TIniFile;
class TRedRows;

// Terrain codes of a cell. The image load gives 0..8 and WATER; the pipeline
// rewrites them; codes from 256 up are transitions A*256 + B*16 + D.
enum : uint16_t {
    NO_TERRAIN = 0,
    DIRT = 1,
    MOUNTAIN = 2,
    DESERT = 3,
    SNOW = 4,
    GRASS = 5,
    FOREST = 6,
    JUNGLE = 7,
    SWAMP = 8,
    WATER = 17,
    COASTLINE = 18,
    COAST_MARK = 19,       // centre of a piece of coastline, stages 4 and 5 only
    COAST_WATER_MARK = 20, // water next to a coast centre, stages 4 and 5 only
    BORDER_MARK = 21,      // on a border line, waiting for a transition
    VOID = 22,             // names the void tile list; no cell holds it
};

// Flags of the height stages, one byte per cell.
enum : uint8_t {
    FLAG_NONE = 0,
    FLAG_FIXED = 1, // altitude final: water, coastline, completed coast rings
    FLAG_RING = 2,  // in the coast ring being built
    FLAG_SEED = 3,  // a random height seed point
    FLAG_PAINTED = 4, // altitude given (a heights picture's, or kept from a map in a merge): never smoothed
};

// The value of one cell; always passed by value.
struct TCell
{
    uint16_t Code = 0;
    int8_t Altitude = 0;

    friend bool operator==(const TCell &, const TCell &) = default;
};

// Warning kinds: listed by GetWarnings, and withdrawn because the cell has
// since become coastline.
inline constexpr uint8_t ListedWarning = 1;
inline constexpr uint8_t WithdrawnWarning = 2;

// One warning: the 0-based position of the cell's pixel, and its kind.
struct TErrorItem
{
    uint16_t X = 0;
    uint16_t Y = 0;
    uint8_t Kind = 0;
    std::string Text;
};

// A tile configuration that cannot be used: a tile-list key that is no number,
// a file that holds no tile at all (missing, empty, not an INI file).
// what() is the conversion message itself; FileName names the file it came from.
class EConvertError : public std::runtime_error
{
public:
    EConvertError(const std::string &message, std::string fileName)
        : std::runtime_error(message), FileName(std::move(fileName)) {}
    std::string FileName;
};

// An image that cannot be loaded; the message names the file and the cause.
class EImageLoadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A heights picture that is sound but not of the terrain picture's size: the
// user gave two pictures that do not belong together. The message names the
// file and both sizes.
class EHeightsSizeError : public EImageLoadError
{
public:
    using EImageLoadError::EImageLoadError;
};

// How much a picture may demand, and how much of it is read.
struct TLoadOptions
{
    // What a whole run (load, the nine stages, the map writer) needs per grid
    // cell, in bytes: the cell (4) and its flag (1), the smoothing stages' band
    // buffers (about 2.1) and the writer's buffers, rounded up. Measured: a run
    // over the 6144 x 4096 example world peaks at 192 MB of memory, 7.6 bytes
    // per cell with the program itself.
    static constexpr uint64_t BytesPerCell = 8;
    // The default budget, 4 GiB: half of a machine of 8 GB, leaving the rest to
    // the system, the window and the preview picture. It admits 16384 x 16384
    // pixels (2 GiB) and refuses 65535 x 65535 (32 GiB).
    static constexpr uint64_t DefaultMemoryBudget = uint64_t(4) << 30;

    // The most memory, in bytes, that a whole run over the picture's grid may
    // need (the grid, its flags and the stages' buffers); a picture whose grid
    // would need more is refused before anything is allocated for it.
    uint64_t MemoryBudget = DefaultMemoryBudget;
    // When not 0, the picture is cut to its top-left CropWidth x CropHeight
    // pixels before anything else, as an image editor would.
    uint32_t CropWidth = 0, CropHeight = 0;
    // When true, the start altitudes are not drawn at the load: every cell
    // keeps altitude 0 until DrawDeferredStartAltitudes draws those of some
    // rows, as the load would have (a merge needs them only where it
    // remakes the map). A Generate without a hook draws them all first.
    // The codes as loaded are kept beside the grid (LoadedCodes), for the
    // draws and for the merge's comparison, as the stages rewrite the grid.
    bool DeferStartAltitudes = false;
};

// The terrain model: the grid of cells and flags, the tile configuration read
// from Tiles.ini, the image import and the warnings of a generation. The
// pipeline (pipeline/Pipeline.h) works on it through these operations.
//
// The grids are stored flat with a one-cell frame of empty cells around them:
// cell (X, Y), 1-based, is element Y * Stride() + X. The frame is never
// written, so code that reads a neighbour through the raw arrays sees the same
// empty cell that GetCell gives outside the grid.
class TTerrainImage
{
public:
    // Reads Tiles.ini next to the executable.
    TTerrainImage();
    // Reads the tile configuration at tilesPath.
    explicit TTerrainImage(const std::string &tilesPath);
    ~TTerrainImage();
    TTerrainImage(const TTerrainImage &) = delete;
    TTerrainImage &operator=(const TTerrainImage &) = delete;

    // Grid and accessors. Outside the grid reads give zeros and writes are dropped.
    int GetWidth() const { return Width; }
    int GetHeight() const { return Height; }
    bool IsInside(int32_t X, int32_t Y) const
    {
        return uint32_t(X) - 1u < Width && uint32_t(Y) - 1u < Height;
    }
    TCell GetCell(int32_t X, int32_t Y) const
    {
        return IsInside(X, Y) ? Cells[Index(X, Y)] : TCell{};
    }
    uint8_t GetFlag(int32_t X, int32_t Y) const
    {
        return IsInside(X, Y) ? Flags[Index(X, Y)] : uint8_t(FLAG_NONE);
    }
    // Code -1 keeps the code, Altitude -1000 keeps the altitude; otherwise the
    // low 16 bits of the code and the low 8 bits of the altitude are stored.
    void SetCell(int32_t X, int32_t Y, int32_t Code, int32_t Altitude)
    {
        if (!IsInside(X, Y))
            return;
        TCell &cell = Cells[Index(X, Y)];
        if (Code != -1)
            cell.Code = uint16_t(Code);
        if (Altitude != -1000)
            cell.Altitude = int8_t(uint8_t(Altitude));
    }
    void SetFlag(int32_t X, int32_t Y, uint8_t Flag)
    {
        if (IsInside(X, Y))
            Flags[Index(X, Y)] = Flag;
    }

    // Makes an empty grid of that size: every cell code 0 and altitude 0, every
    // flag FLAG_NONE. Used by the image load and by code that builds grids.
    void ResetGrid(uint16_t NewWidth, uint16_t NewHeight);

    // A grid set aside: the cells, flags, painted heights and sizes of a model.
    struct TGridParts
    {
        TZeroedArray<TCell> Cells;
        TZeroedArray<uint8_t> Flags;
        TZeroedArray<int8_t> Painted;
        uint16_t Width = 0, Height = 0;
        uint32_t PictureWidth = 0, PictureHeight = 0;
    };
    // Exchanges the model's grid with Parts (the configuration, the warnings
    // and the height profile stay): lets the stages work on part of a grid.
    void SwapGrid(TGridParts &Parts) noexcept;

    // Raw access for code that walks the grid itself (see the class comment).
    int Stride() const { return int(Width) + 2; }
    size_t Index(int32_t X, int32_t Y) const { return size_t(Y) * size_t(Stride()) + size_t(X); }
    TCell *CellData() { return Cells.data(); }
    const TCell *CellData() const { return Cells.data(); }
    uint8_t *FlagData() { return Flags.data(); }
    const uint8_t *FlagData() const { return Flags.data(); }

    // Classification of codes.
    static bool IsTerrainOrWater(uint16_t Code) { return (Code >= 1 && Code <= 15) || Code == WATER; }
    static bool IsLandTerrain(uint16_t Code) { return Code >= 1 && Code <= 15; }
    static bool IsBorderMarker(uint16_t Code) { return Code == COAST_MARK || Code == BORDER_MARK; }
    static bool NeedsTransition(uint16_t Code) { return IsBorderMarker(Code) || Code >= 256; }

    // Warnings. X and Y of AddError are 1-based; the list keeps them 0-based.
    void AddError(uint16_t X, uint16_t Y, uint8_t Kind, const std::string &Text);
    std::vector<std::string> GetWarnings() const;
    const std::vector<TErrorItem> &GetErrors() const { return Errors; }
    int32_t GetErrorCount() const { return ErrorCount; }
    // Drops every warning (a generation run starts so).
    void ClearErrors()
    {
        ErrorCount = 0;
        Errors.clear();
    }
    // Changes the kind of warning Index (0 .. GetErrorCount() - 1), e.g. to
    // withdrawn when its cell has since become coastline.
    void SetErrorKind(int32_t Index, uint8_t Kind) { Errors[size_t(Index)].Kind = Kind; }

    // Tile configuration.
    // The tile of a cell of that code: a fresh draw from the code's tile list
    // for the terrains, water and coastline (HasTileList), else FixedTile.
    uint16_t TileForCode(uint16_t Code);
    uint16_t RandomTile(uint8_t Code);
    static bool HasTileList(uint16_t Code) { return (Code >= 1 && Code <= 8) || Code == WATER || Code == COASTLINE; }
    // The tile of a code without a tile list: its transition tile, or the void tile.
    uint16_t FixedTile(uint16_t Code) const { return Transitions[Code] != 0 ? Transitions[Code] : VoidTile; }
    uint16_t GetVoidTile() const { return VoidTile; }
    uint16_t CodeForColor(uint8_t Red) const { return ColorToCode[Red]; }
    const std::vector<uint16_t> &GetTileList(uint8_t Code) const { return TileLists[Code]; }
    uint16_t GetTransitionTile(uint16_t Code) const { return Transitions[Code]; }
    // Problems of the tile configuration that did not stop construction, each
    // naming the file and the section or key: empty tile lists, transition and
    // red values that are no numbers (read as no tile or the default), red
    // values out of range or given to two terrains.
    const std::vector<std::string> &GetConfigProblems() const { return ConfigProblems; }
    const std::string &GetTilesPath() const { return TilesPath; }
    // The altitudes of the load and the height stages ([Heights]).
    const THeightProfile &GetHeightProfile() const { return Heights; }
    void SetHeightProfile(const THeightProfile &Profile) { Heights = Profile; }

    // Image import: fills the grid from the red values of an image file.
    void LoadFromBMP(const std::string &FileName, const TLoadOptions &Options = {});
    // After a load with DeferStartAltitudes: draws the start altitudes of the
    // cells of the rows FirstRow to LastRow and the columns FirstColumn to
    // LastColumn (1-based), the same numbers as the load would have drawn for
    // them, whatever the stages did to the grid since; the other cells are
    // never drawn.
    bool HasDeferredStartAltitudes() const { return !DeferredRowDraws.empty(); }
    void DrawDeferredStartAltitudes(int FirstRow, int LastRow, int FirstColumn = 1, int LastColumn = 65535);
    // After a load with DeferStartAltitudes, until the next load: the code of
    // every cell as the load gave it (terrains, water and no terrain, all
    // below 256), row after row without the frame; nullptr otherwise.
    const uint8_t *LoadedCodes() const { return LoadedCodeBytes.data(); }

    // Painted heights (model/HeightsImport.cpp): a grey picture of the
    // terrain picture's size (or of the part the crop keeps) whose grey g
    // gives each cell the painted altitude g - 128. Called after LoadFromBMP;
    // every cell but water (and coastline) starts at its painted altitude (the start draws
    // were made all the same). A picture that is not grey, or damaged, throws
    // EImageLoadError; one of another size EHeightsSizeError. A new image
    // load drops the painted heights.
    void LoadHeights(const std::string &FileName);
    bool HasPaintedHeights() const { return Painted.size() != 0; }
    // The painted altitude of a cell inside the grid (with painted heights only).
    int GetPaintedAltitude(int32_t X, int32_t Y) const { return Painted[Index(X, Y)]; }
    const int8_t *PaintedData() const { return Painted.data(); }
    int8_t *PaintedData() { return Painted.data(); }
    // For code that builds grids: painted heights on (every altitude 0) or off.
    void ResetPaintedHeights(bool On);
    void SetPaintedAltitude(int32_t X, int32_t Y, int Altitude)
    {
        if (IsInside(X, Y) && HasPaintedHeights())
            Painted[Index(X, Y)] = int8_t(Altitude);
    }

    // The names of the terrains as Tiles.ini writes them, by code; "" for none.
    static const char *TerrainName(uint16_t Code);
    // The key of direction D (1 N to 8 NW, in the neighbour order) in a
    // transition section; "" for any other number.
    static const char *DirectionKey(int D);
    // The transition section of the high terrain A and the middle terrain B.
    static std::string TransitionSection(uint16_t A, uint16_t B);

private:
    void Create(const std::string &tilesPath);
    void LoadTransitions(TIniFile &IniFile);
    void LoadTileList(TIniFile &IniFile, const std::string &Section, uint16_t Code);
    void LoadColors(TIniFile &IniFile);
    void CheckTileLists();
    void CheckKeysGivenOnce(const TIniFile &IniFile, const std::string &Section);
    bool HasAnyTile() const;
    void ClearGrid();
    void DrawStartAltitudes(const std::vector<uint32_t> &RowDraws);
    TPcg32 DrawStartAltitudeCells(TCell *First, int Count, TPcg32 Generator, const uint8_t *Codes = nullptr) const;
    TPcg32 DrawStartAltitudeRows(int FirstRow, int LastRow, TPcg32 Generator);
    std::vector<uint32_t> DeferredRowDraws; // by row, after a deferring load
    TPcg32 DeferredStart;                   // the generator where the load's draws begin
    TZeroedArray<uint8_t> LoadedCodeBytes;  // Width x Height, after a deferring load
    friend class TGridRows;

    TZeroedArray<TCell> Cells;                     // (Width + 2) x (Height + 2), framed
    TZeroedArray<uint8_t> Flags;                   // same shape as Cells
    TZeroedArray<int8_t> Painted;                  // same shape; empty without painted heights
    uint32_t PictureWidth = 0, PictureHeight = 0;  // the terrain picture's size before a crop
    std::array<uint16_t, 256> ColorToCode{};       // red value -> terrain code
    std::array<std::vector<uint16_t>, 256> TileLists; // by terrain code 1..255
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint16_t VoidTile = 0;
    std::vector<uint16_t> Transitions;             // 65536 entries, by whole code
    std::vector<TErrorItem> Errors;
    int32_t ErrorCount = 0;

    std::string TilesPath;
    std::vector<std::string> ConfigProblems;
    THeightProfile Heights;
};
