// The generation driver: texts and progress, the order of the stages, the
// empty grid, and the warnings of repeated runs.
#include "PipelineTestSupport.h"
#include "SmoothingBands.h"
#include "Stages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using TestSupport::PaintGrid;

namespace {

const std::vector<std::string> StatusTexts = {
    "Generating a borderline on all terrain borders",
    "Checking if all borderline tiles have two terrain tiles as neighbour",
    "Transforming the borderline to correct border tiles",
    "Transforming the borderline near water to a coastline",
    "Fisnishing the tile calculations",
    "Calculating the height of the coastline",
    "Setting random heights on the map",
    "Smoothing the terrain height data",
    "Smoothing the mountain height data",
};

// The stages by name, in the order they run: the stage table holds them so.
TEST(Generate, TheStageTableListsTheNineStagesInOrder)
{
    const std::vector<std::string> names = {"MarkBorders",  "ResolveSingleBorders", "BuildTransitions",
                                            "MarkCoastline", "FinishTiles",          "CoastHeights",
                                            "RandomHeights", "SmoothTerrain",        "SmoothMountains"};
    ASSERT_EQ(Pipeline::Stages.size(), names.size());
    for (size_t k = 0; k < names.size(); ++k) {
        EXPECT_EQ(Pipeline::Stages[k].Name, names[k]);
        EXPECT_EQ(Pipeline::Stages[k].StatusText, StatusTexts[k]);
    }
}

// Everything the stages change: codes, altitudes, flags and warnings.
struct TState
{
    PipelineTest::TTable Codes, Altitudes, Flags;
    std::vector<std::string> Warnings;
    bool operator==(const TState &) const = default;
};

TState StateOf(const TTerrainImage &model)
{
    return {PipelineTest::GridCodes(model), TestSupport::GridAltitudes(model), PipelineTest::GridFlags(model),
            model.GetWarnings()};
}

// Both bars in one log, in the order of the calls; at every step of the bar
// the state of the model is kept.
class TLog
{
public:
    std::vector<std::string> Calls;
    std::vector<TState> StateAtStep;
    std::function<void()> OnText; // called when a text is set
};

class TLoggingProgressBar : public TProgressBar
{
public:
    TLoggingProgressBar(TLog &log, const TTerrainImage &model) : Log(log), Model(model) {}
    void SetMin(int Value) override { Log.Calls.push_back("min " + std::to_string(Value)); }
    void SetMax(int Value) override { Log.Calls.push_back("max " + std::to_string(Value)); }
    int GetPosition() const override { return Position; }
    void SetPosition(int Value) override
    {
        Position = Value;
        Log.Calls.push_back("position " + std::to_string(Value));
        Log.StateAtStep.push_back(StateOf(Model));
    }

private:
    TLog &Log;
    const TTerrainImage &Model;
    int Position = 17; // whatever the bar showed before
};

class TLoggingStatusBar : public TStatusBar
{
public:
    explicit TLoggingStatusBar(TLog &log) : Log(log) {}
    void SetSimpleText(const std::string &Text) override
    {
        Log.Calls.push_back("text " + Text);
        if (Log.OnText)
            Log.OnText();
    }

private:
    TLog &Log;
};

class TFixedSeed
{
public:
    explicit TFixedSeed(uint64_t seed) { Random::SetFixedSeed(seed); }
    ~TFixedSeed() { Random::SetFixedSeed(std::nullopt); }
};

// A small world with every kind of border: water and a lake, land of several
// terrains meeting in threes, a single pixel, a line, no-terrain pixels and a
// mountain large enough for a mountain seed.
const std::vector<std::string> SmallWorld = {
    "WWWWWGGGGGGGGGGGGGGGGGG0GGNNNNNNN",
    "WWWWWGGGGGGGGGGGGGGGGGG0GGNNNNNNN",
    "WWWWGGGGGGFGGGGGGGGGGGG0GGNNNNNNN",
    "WWWWGGGGGGGGGGDDDDDDDDDDDDMMMMMMM",
    "WWWGGGGGGGGGGGDDDDDDDDDDDDMMMMMMM",
    "WWWGGGGGGGGGGGDDDDDDDDDDDDMMMMMMM",
    "WWWGGGGSSSSSSSSSSDDDDDDDDDMMMMMMM",
    "WWWGGGGSSSSSSSSSSDDDDDDDDDMMMMMMM",
    "WWWWGGGSSSSSSSSSSDDDDDDDDDMMMMMMM",
    "WWWWGGGSSSSSSSSSSDDDDDDDDDMMMMMMM",
    "WWWWWWGSSSSSSSSSSDDDDDDDDDMMMMMMM",
    "WWWWWWGSSSSSSSSSSJJJJJJJJJMMMMMMM",
    "WWWWWWWWWWWWWWWWWJJJJJWWJJJJJJJJJ",
    "WWWWWWWWWWWWWWWWWJJJJJWWJJJJPPPPP",
};

void PaintSmallWorld(TTerrainImage &model)
{
    PaintGrid(model, SmallWorld);
    // Start altitudes as an image load gives them.
    for (int y = 1; y <= model.GetHeight(); ++y)
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const uint16_t code = model.GetCell(x, y).Code;
            model.SetCell(x, y, -1, code == WATER ? -75 : code == MOUNTAIN ? 20 + (x * 7 + y * 11) % 55 : (x + y) % 10);
        }
}


TEST(Generate, ShowsEveryStageAndStepsTheBarAfterIt)
{
    TFixedSeed fixed(4242);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    PaintSmallWorld(model);
    TLog log;
    TLoggingProgressBar bar(log, model);
    TLoggingStatusBar status(log);

    Generate(model, bar, status);

    std::vector<std::string> expected = {"min 0", "max 9", "position 0"};
    for (size_t k = 0; k < StatusTexts.size(); ++k) {
        expected.push_back("text " + StatusTexts[k]);
        expected.push_back("position " + std::to_string(k + 1));
    }
    EXPECT_EQ(log.Calls, expected);
    EXPECT_EQ(bar.GetPosition(), 9);

    // The state after each step of the bar is the state after that many
    // stages, run one by one on the same world with the same seed.
    TTerrainImage reference(TestSupport::FrozenTilesPath());
    PaintSmallWorld(reference);
    ASSERT_EQ(log.StateAtStep.size(), 10u);
    EXPECT_EQ(log.StateAtStep[0], StateOf(reference));
    for (size_t k = 0; k < Pipeline::Stages.size(); ++k) {
        Pipeline::Stages[k].Straightforward(reference);
        EXPECT_EQ(log.StateAtStep[k + 1], StateOf(reference)) << "after stage " << k + 1;
        if (k > 0) {
            EXPECT_NE(log.StateAtStep[k + 1], log.StateAtStep[k]) << "stage " << k + 1 << " changed nothing";
        }
    }
}

// With no image loaded every stage does nothing, but all nine texts are shown,
// the bar reaches 9, and stage 7 still draws its three numbers for the one
// seed point (seen at the next text, before stage 8 re-seeds).
TEST(Generate, EmptyGridShowsAllTextsAndDraws)
{
    TFixedSeed fixed(99);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    TLog log;
    TLoggingProgressBar bar(log, model);
    TLoggingStatusBar status(log);
    std::optional<uint64_t> stateAfterRandomHeights;
    log.OnText = [&] {
        if (log.Calls.back() == "text " + StatusTexts[7])
            stateAfterRandomHeights = Random::Generator().State;
    };

    Generate(model, bar, status);

    std::vector<std::string> texts;
    for (const std::string &call : log.Calls)
        if (call.rfind("text ", 0) == 0)
            texts.push_back(call.substr(5));
    EXPECT_EQ(texts, StatusTexts);
    EXPECT_EQ(bar.GetPosition(), 9);
    EXPECT_EQ(model.GetErrorCount(), 0);

    TPcg32 expected;
    expected.Seed(99, uint64_t(TSeedSite::RandomHeights));
    for (int draw = 0; draw < 3; ++draw)
        expected.Next32();
    ASSERT_TRUE(stateAfterRandomHeights.has_value());
    EXPECT_EQ(*stateAfterRandomHeights, expected.State);
}

// A second run works on the grid the first one left: nothing is reloaded or
// reset but the warning list, which is empty when stage 3 starts and then holds
// only what this run finds.
TEST(Generate, SecondRunStartsFromTheFirstRunsGridWithoutItsWarnings)
{
    TFixedSeed fixed(5150);
    TTerrainImage model(TestSupport::FrozenTilesPath());
    TTerrainImage reference(TestSupport::FrozenTilesPath());
    PaintSmallWorld(model);
    PaintSmallWorld(reference);
    TLog log;
    TLoggingProgressBar bar(log, model);
    TLoggingStatusBar status(log);
    std::vector<int> warningsAtStage3;
    log.OnText = [&] {
        if (log.Calls.back() == "text " + StatusTexts[2])
            warningsAtStage3.push_back(model.GetErrorCount());
    };

    Generate(model, bar, status);
    const int firstCount = model.GetErrorCount();
    ASSERT_GT(firstCount, 0);
    Generate(model, bar, status);
    EXPECT_EQ(warningsAtStage3, (std::vector<int>{0, 0}));

    // The reference runs the stages by hand twice and keeps all its warnings.
    for (int run = 0; run < 2; ++run)
        for (const Pipeline::TStage &stage : Pipeline::Stages)
            stage.Straightforward(reference);
    EXPECT_EQ(PipelineTest::GridCodes(model), PipelineTest::GridCodes(reference));
    EXPECT_EQ(TestSupport::GridAltitudes(model), TestSupport::GridAltitudes(reference));
    EXPECT_EQ(PipelineTest::GridFlags(model), PipelineTest::GridFlags(reference));
    ASSERT_EQ(model.GetErrorCount(), reference.GetErrorCount() - firstCount);
    for (int i = 0; i < model.GetErrorCount(); ++i) {
        const TErrorItem &got = model.GetErrors()[size_t(i)];
        const TErrorItem &want = reference.GetErrors()[size_t(firstCount + i)];
        EXPECT_EQ(got.X, want.X);
        EXPECT_EQ(got.Y, want.Y);
        EXPECT_EQ(got.Kind, want.Kind);
    }
}

} // namespace

TEST(Generate, ARunStoppedAfterAnyStageKeepsNoBandMemory)
{
    // Stage 8 (smoothing the terrain) hands the memory of its bands to stage
    // 9; a run that ends before stage 9, or after it, keeps none of it.
    for (size_t stopAfter = 7; stopAfter <= 9; ++stopAfter) {
        SCOPED_TRACE("stopped after stage " + std::to_string(stopAfter));
        TFixedSeed fixed(4242);
        TTerrainImage model(TestSupport::BundledTilesPath());
        PaintSmallWorld(model);
        TestSupport::TRecordingProgressBar bar;
        TestSupport::TRecordingStatusBar status;
        size_t stages = 0;
        size_t heldAfterStage8 = 0;
        const bool finished = Generate(model, bar, status, [&] {
            if (++stages == 8)
                heldAfterStage8 = Smoothing::KeptBandBytes();
            return stages == stopAfter;
        });
        EXPECT_EQ(finished, stopAfter == 9);
        if (stopAfter >= 8) {
            EXPECT_GT(heldAfterStage8, 0u); // handed on while the run goes on
        }
        EXPECT_EQ(Smoothing::KeptBandBytes(), 0u);
    }
}
