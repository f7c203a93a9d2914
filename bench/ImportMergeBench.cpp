// The import of a full-size map into a picture and a merge of a repainted
// picture into the map, each the median of five, beside a whole run (load,
// stages, writer) of the same picture.
#include "ImportMergeBench.h"

#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "ImportCommand.h"
#include "MapMerge.h"
#include "MapReader.h"
#include "Random.h"
#include "TerrainPicture.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// The median of five runs of Work, in milliseconds; Processor, when given,
// gets the median processor time of all threads (on a busy machine it says
// more than the wall-clock time).
double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// One run of Work in milliseconds; Processor gets the processor time of
// all threads.
double Timed(const std::function<void()> &Work, double *Processor)
{
    const std::clock_t cpuStart = std::clock();
    const auto start = TClock::now();
    Work();
    *Processor = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double Median5(const std::function<void()> &Work, double *Processor = nullptr)
{
    std::vector<double> times, processor;
    for (int run = 0; run < 5; ++run) {
        double cpu = 0;
        times.push_back(Timed(Work, &cpu));
        processor.push_back(cpu);
    }
    if (Processor)
        *Processor = Median(processor);
    return Median(times);
}

void SavePicture(const TTerrainImport &Import, const TTerrainImage &Config, const std::string &Path)
{
    std::ofstream out(Path, std::ios::binary);
    WriteTerrainPicture(Import, MakeTerrainPalette(Config), TPictureKind::Bmp, [&](const uint8_t *Data, size_t Bytes) {
        out.write(reinterpret_cast<const char *>(Data), std::streamsize(Bytes));
    });
}

} // namespace

void TimeImportAndMerge(const std::string &Tiles, const std::string &Picture, const std::string &MapPath,
                        const std::string &Dir, unsigned long long Seed)
{
    TTerrainImage config(Tiles);
    const std::string back = Dir + "/back.bmp", backPng = Dir + "/back.png";
    TTerrainImport import;
    const double bmp = Median5([&] { import = ImportMapToPicture(MapPath, std::nullopt, config, {}, back); });
    const double png = Median5([&] { ImportMapToPicture(MapPath, std::nullopt, config, {}, backPng); });
    std::printf("%-26s %10.1f ms (median of 5; %llu cells of no terrain)\n", "import to BMP", bmp,
                (unsigned long long)import.UnknownCells);
    // Its parts: reading the map's cells, finding the terrains, the picture's bytes.
    TMapCells cells;
    const double read = Median5([&] {
        TMapReader map(MapPath);
        cells = ReadMapCells(map);
    });
    const TTileClasses classes(config, {});
    const double terrains = Median5([&] { ImportTerrains(cells, classes); });
    std::vector<uint8_t> bytes;
    const double picture = Median5([&] {
        bytes.clear();
        WriteTerrainPicture(import, MakeTerrainPalette(config), TPictureKind::Bmp,
                            [&](const uint8_t *Data, size_t Count) { bytes.insert(bytes.end(), Data, Data + Count); });
    });
    std::printf("  read %.1f ms, terrains %.1f ms, picture bytes %.1f ms; the rest is the save\n", read, terrains,
                picture);
    std::printf("%-26s %10.1f ms (median of 5; %.1f MB)\n", "import to PNG", png,
                double(std::filesystem::file_size(backPng)) / 1e6);

    // A lake of 1 % of the cells in one place, painted on the imported picture.
    const int cx = import.Width / 2, cy = import.Height / 2;
    const double radius = std::sqrt(0.01 * double(import.Width) * double(import.Height) / 3.14159265);
    uint64_t lake = 0;
    for (int y = 0; y < import.Height; ++y)
        for (int x = 0; x < import.Width; ++x)
            if (double(x - cx) * (x - cx) + double(y - cy) * (y - cy) <= radius * radius) {
                import.Codes[size_t(y) * size_t(import.Width) + size_t(x)] = WATER;
                ++lake;
            }
    const std::string lakePicture = Dir + "/lake.bmp";
    SavePicture(import, config, lakePicture);

    // The whole run the merge is measured against: load, stages, writer.
    TGenerateObserver quiet;
    const std::string whole = Dir + "/whole.mul";
    const auto wholeRun = [&] {
        Random::SetFixedSeed(Seed);
        TTerrainImage model(Tiles);
        model.LoadFromBMP(Picture);
        RunGenerateCommand(model, TMapOutput::ForFile(whole), quiet);
    };
    const std::string merged = Dir + "/merged.mul";
    uint64_t remade = 0, changed = 0;
    const auto mergeRun = [&] {
        // As the command line merges: the existing map read and imported on a
        // thread of its own while the picture loads and the first stages run.
        Random::SetFixedSeed(Seed);
        TTerrainImage model(Tiles);
        const TTileClasses classes(model, {});
        TExistingMapReading reading(MapPath, std::nullopt, TLoadOptions::DefaultMemoryBudget, classes);
        TLoadOptions load;
        load.DeferStartAltitudes = true;
        model.LoadFromBMP(lakePicture, load);
        TMergeRegion region;
        TStaticsMergeReport report;
        TMergeStatics statics;
        statics.Ours = [](uint16_t) { return false; };
        RunGenerateCommand(model, TMapOutput::ForFile(merged, TMapSize{import.Width, import.Height}), quiet,
                           MakeMergeRun(reading, region, statics, report));
        remade = region.RemadeBlocks;
        changed = region.ChangedCells;
    };
    // The two take turns, so that both meet the same state of the machine
    // (on a shared machine its speed drifts over seconds); each pair gives a
    // share, and the median share is the one reported.
    std::vector<double> shares, fulls, merges, fullCpu, mergeCpu;
    for (int pair = 0; pair < 5; ++pair) {
        double cpu = 0;
        fulls.push_back(Timed(wholeRun, &cpu));
        fullCpu.push_back(cpu);
        merges.push_back(Timed(mergeRun, &cpu));
        mergeCpu.push_back(cpu);
        shares.push_back(merges.back() / fulls.back());
    }
    const double full = Median(fulls), merge = Median(merges);
    const double fullProcessor = Median(fullCpu), mergeProcessor = Median(mergeCpu);
    // The parts of one merge one after the other: the existing map read, the
    // picture loaded, the import and the region, then the Generate command
    // with its stages and writer.
    {
        Random::SetFixedSeed(Seed);
        auto start = TClock::now();
        const auto lap = [&start] {
            const double ms = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
            start = TClock::now();
            return ms;
        };
        TExistingMap existing = ReadExistingMap(MapPath, std::nullopt);
        const double read = lap();
        TTerrainImage model(Tiles);
        TLoadOptions deferred;
        deferred.DeferStartAltitudes = true;
        model.LoadFromBMP(lakePicture, deferred);
        const double load = lap();
        const TTileClasses classes(model, {});
        const TMergeRegion region = FindMergeRegion({model.LoadedCodes(), size_t(model.GetWidth()) * size_t(model.GetHeight())}, ImportTerrains(existing.Cells, classes), existing.Cells, classes);
        const double compare = lap();
        TStaticsMergeReport report;
        TMergeStatics statics;
        statics.Ours = [](uint16_t) { return false; };
        std::vector<double> stages;
        TPartialRun run = MakeMergeRun(existing, region, statics, report);
        const auto before = run.BeforeStage;
        run.BeforeStage = [&](size_t Stage, TTerrainImage &Model) {
            stages.push_back(lap());
            return before(Stage, Model);
        };
        RunGenerateCommand(model, TMapOutput::ForFile(merged, existing.Size), quiet, run);
        const double writer = lap();
        std::printf("  merge: read %.1f ms, load %.1f, compare %.1f, stages 1-7 %.1f, 8 %.1f, 9 and writer %.1f\n", read,
                    load, compare, stages.size() == 9 ? stages[1] + stages[2] + stages[3] + stages[4] + stages[5] + stages[6] + stages[7] : 0.0,
                    stages.size() == 9 ? stages[8] : 0.0, writer);
    }
    std::printf("%-26s %10.1f ms (median of 5, taking turns with the merge: load, stages, writer; processor "
                "time %.1f ms)\n", "whole run", full, fullProcessor);
    std::printf("%-26s %10.1f ms (median of 5; a lake of %llu cells, %llu changed, %llu blocks remade)\n%-26s %10.1f "
                "ms processor time\n%-26s %10.2f of the whole run (median of the 5 pairs' shares; %.2f to %.2f)\n",
                "merge of a 1 % change", merge, (unsigned long long)lake, (unsigned long long)changed,
                (unsigned long long)remade, "", mergeProcessor, "", Median(shares),
                *std::min_element(shares.begin(), shares.end()), *std::max_element(shares.begin(), shares.end()));
}
