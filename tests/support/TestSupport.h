#pragma once

#include "ClassTerrainImage.h"
#include "Progress.h"

#include <map>
#include <string>
#include <vector>

// Helpers shared by the test suites.
namespace TestSupport {

// A fresh folder below the system's temporary folder, removed with the object.
class TTempDir
{
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;
    const std::string &Path() const { return Dir; }
    std::string File(const std::string &name) const { return Dir + "/" + name; }

private:
    std::string Dir;
};

void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
// The names of the entries of a folder, sorted.
std::vector<std::string> ListDir(const std::string &path);

// Sets an environment variable of this process, or removes it (Value nullptr).
// On Windows an empty value removes the variable too.
void SetEnv(const std::string &Name, const char *Value);

// The bundled Tiles.ini that the build puts next to the test executables.
std::string BundledTilesPath();
// The tile configuration of Morvane 0.5 (Tiles-0.5.ini), copied
// next to the test executables: tests that pin whole maps made with it load it.
std::string FrozenTilesPath();

// Letters for painted grids: 0 none, D dirt, M mountain, S desert (sand), N snow,
// G grass, F forest, J jungle, P swamp, W water, C coastline, x BORDER_MARK,
// c COAST_MARK, w COAST_WATER_MARK. Tests may pass their own legend.
using TLegend = std::map<char, uint16_t>;
const TLegend &DefaultLegend();

// Makes the model's grid the painted one: codes from the letters, altitude 0,
// every flag FLAG_NONE. All rows must have the same length.
void PaintGrid(TTerrainImage &model, const std::vector<std::string> &rows,
               const TLegend &legend = DefaultLegend());
// The codes of the grid as letters; a code the legend lacks shows as '?'.
std::vector<std::string> GridLetters(const TTerrainImage &model, const TLegend &legend = DefaultLegend());
// The altitudes of the grid, one vector per row.
std::vector<std::vector<int>> GridAltitudes(const TTerrainImage &model);

// A 24-bit picture whose pixels have the given red values (green and blue vary),
// saved as a BMP file.
void SaveRedBmp(const std::string &path, const std::vector<std::vector<uint8_t>> &reds);

// A progress bar and a status bar that remember what they were told.
class TRecordingProgressBar : public TProgressBar
{
public:
    void SetMin(int Value) override { Min = Value; }
    void SetMax(int Value) override { Max = Value; }
    int GetPosition() const override { return Position; }
    void SetPosition(int Value) override { Position = Value; Positions.push_back(Value); }
    int Min = -1, Max = -1, Position = -1;
    std::vector<int> Positions;
};

class TRecordingStatusBar : public TStatusBar
{
public:
    void SetSimpleText(const std::string &Text) override { Texts.push_back(Text); }
    std::vector<std::string> Texts;
};

} // namespace TestSupport
