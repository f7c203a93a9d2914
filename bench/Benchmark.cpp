// Times every stage of the pipeline and the map writer on the example world,
// in the straightforward form (the stages of Pipeline.h, FillBlockColumn)
// and in the fast form that Generate and the writer use, checks that both give
// the same grid after every stage and the same map file, and prints the times;
// then the statics, and whole runs (load, Generate, write) without statics
// and with decorated ones, each the median of five, the flush apart.
//
//   morvane-bench [--width W] [--height H] [--seed S]     (defaults 6144 4096 1)
//   morvane-bench --load-only                             only the picture load
#include "ClassTerrainImage.h"
#include "ExecutablePath.h"
#include "GenerateCommand.h"
#include "ImportMergeBench.h"
#include "MapPreview.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "Pipeline.h"
#include "Progress.h"
#include "SmoothingBands.h"
#include "Statics.h"
#include "Stages.h"
#include "WorldImage.h"
#include "WorldPainter.h"

#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

bool SameGrid(const TTerrainImage &a, const TTerrainImage &b)
{
    const size_t cells = size_t(a.GetWidth() + 2) * size_t(a.GetHeight() + 2);
    return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() &&
           std::memcmp(a.CellData(), b.CellData(), cells * sizeof(TCell)) == 0 &&
           std::memcmp(a.FlagData(), b.FlagData(), cells) == 0 && a.GetWarnings() == b.GetWarnings();
}

// The writer as it stands in the straightforward form: one block-column at a
// time through FillBlockColumn, saved the same way.
void WriteStraightforward(TTerrainImage &model, const std::string &path)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(path + ": cannot be written");
    std::vector<uint8_t> buffer(MapFile::ColumnBytes);
    for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
        FillBlockColumn(model, bx, buffer.data());
        file.write(reinterpret_cast<const char *>(buffer.data()), MapFile::ColumnBytes);
    }
    if (!file.commit())
        throw std::runtime_error(path + ": cannot be written");
}

bool SameFile(const std::string &a, const std::string &b)
{
    const auto read = [](const std::string &path) {
        std::vector<char> bytes(std::filesystem::file_size(path));
        FILE *f = std::fopen(path.c_str(), "rb");
        const size_t got = f ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
        if (f)
            std::fclose(f);
        bytes.resize(got);
        return bytes;
    };
    return read(a) == read(b);
}

// Writes the map of the fast model in the given size and format from the state
// the stages left, times it, and reads it back: true when every block-column
// equals the straightforward filler's (block headers aside).
bool TimeMapOutput(TTerrainImage &model, const TPcg32 &afterStages, const std::filesystem::path &dir,
                   const TMapSize &size, TMapFormat format)
{
    TMapOutput output;
    output.FileName = (dir / (format == TMapFormat::Uop ? "map0LegacyMUL.uop" : "map0.mul")).string();
    output.Size = size;
    output.Format = format;
    Random::Generator() = afterStages;
    const auto start = TClock::now();
    WriteMapFile(model, output);
    const double ms = MillisecondsSince(start);

    TMapReader reader(output.FileName, size);
    Random::Generator() = afterStages;
    std::vector<uint8_t> reference(size.ColumnBytes()), read(size.ColumnBytes());
    bool same = true;
    for (int bx = 0; bx < size.BlockColumns() && same; ++bx) {
        FillBlockColumn(model, size, bx, reference.data());
        reader.ReadBlockColumn(bx, read.data());
        for (int by = 0; by < size.BlockRows() && same; ++by)
            same = std::memcmp(reference.data() + by * 196 + 4, read.data() + by * 196 + 4, 192) == 0;
    }
    const std::string label = std::string("writer ") + FormatName(format) + " " + std::to_string(size.Width) + "x" +
                              std::to_string(size.Height);
    std::printf("%-26s %10.1f ms %6.2f ns/cell %s\n", label.c_str(), ms, ms * 1e6 / double(size.Cells()),
                same ? "reads back as the model's map" : "  DIFFERENT CELLS");
    std::filesystem::remove(output.FileName);
    return same;
}

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// Decoration and shore waves of the bundled configuration on the final grid,
// the median of five runs of the fast walk that the writer uses, then of the
// straightforward walk, which must give the same bytes; the map's generator is
// left as it is. False when the two differ.
bool TimeStatics(const TTerrainImage &model, const std::string &tiles)
{
    const TDecorationConfig config = ReadDecorationConfig(tiles);
    const TMapSize size{model.GetWidth() / 8 * 8, model.GetHeight() / 8 * 8};
    std::vector<double> times, cpuTimes, straightforwardTimes;
    TStaticsCounts counts;
    size_t bytes = 0;
    TStaticsFiles files;
    for (int run = 0; run < 5; ++run) {
        const auto start = TClock::now();
        const std::clock_t cpuStart = std::clock(); // one thread: on a busy machine the wall time is longer
        files = BuildStatics(model, size, config, Random::NewStream(TSeedSite::Decoration), &counts);
        cpuTimes.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        times.push_back(MillisecondsSince(start));
        bytes = files.Index.capacity() + files.Data.capacity();
    }
    bool same = true;
    for (int run = 0; run < 5; ++run) {
        const auto start = TClock::now();
        const TStaticsFiles straightforward = BuildStatics(model, size, config, Random::NewStream(TSeedSite::Decoration),
                                                           nullptr, TStaticsWalk::Straightforward);
        straightforwardTimes.push_back(MillisecondsSince(start));
        same = same && straightforward.Index == files.Index && straightforward.Data == files.Data;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    uint64_t decorated = 0;
    for (uint64_t n : counts.Decorated)
        decorated += n;
    // What a run holds besides the map at most: both files, one bit per cell
    // for the spacing, a count per block and the statics waiting for their
    // blocks (8 bytes each, in a buffer that may have grown to twice that).
    const double megabytes =
        double(bytes + size.Cells() / 8 + size.Blocks() * 4 + counts.Records * 16) / (1 << 20);
    std::printf("%-26s %10.1f ms (median of 5; %.1f ms CPU), %llu statics: %llu decorated cells, %llu waves; "
                "at most %.1f MB\n",
                "statics (decorated)", times[2], cpuTimes[2], (unsigned long long)counts.Records,
                (unsigned long long)decorated, (unsigned long long)counts.Waves, megabytes);
    for (uint16_t code = DIRT; code <= SWAMP; ++code)
        if (counts.PlainCells[code] > 0)
            std::printf("  %-9s %10llu plain cells, %5.2f %% decorated of %5.2f %% asked\n",
                        TTerrainImage::TerrainName(code), (unsigned long long)counts.PlainCells[code],
                        100.0 * double(counts.Decorated[code]) / double(counts.PlainCells[code]),
                        config.Terrains[code].Density / 100.0);
    std::printf("%-26s %10.1f ms (median of 5) %s\n", "statics, straightforward", Median(straightforwardTimes),
                same ? "same bytes" : "  DIFFERENT BYTES");
    return same;
}

// The times of one run as the command line makes it: the tile configuration
// and the picture loaded into a fresh model, Generate, and the map file (with
// the statics files when asked for) written and saved; the save's wait for
// the disk (the flush) apart.
struct TRunTimes
{
    double Load = 0, Generate = 0, Write = 0, Flush = 0;
    // Parts of Write with statics: waiting for them after the map's last
    // block-column (they are built while the map is written), and handing
    // their files to the save.
    double Statics = 0, StaticsFiles = 0;
    double WithoutFlush() const { return Load + Generate + Write; }
};

class TQuietProgress : public TProgressBar, public TStatusBar
{
public:
    void SetMin(int) override {}
    void SetMax(int) override {}
    int GetPosition() const override { return Position; }
    void SetPosition(int Value) override { Position = Value; }
    void SetSimpleText(const std::string &) override {}

private:
    int Position = 0;
};

TRunTimes TimeWholeRun(const std::string &picture, const std::string &tiles, const std::filesystem::path &dir,
                       uint64_t seed, TStaticsChoice statics)
{
    TRunTimes times;
    Random::SetFixedSeed(seed);
    auto start = TClock::now();
    TTerrainImage model(tiles);
    TMapOutput output = TMapOutput::ForFile((dir / "map0.mul").string(), MapSizes::Classic, statics);
    if (statics == TStaticsChoice::Decorated)
        output.Decoration = ReadDecorationConfig(tiles);
    model.LoadFromBMP(picture);
    times.Load = MillisecondsSince(start);
    start = TClock::now();
    TQuietProgress progress;
    Generate(model, progress, progress);
    times.Generate = MillisecondsSince(start);
    start = TClock::now();
    TClock::time_point lastColumn, built, complete;
    TMapWriterHooks hooks;
    hooks.AfterColumn = [&](int) {
        lastColumn = TClock::now();
        return false;
    };
    hooks.StaticsBuilt = [&](const TStaticsCounts &) { built = TClock::now(); };
    hooks.Complete = [&] { complete = TClock::now(); };
    WriteMapFile(model, output, hooks);
    const auto between = [](TClock::time_point a, TClock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    times.Write = between(start, complete);
    times.Flush = MillisecondsSince(complete);
    if (statics == TStaticsChoice::Decorated) {
        times.Statics = between(lastColumn, built);
        times.StaticsFiles = between(built, complete);
    }
    return times;
}

// Five whole runs without statics and five with decorated statics, taken in
// turns so that a change in the machine's load falls on both alike; the
// medians of each part, and what the statics add.
void TimeWholeRuns(const std::string &picture, const std::string &tiles, const std::filesystem::path &dir,
                   uint64_t seed)
{
    std::vector<TRunTimes> plain, decorated;
    for (int run = 0; run < 5; ++run) {
        plain.push_back(TimeWholeRun(picture, tiles, dir, seed, TStaticsChoice::None));
        decorated.push_back(TimeWholeRun(picture, tiles, dir, seed, TStaticsChoice::Decorated));
    }
    const auto median = [](const std::vector<TRunTimes> &runs, double (*part)(const TRunTimes &)) {
        std::vector<double> values;
        for (const TRunTimes &t : runs)
            values.push_back(part(t));
        return Median(values);
    };
    std::printf("%-26s %8s %9s %8s %13s %8s   (medians of 5)\n", "whole run", "load", "generate", "write",
                "without flush", "flush");
    for (const auto &[label, runs] : {std::pair{"no statics", &plain}, std::pair{"decorated statics", &decorated}})
        std::printf("%-26s %5.1f ms %6.1f ms %5.1f ms %10.1f ms %5.1f ms\n", label,
                    median(*runs, [](const TRunTimes &t) { return t.Load; }),
                    median(*runs, [](const TRunTimes &t) { return t.Generate; }),
                    median(*runs, [](const TRunTimes &t) { return t.Write; }),
                    median(*runs, [](const TRunTimes &t) { return t.WithoutFlush(); }),
                    median(*runs, [](const TRunTimes &t) { return t.Flush; }));
    std::printf("%-26s %16s %5.1f ms waiting for the statics, %5.1f ms their files\n", "  of that write", "",
                median(decorated, [](const TRunTimes &t) { return t.Statics; }),
                median(decorated, [](const TRunTimes &t) { return t.StaticsFiles; }));
    // On a busy machine the medians of two sets of whole runs differ by more
    // than the statics take; the fastest runs, beside them, say more there.
    const auto fastest = [](const std::vector<TRunTimes> &runs) {
        double least = runs[0].WithoutFlush();
        for (const TRunTimes &t : runs)
            least = std::min(least, t.WithoutFlush());
        return least;
    };
    std::printf("%-26s %43.1f ms   (fastest runs: %.1f ms)\n", "statics add, without flush",
                median(decorated, [](const TRunTimes &t) { return t.WithoutFlush(); }) -
                    median(plain, [](const TRunTimes &t) { return t.WithoutFlush(); }),
                fastest(decorated) - fastest(plain));
    std::filesystem::remove(dir / "map0.mul");
    std::filesystem::remove(dir / "staidx0.mul");
    std::filesystem::remove(dir / "statics0.mul");
}

int ArgumentOr(int argc, char **argv, const char *name, long long fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return int(fallback);
}

bool HasFlag(int argc, char **argv, const char *name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    const int width = ArgumentOr(argc, argv, "--width", 6144);
    const int height = ArgumentOr(argc, argv, "--height", 4096);
    const uint64_t seed = uint64_t(ArgumentOr(argc, argv, "--seed", 1));
    const auto dir = std::filesystem::temp_directory_path() / ("morvane-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string picture = (dir / "world.bmp").string();
    const std::string tiles = FileNextToExecutable("Tiles.ini");

    std::printf("Example world %d x %d, seed %llu\n", width, height, (unsigned long long)seed);
    auto start = TClock::now();
    SaveWorldBmp(PaintWorld(width, height, seed), picture);
    std::printf("%-26s %10.1f ms\n", "painting the world", MillisecondsSince(start));

    Random::SetFixedSeed(seed);
    TTerrainImage straightforward(tiles), fast(tiles);
    straightforward.LoadFromBMP(picture);
    // The median of five loads, each into a model of its own as a program's
    // first load is; the load above has put the file in the page cache, so
    // each measures decoding, not the disk. The processor time of all threads
    // is given beside the wall-clock time: on a busy machine it says more.
    std::vector<double> loads, processor;
    for (int i = 0; i < 5; ++i) {
        TTerrainImage fresh(tiles);
        const std::clock_t cpuStart = std::clock();
        start = TClock::now();
        fresh.LoadFromBMP(picture);
        loads.push_back(MillisecondsSince(start));
        processor.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    }
    fast.LoadFromBMP(picture);
    std::sort(loads.begin(), loads.end());
    std::sort(processor.begin(), processor.end());
    std::printf("%-26s %10.1f ms   (median of 5; %.1f to %.1f; processor time %.1f ms)\n\n", "loading the picture",
                loads[2], loads[0], loads[4], processor[2]);
    if (HasFlag(argc, argv, "--load-only")) {
        std::filesystem::remove_all(dir);
        return SameGrid(straightforward, fast) ? 0 : 1;
    }

    if (HasFlag(argc, argv, "--merge-only")) {
        // Only the import of the map and the merge into it.
        Random::SetFixedSeed(seed);
        const std::string importMap = (dir / "import.mul").string();
        TGenerateObserver quiet;
        RunGenerateCommand(fast, TMapOutput::ForFile(importMap), quiet);
        TimeImportAndMerge(tiles, picture, importMap, dir.string(), seed);
        std::filesystem::remove_all(dir);
        return 0;
    }

    std::printf("%-26s %14s %10s %8s\n", "stage", "straightforward", "fast", "ratio");
    double totalStraightforward = 0, totalFast = 0;
    bool identical = true;
    // As in Generate: stage 8 hands its band memory to stage 9 through the run's memory.
    Smoothing::TRunMemory runMemory;
    for (size_t k = 0; k < Pipeline::Stages.size(); ++k) {
        const Pipeline::TStage &stage = Pipeline::Stages[k];
        start = TClock::now();
        stage.Straightforward(straightforward);
        const double slow = MillisecondsSince(start);
        start = TClock::now();
        stage.Fast(fast);
        const double quick = MillisecondsSince(start);
        const bool same = SameGrid(straightforward, fast);
        identical = identical && same;
        totalStraightforward += slow;
        totalFast += quick;
        const std::string name = std::to_string(k + 1) + " " + stage.Name;
        std::printf("%-26s %12.1f ms %7.1f ms %7.1fx%s\n", name.c_str(), slow, quick, slow / quick,
                    same ? "" : "  DIFFERENT GRID");
    }

    const std::string slowMap = (dir / "straightforward.mul").string();
    const std::string fastMap = (dir / "fast.mul").string();
    const TPcg32 afterStages = Random::Generator();
    start = TClock::now();
    WriteStraightforward(straightforward, slowMap);
    const double slowWrite = MillisecondsSince(start);
    Random::Generator() = afterStages;
    start = TClock::now();
    WriteMapFile(fast, fastMap);
    const double fastWrite = MillisecondsSince(start);
    const bool sameMap = SameFile(slowMap, fastMap);
    identical = identical && sameMap;
    totalStraightforward += slowWrite;
    totalFast += fastWrite;
    std::printf("%-26s %12.1f ms %7.1f ms %7.1fx%s\n", "map writer", slowWrite, fastWrite, slowWrite / fastWrite,
                sameMap ? "" : "  DIFFERENT BYTES");
    std::printf("%-26s %12.1f ms %7.1f ms %7.1fx\n", "Generate + writer", totalStraightforward, totalFast,
                totalStraightforward / totalFast);

    // The preview of the whole map and its PNG file.
    start = TClock::now();
    const TPreviewPicture preview = RenderMapPreview(fast, MapSizes::Classic);
    const double renderMs = MillisecondsSince(start);
    const std::string previewFile = (dir / "preview.png").string();
    start = TClock::now();
    SaveMapPreview(preview, previewFile);
    std::printf("%-26s %10.1f ms\n%-26s %10.1f ms %8.1f MB\n", "preview picture", renderMs, "preview PNG file",
                MillisecondsSince(start), double(std::filesystem::file_size(previewFile)) / 1e6);
    std::printf("\n");
    identical = TimeStatics(fast, tiles) && identical;
    std::printf("\n");
    TimeWholeRuns(picture, tiles, dir, seed);

    // The writer at the classic and the current size, in both forms.
    std::printf("\n");
    for (const TMapSize &size : {MapSizes::Classic, TMapSize{7168, 4096}})
        for (const TMapFormat format : {TMapFormat::Mul, TMapFormat::Uop})
            identical = TimeMapOutput(fast, afterStages, dir, size, format) && identical;

    // Reading the map back into a picture, and a merge of a small change.
    std::printf("\n");
    Random::Generator() = afterStages;
    const std::string importMap = (dir / "import.mul").string();
    WriteMapFile(fast, importMap);
    TimeImportAndMerge(tiles, picture, importMap, dir.string(), seed);

    std::printf("\n%s\n", identical ? "Grids, warnings and map bytes identical; maps read back cell for cell."
                                      : "RESULTS DIFFER.");

    std::filesystem::remove_all(dir);
    return identical ? 0 : 1;
}
