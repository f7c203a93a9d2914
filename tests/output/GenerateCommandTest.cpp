// The Generate command as any front end sees it: the order of its events, a
// stop asked for after a block-column, a map file that cannot be written.
#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "Stages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace TestSupport;

namespace {

// An observer that writes down every event in order, one line each, and
// stops the run after block-column StopAfter when that is set.
class TRecordingObserver : public TGenerateObserver
{
public:
    void RunBegins() override { Note("run begins"); }
    void StageBegins(int stage, int count, const std::string &text) override
    {
        Note("stage " + std::to_string(stage) + "/" + std::to_string(count) + " " + text);
    }
    void StageEnds(int stage, int count) override
    {
        Note("stage " + std::to_string(stage) + "/" + std::to_string(count) + " ends");
        StagesEnded = stage;
    }
    void WarningsReady(const std::vector<std::string> &lines, const std::vector<TErrorItem> &items) override
    {
        Lines = lines;
        Items = items;
        Note("warnings " + std::to_string(lines.size()));
    }
    void WritingBegins(int columns, const std::string &text) override
    {
        Note("writing " + std::to_string(columns) + " " + text);
    }
    void ColumnWritten(int column, int columns) override
    {
        Note("column " + std::to_string(column) + " of " + std::to_string(columns));
        LastColumn = column;
    }
    bool StopRequested() override
    {
        Note("stop?");
        if (StopAfterStage >= 0 && LastColumn < 0)
            return StagesEnded >= StopAfterStage;
        return StopAfter >= 0 && LastColumn >= StopAfter;
    }
    void RunEnds(const TGenerateResult &result) override
    {
        const char *names[] = {"Written", "Aborted", "Failed"};
        Note(std::string("run ends ") + names[int(result.Outcome)]);
        Ended = result;
    }

    // How many lines the log has that start with Prefix.
    size_t Count(const std::string &prefix) const
    {
        size_t count = 0;
        for (const std::string &line : Log)
            count += line.rfind(prefix, 0) == 0;
        return count;
    }

    std::vector<std::string> Log;
    std::vector<std::string> Lines;
    std::vector<TErrorItem> Items;
    std::optional<TGenerateResult> Ended;
    int LastColumn = -1;
    int StopAfter = -1;      // stop after this block-column
    int StopAfterStage = -1; // stop after this stage (from 1)
    int StagesEnded = 0;

private:
    void Note(const std::string &line) { Log.push_back(Ended ? "after the end: " + line : line); }
};

class GenerateCommand : public ::testing::Test
{
protected:
    TTempDir Dir;
    TTerrainImage Model{BundledTilesPath()};
    TRecordingObserver Observer;
    std::string MapPath = Dir.File("map0.mul");
};

} // namespace

TEST_F(GenerateCommand, ReportsItsStepsInOrder)
{
    // Three land terrains meet at the border cell below the forest: warnings.
    PaintGrid(Model, {"GGFFF", "GGFFF", "SSSSS", "SSSSS"});
    const TGenerateResult result = RunGenerateCommand(Model, MapPath, Observer);
    EXPECT_EQ(result.Outcome, TGenerateOutcome::Written);
    EXPECT_EQ(result.Error, "");

    std::vector<std::string> expected = {"run begins"};
    int stage = 0;
    for (const Pipeline::TStage &each : Pipeline::Stages) {
        ++stage;
        expected.push_back("stage " + std::to_string(stage) + "/9 " + each.StatusText);
        expected.push_back("stage " + std::to_string(stage) + "/9 ends");
    }
    expected.push_back("warnings " + std::to_string(Model.GetWarnings().size()));
    expected.push_back("writing 768 Storing map0.mul");
    for (int column = 0; column < 768; ++column) {
        expected.push_back("column " + std::to_string(column) + " of 768");
        expected.push_back("stop?");
    }
    expected.push_back("run ends Written");
    // A stop is asked for after every stage but the last.
    for (int k = 8; k >= 1; --k)
        expected.insert(expected.begin() + 1 + 2 * k, "stop?");
    EXPECT_EQ(Observer.Log, expected);
    EXPECT_EQ(expected[1], "stage 1/9 Generating a borderline on all terrain borders");

    // The lines and, one for one, the warnings they name.
    ASSERT_FALSE(Observer.Lines.empty());
    EXPECT_EQ(Observer.Lines, Model.GetWarnings());
    ASSERT_EQ(Observer.Items.size(), Observer.Lines.size());
    for (size_t i = 0; i < Observer.Items.size(); ++i) {
        const TErrorItem &item = Observer.Items[i];
        EXPECT_EQ(item.Kind, 1);
        EXPECT_NE(Observer.Lines[i].find(" " + std::to_string(item.X) + "/" + std::to_string(item.Y) + "."),
                  std::string::npos)
            << Observer.Lines[i];
    }
    EXPECT_EQ(std::filesystem::file_size(MapPath), 77070336u);
}

// Stopped after block-column k: exactly k + 1 block-columns were written and
// asked about, and the earlier file is as it was, with nothing left beside it.
TEST_F(GenerateCommand, AStopAfterAColumnLeavesTheEarlierFile)
{
    for (const int k : {0, 3, 767}) {
        SCOPED_TRACE(k);
        WriteFile(MapPath, "previous map");
        PaintGrid(Model, {"GGWW", "GGWW"});
        TRecordingObserver observer;
        observer.StopAfter = k;
        const TGenerateResult result = RunGenerateCommand(Model, MapPath, observer);
        EXPECT_EQ(result.Outcome, TGenerateOutcome::Aborted);
        EXPECT_EQ(observer.Count("column "), size_t(k + 1));
        EXPECT_EQ(observer.Count("stop?"), size_t(8 + k + 1)); // after stages 1 to 8, then the columns
        EXPECT_EQ(observer.LastColumn, k);
        EXPECT_EQ(observer.Log.back(), "run ends Aborted");
        ASSERT_TRUE(observer.Ended.has_value());
        EXPECT_EQ(observer.Ended->Outcome, TGenerateOutcome::Aborted);
        EXPECT_EQ(ReadFile(MapPath), "previous map");
        EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul"}));
    }
}

// A map file that cannot be written is a result, not an exception: Failed,
// with a message that names the file, after the warnings were handed over.
TEST_F(GenerateCommand, AnOutputThatCannotBeWrittenFails)
{
    std::filesystem::create_directory(Dir.File("folder"));
    for (const std::string &path : {Dir.File("missing/map0.mul"), Dir.File("folder")}) {
        SCOPED_TRACE(path);
        PaintGrid(Model, {"GG"});
        TRecordingObserver observer;
        const TGenerateResult result = RunGenerateCommand(Model, path, observer);
        EXPECT_EQ(result.Outcome, TGenerateOutcome::Failed);
        EXPECT_NE(result.Error.find(path), std::string::npos) << result.Error;
        ASSERT_TRUE(observer.Ended.has_value());
        EXPECT_EQ(observer.Ended->Outcome, TGenerateOutcome::Failed);
        EXPECT_EQ(observer.Ended->Error, result.Error);
        const std::vector<std::string> tail(observer.Log.end() - 3, observer.Log.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"warnings 0", "writing 768 Storing map0.mul", "run ends Failed"}));
        EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"folder"}));
        EXPECT_TRUE(std::filesystem::is_empty(Dir.File("folder")));
    }
}

// A front end that shows nothing and never stops still gets the whole map.
TEST_F(GenerateCommand, TheDefaultObserverLetsTheRunFinish)
{
    PaintGrid(Model, {"GG"});
    TGenerateObserver silent;
    const TGenerateResult result = RunGenerateCommand(Model, MapPath, silent);
    EXPECT_EQ(result.Outcome, TGenerateOutcome::Written);
    EXPECT_EQ(std::filesystem::file_size(MapPath), 77070336u);
}

TEST_F(GenerateCommand, AStopDuringThePipelineEndsTheRunBeforeAnyFileIsTouched)
{
    for (const int stage : {1, 4, 8}) {
        SCOPED_TRACE(stage);
        WriteFile(MapPath, "an earlier map");
        TRecordingObserver observer;
        observer.StopAfterStage = stage;
        PaintGrid(Model, {"GGFFF", "GGFFF", "SSSSS", "SSSSS"});
        const TGenerateResult result = RunGenerateCommand(Model, MapPath, observer);
        EXPECT_EQ(result.Outcome, TGenerateOutcome::Aborted);
        EXPECT_EQ(observer.StagesEnded, stage);
        EXPECT_EQ(observer.Count("warnings"), 0u);
        EXPECT_EQ(observer.Count("writing"), 0u);
        ASSERT_FALSE(observer.Log.empty());
        EXPECT_EQ(observer.Log.back(), "run ends Aborted");
        EXPECT_EQ(ReadFile(MapPath), "an earlier map");
        EXPECT_EQ(ListDir(Dir.Path()), std::vector<std::string>{"map0.mul"});
    }
}
