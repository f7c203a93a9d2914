#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace TestSupport;

namespace {

// A view that writes down every call in order, as one line each.
class TRecordingView : public TGenerateView
{
public:
    struct TBar : TProgressBar
    {
        explicit TBar(std::vector<std::string> &log) : Log(log) {}
        void SetMin(int v) override { Log.push_back("min " + std::to_string(v)); }
        void SetMax(int v) override { Log.push_back("max " + std::to_string(v)); }
        int GetPosition() const override { return Position; }
        void SetPosition(int v) override
        {
            Position = v;
            Log.push_back("position " + std::to_string(v));
        }
        std::vector<std::string> &Log;
        int Position = 0;
    };
    struct TStatus : TStatusBar
    {
        explicit TStatus(std::vector<std::string> &log) : Log(log) {}
        void SetSimpleText(const std::string &text) override { Log.push_back("status " + text); }
        std::vector<std::string> &Log;
    };

    void LockGUI(bool lock) override
    {
        Log.push_back(lock ? "lock" : "unlock");
        Status.SetSimpleText("");
        Bar.SetPosition(0);
    }
    void ClearMemo() override { Log.push_back("clear memo"); }
    void SetMemoLines(const std::vector<std::string> &lines) override
    {
        Memo = lines;
        Log.push_back("memo " + std::to_string(lines.size()));
    }
    TProgressBar &GetProgressBar() override { return Bar; }
    TStatusBar &GetStatusBar() override { return Status; }
    void ProcessMessages() override
    {
        ++Events;
        if (Events == 1)
            Log.push_back("events");
        if (OnEvents)
            OnEvents(Events);
    }
    void ShowError(const std::string &text, const std::string &detail) override
    {
        Log.push_back("error " + text);
        Detail = detail;
    }
    void SetAbortFlag(bool value) override
    {
        Abort = value;
        Log.push_back(value ? "abort set" : "abort cleared");
    }
    bool GetAbortFlag() const override { return Abort; }

    std::vector<std::string> Log;
    TBar Bar{Log};
    TStatus Status{Log};
    std::vector<std::string> Memo;
    std::string Detail;
    int Events = 0;
    bool Abort = true; // left set by an earlier abort: the command must clear it
    std::function<void(int)> OnEvents;
};

std::vector<std::string> StageLines()
{
    return {"status Generating a borderline on all terrain borders",
            "status Checking if all borderline tiles have two terrain tiles as neighbour",
            "status Transforming the borderline to correct border tiles",
            "status Transforming the borderline near water to a coastline",
            "status Fisnishing the tile calculations",
            "status Calculating the height of the coastline",
            "status Setting random heights on the map",
            "status Smoothing the terrain height data",
            "status Smoothing the mountain height data"};
}

class GenerateCommand : public ::testing::Test
{
protected:
    TTempDir Dir;
    TTerrainImage Model{BundledTilesPath()};
    TRecordingView View;
    std::string MapPath = Dir.File("map0.mul");
};

} // namespace

TEST_F(GenerateCommand, RunsItsStepsInOrder)
{
    // Three land terrains meet at the border cell below the forest: one warning.
    PaintGrid(Model, {"GGFFF", "GGFFF", "SSSSS", "SSSSS"});
    EXPECT_EQ(RunGenerateCommand(Model, MapPath, View), TGenerateOutcome::Written);

    std::vector<std::string> expected = {"lock", "status ", "position 0", "clear memo", "events",
                                         "min 0", "max 9", "position 0"};
    int stage = 0;
    for (const auto &text : StageLines()) {
        expected.push_back(text);
        expected.push_back("position " + std::to_string(++stage));
    }
    expected.insert(expected.end(), {"memo " + std::to_string(Model.GetWarnings().size()), "min 0", "max 767",
                                     "position 1", "status Storing map0.mul", "abort cleared"});
    for (int position = 2; position <= 769; ++position) // one step per block-column
        expected.push_back("position " + std::to_string(position));
    expected.insert(expected.end(), {"unlock", "status ", "position 0"});
    EXPECT_EQ(View.Log, expected);
    EXPECT_EQ(View.Memo, Model.GetWarnings());
    EXPECT_FALSE(View.Memo.empty());
    EXPECT_EQ(View.Events, 1 + 768);
    EXPECT_EQ(std::filesystem::file_size(MapPath), 77070336u);
}

TEST_F(GenerateCommand, AbortStopsTheWritingAndKeepsTheOldFile)
{
    WriteFile(MapPath, "previous map");
    PaintGrid(Model, {"GGWW", "GGWW"});
    // The Abort button is pressed during the event processing after block-column 3.
    View.OnEvents = [&](int events) {
        if (events == 1 + 4)
            RunAbortCommand(View);
    };
    EXPECT_EQ(RunGenerateCommand(Model, MapPath, View), TGenerateOutcome::Aborted);
    EXPECT_EQ(View.Events, 1 + 4);
    EXPECT_EQ(ReadFile(MapPath), "previous map");
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul"}));
    // Abort unlocks, sets the flag and puts the bar at 1; the command then unlocks again.
    const std::vector<std::string> tail(View.Log.end() - 8, View.Log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"unlock", "status ", "position 0", "abort set", "position 1",
                                              "unlock", "status ", "position 0"}));
}

TEST_F(GenerateCommand, AnAbortBeforeTheFileIsOpenHasNoEffect)
{
    PaintGrid(Model, {"GG"});
    // Pressed while the pipeline ran: handled at the first event processing, before the
    // file is opened; the command clears the flag once the file is open.
    View.OnEvents = [&](int events) {
        if (events == 1)
            View.SetAbortFlag(true);
    };
    EXPECT_EQ(RunGenerateCommand(Model, MapPath, View), TGenerateOutcome::Written);
    EXPECT_EQ(std::filesystem::file_size(MapPath), 77070336u);
}

TEST_F(GenerateCommand, AFailedWriteShowsTheErrorBoxAndUnlocks)
{
    PaintGrid(Model, {"GG"});
    const std::string path = Dir.File("missing/map0.mul");
    EXPECT_EQ(RunGenerateCommand(Model, path, View), TGenerateOutcome::Failed);
    const std::vector<std::string> tail(View.Log.end() - 4, View.Log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"error Clould not store MAP to " + path + "!", "unlock", "status ",
                                              "position 0"}));
    EXPECT_NE(View.Detail.find(path), std::string::npos);
    EXPECT_TRUE(ListDir(Dir.Path()).empty());
}
