// Painted heights in the height stages: the rules cell by cell, and a whole
// run over a painted relief that must keep what was painted.
#include "ClassTerrainImage.h"
#include "HeightConstants.h"
#include "PaintedHeights.h"
#include "Pipeline.h"
#include "PictureFiles.h"
#include "PipelineTestSupport.h"
#include "Stages.h"
#include "StageCommon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TestSupport;
using namespace PipelineTest;

namespace {

// The stage of that name, in both forms.
const Pipeline::TStage &Stage(const std::string &name)
{
    for (const Pipeline::TStage &stage : Pipeline::Stages)
        if (stage.Name == name)
            return stage;
    throw std::logic_error("no stage " + name);
}

// Painted heights over the whole grid, each cell at its current altitude.
void PaintCurrentAltitudes(TTerrainImage &model)
{
    model.ResetPaintedHeights(true);
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x)
            model.SetPaintedAltitude(x, y, model.GetCell(x, y).Altitude);
}

} // namespace

TEST(PaintedHeights, MountainsAreLoweredToTheSlopeLimits)
{
    // The worked example of PaintedHeights.cpp: ring cells -1 at both ends,
    // west limit 7, east limit 30; then the same with the limits' other sides.
    const struct
    {
        std::vector<std::string> Picture;
        TTable Altitudes, Expected;
    } cases[] = {
        {{"GMMMG"}, {{-1, 60, 60, 10, -1}}, {{-1, 6, 13, 10, -1}}},
        // Down to the south 30, to the north 7: columns.
        {{"G", "M", "M", "G"}, {{-1}, {90}, {90}, {-1}}, {{-1}, {6}, {13}, {-1}}},
        {{"M", "M", "G"}, {{90}, {90}, {-1}}, {{59}, {29}, {-1}}},
        // Not steep anywhere: nothing changes.
        {{"GMMG"}, {{0, 7, 14, 0}}, {{0, 7, 14, 0}}},
        // Empty cells count for nothing: a lone painted mountain stays.
        {{"0M0"}, {{0, 120, 0}}, {{0, 120, 0}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Picture[0]);
        TTerrainImage model(BundledTilesPath());
        PaintGrid(model, c.Picture);
        SetAltitudes(model, c.Altitudes);
        PaintCurrentAltitudes(model);
        for (int y = 1; y <= model.GetHeight(); ++y)
            for (int x = 1; x <= model.GetWidth(); ++x)
                model.SetFlag(x, y, model.GetCell(x, y).Code == MOUNTAIN ? FLAG_PAINTED : FLAG_FIXED);
        PaintedHeights::LowerPaintedMountains(model);
        EXPECT_EQ(GridAltitudes(model), c.Expected);
    }
}

TEST(PaintedHeights, PaintedCellsDrawButTakeNoSeedAndStayThroughTheSmoothing)
{
    // Grass with a mountain block wide enough for mountain seeds, water on the
    // left: coast rings, seed points on grass and on mountain.
    std::vector<std::string> picture;
    for (int y = 0; y < 40; ++y)
        picture.push_back("WW" + std::string(14, 'G') + std::string(24, y >= 8 && y < 32 ? 'M' : 'G'));
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast" : "straightforward");
        Random::SetFixedSeed(31);
        TTerrainImage plain(BundledTilesPath()), painted(BundledTilesPath());
        PaintGrid(plain, picture);
        PaintGrid(painted, picture);
        TTable altitudes(40, std::vector<int>(40, 0));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                altitudes[size_t(y)][size_t(x)] = 40 + (x + y) % 5; // within every slope limit
        SetAltitudes(painted, altitudes);
        PaintCurrentAltitudes(painted);
        for (const char *name : {"CoastHeights", "RandomHeights"}) {
            const auto run = fast ? Stage(name).Fast : Stage(name).Straightforward;
            run(plain);
            const uint64_t plainDraws = Random::Generator().State;
            run(painted);
            EXPECT_EQ(Random::Generator().State, plainDraws) << name << " draws as without painted heights";
        }
        const TTable ringed = GridAltitudes(painted);
        int seeds = 0, paintedCells = 0;
        for (int y = 1; y <= 40; ++y)
            for (int x = 1; x <= 40; ++x) {
                seeds += plain.GetFlag(x, y) == FLAG_SEED;
                const uint8_t flag = painted.GetFlag(x, y);
                EXPECT_TRUE(flag == FLAG_FIXED || flag == FLAG_PAINTED) << x << "," << y;
                // Coast, the rings at king distance 1 to 3 from the water, then painted.
                EXPECT_EQ(flag == FLAG_PAINTED, x > 5) << x << "," << y;
                paintedCells += flag == FLAG_PAINTED;
            }
        EXPECT_GT(seeds, 4) << "the picture has seed points on the painted cells";
        EXPECT_EQ(paintedCells, 35 * 40);
        // The painted altitudes, already within the slope limits, as they were.
        for (int y = 1; y <= 40; ++y)
            for (int x = 6; x <= 40; ++x)
                EXPECT_EQ(ringed[size_t(y - 1)][size_t(x - 1)], altitudes[size_t(y - 1)][size_t(x - 1)]);
        for (const char *name : {"SmoothTerrain", "SmoothMountains"})
            (fast ? Stage(name).Fast : Stage(name).Straightforward)(painted);
        EXPECT_EQ(GridAltitudes(painted), ringed) << "the smoothing moves no painted cell (the rings are no mountain)";
        Random::SetFixedSeed(std::nullopt);
    }
}

// The test relief: 240 x 200 cells, a sea along the west edge (24 columns)
// and a lake in the middle; grass, forest, desert and a mountain range.
// The painted heights: a base of 5 and three broad hills (cones of radius 60
// to 80, rising 1 per 2 cells at most; 30, 45 and 60 high), the mountain range
// a ridge of 50 + 40 at its middle, falling by at most 4 per cell, and one
// needle of 127 on a mountain cell, too steep for the limits.
struct TRelief
{
    static constexpr int Width = 240, Height = 200;
    std::vector<std::vector<uint8_t>> Reds;
    std::vector<std::vector<int>> Altitudes;
};

TRelief PaintedRelief()
{
    TRelief relief;
    const struct
    {
        int X, Y, Radius, Top;
    } hills[] = {{70, 60, 60, 30}, {120, 150, 80, 45}, {200, 70, 70, 60}};
    for (int y = 0; y < TRelief::Height; ++y) {
        relief.Reds.emplace_back();
        relief.Altitudes.emplace_back();
        for (int x = 0; x < TRelief::Width; ++x) {
            const bool sea = x < 24, lake = std::hypot(x - 110, y - 90) < 14;
            const bool range = x >= 150 && x < 210 && y >= 120 && y < 180;
            uint8_t red = sea || lake ? 30 : range ? 150 : x < 100 ? 40 : y < 100 ? 9 : 230;
            int altitude = 5;
            for (const auto &hill : hills) {
                const double d = std::hypot(x - hill.X, y - hill.Y);
                if (d < hill.Radius)
                    altitude += int(hill.Top * (1 - d / hill.Radius));
            }
            if (range)
                altitude = std::max(altitude, 90 - 4 * std::max(std::abs(x - 180), std::abs(y - 150)));
            if (x == 165 && y == 135)
                altitude = 127;
            relief.Reds.back().push_back(red);
            relief.Altitudes.back().push_back(std::clamp(altitude, -128, 127));
        }
    }
    return relief;
}

std::string GreyPngOf(const std::vector<std::vector<int>> &altitudes)
{
    PictureFiles::TPng png;
    png.Width = uint32_t(altitudes[0].size());
    png.Height = uint32_t(altitudes.size());
    png.ColourType = 0;
    for (const auto &row : altitudes) {
        png.Pixels.emplace_back();
        for (const int a : row)
            png.Pixels.back().push_back({uint16_t(a + 128), 0, 0, 0});
    }
    return PictureFiles::Encode(png);
}

TEST(PaintedHeights, AWholeRunKeepsAPaintedReliefAndTheMountainLimits)
{
    const TRelief relief = PaintedRelief();
    TTempDir dir;
    SaveRedBmp(dir.File("terrain.bmp"), relief.Reds);
    WriteFile(dir.File("heights.png"), GreyPngOf(relief.Altitudes));
    Random::SetFixedSeed(2026);
    TTerrainImage model(BundledTilesPath());
    model.LoadFromBMP(dir.File("terrain.bmp"));
    model.LoadHeights(dir.File("heights.png"));
    TRecordingProgressBar progress;
    TRecordingStatusBar status;
    ASSERT_TRUE(Generate(model, progress, status));
    Random::SetFixedSeed(std::nullopt);

    int land = 0, near = 0, mountains = 0;
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            if (model.GetFlag(x, y) == FLAG_FIXED) // water, coastline and the rings
                continue;
            const TCell cell = model.GetCell(x, y);
            ++land;
            near += std::abs(cell.Altitude - relief.Altitudes[size_t(y - 1)][size_t(x - 1)]) <= 3;
            if (cell.Code != MOUNTAIN)
                continue;
            ++mountains;
            for (size_t d = 0; d < Neighbours.size(); ++d) {
                const int nx = x + Neighbours[d].Dx, ny = y + Neighbours[d].Dy;
                const TCell n = model.GetCell(nx, ny);
                if (n.Code == NO_TERRAIN || model.GetFlag(nx, ny) == FLAG_FIXED)
                    continue;
                EXPECT_LE(cell.Altitude - n.Altitude, HeightConstants::MountainSlopeLimits[d])
                    << "mountain " << x << "," << y << " towards direction " << d + 1;
            }
        }
    const double share = double(near) / land;
    std::printf("painted relief: %d of %d land cells (%.2f%%) within 3 of the painted altitude; %d mountain cells\n",
                near, land, 100 * share, mountains);
    EXPECT_GE(share, 0.95);
    EXPECT_GT(mountains, 2500);
    // The needle was lowered to what its painted neighbours allow.
    int allowed = 127;
    for (size_t d = 0; d < Neighbours.size(); ++d)
        allowed = std::min(allowed, relief.Altitudes[size_t(135 + Neighbours[d].Dy)][size_t(165 + Neighbours[d].Dx)] +
                                        HeightConstants::MountainSlopeLimits[d]);
    EXPECT_LT(allowed, 60);
    EXPECT_EQ(model.GetCell(166, 136).Altitude, allowed);
}

TEST(PaintedHeights, AGeneratedReliefFedBackComesBack)
{
    // The relief's terrain without painted heights: random seeds and the two
    // smoothing stages make its altitudes, mountains included; those altitudes
    // painted over the same terrain must come back.
    const TRelief relief = PaintedRelief();
    TTempDir dir;
    SaveRedBmp(dir.File("terrain.bmp"), relief.Reds);
    TRecordingProgressBar progress;
    TRecordingStatusBar status;
    Random::SetFixedSeed(7);
    TTerrainImage generated(BundledTilesPath());
    generated.LoadFromBMP(dir.File("terrain.bmp"));
    ASSERT_TRUE(Generate(generated, progress, status));
    const TTable altitudes = GridAltitudes(generated);
    WriteFile(dir.File("heights.png"), GreyPngOf(altitudes));

    TTerrainImage painted(BundledTilesPath());
    painted.LoadFromBMP(dir.File("terrain.bmp"));
    painted.LoadHeights(dir.File("heights.png"));
    ASSERT_TRUE(Generate(painted, progress, status));
    Random::SetFixedSeed(std::nullopt);

    int land = 0, near = 0, same = 0;
    for (int y = 1; y <= painted.GetHeight(); ++y)
        for (int x = 1; x <= painted.GetWidth(); ++x) {
            if (painted.GetFlag(x, y) == FLAG_FIXED)
                continue;
            ++land;
            const int difference = std::abs(painted.GetCell(x, y).Altitude - altitudes[size_t(y - 1)][size_t(x - 1)]);
            near += difference <= 3;
            same += difference == 0;
        }
    std::printf("generated relief fed back: %d of %d land cells (%.2f%%) within 3, %d the same\n", near, land,
                100.0 * near / land, same);
    EXPECT_GE(double(near) / land, 0.95);
}
