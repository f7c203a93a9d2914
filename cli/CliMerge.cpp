// --merge-into: the existing map is read whole, the picture compared with the
// terrain the import reads from it, and only the blocks around what changed
// are made anew; everything else is written back byte for byte.
#include "CliRun.h"
#include "CliShared.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "ImportTiles.h"
#include "Interrupt.h"
#include "KeptCodes.h"
#include "MapMerge.h"
#include "MapReader.h"
#include "OutputTarget.h"
#include "Platform.h"
#include "Random.h"
#include "ShoreWaves.h"
#include "StaticsReader.h"
#include "TerminalObserver.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

// The ids that decoration and waves put on a map: taken out of remade blocks.
std::function<bool(uint16_t)> OursOf(const TDecorationConfig &Decoration)
{
    auto ours = std::make_shared<std::vector<bool>>(65536, false);
    for (const TTerrainDecoration &terrain : Decoration.Terrains)
        for (const TDecorationGroup &group : terrain.Groups)
            for (const TDecorationPart &part : group.Parts)
                for (const TIdRange &range : part.Ranges)
                    for (uint32_t id = range.First; id <= range.Last; ++id)
                        (*ours)[id] = true;
    return [ours](uint16_t Id) { return (*ours)[Id] || ShoreWaves::IsWave(Id); };
}

std::string Share(uint64_t Part, uint64_t Whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", Whole ? 100.0 * double(Part) / double(Whole) : 0.0);
    return text;
}

} // namespace

int RunMerge(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress)
{
    const std::string &existingPath = *Options.MergePath;
    TMapOutput output = MapOutputOf(Options);
    // The existing map and its statics may be the outputs: that is what a
    // merge is for. Every other input must not be one.
    std::vector<TRunFile> inputs = InputsOf(Options);
    const bool inPlace = IsSameFile(existingPath, output.FileName);
    if (!inPlace)
        inputs.push_back({existingPath, "the existing map"});
    const std::vector<TRunFile> outputs = OutputsOf(Options);
    if (const auto clash = FindFileClash(inputs, outputs)) {
        Report(Err, *clash);
        return ExitUsage;
    }
    std::vector<std::string> targets{existingPath};
    for (const TRunFile &file : outputs)
        targets.push_back(file.Path);
    for (const std::string &line : RecoverInterruptedSaves(targets))
        Report(Err, line);
    if (Options.TilesPath)
        if (const std::string problem = ProblemOfNamedTiles(*Options.TilesPath); !problem.empty()) {
            Report(Err, "cannot read the tile configuration: " + problem);
            return ExitTiles;
        }

    // The existing map's size first: it is the output's. The map itself is
    // read on a thread of its own once the configuration is known.
    const std::optional<TMapSize> givenSize =
        Options.SizeGiven || Options.Facet ? std::optional<TMapSize>(Options.MapSize) : std::nullopt;
    TMapSize existingSize;
    try {
        const TMapReader probe(existingPath, givenSize);
        CheckNothingBeyondTheMap(probe);
        CheckImportMemory(probe, MergeBytesPerCell + TLoadOptions::BytesPerCell, Options.Load.MemoryBudget);
        existingSize = probe.Size();
    } catch (const EMapReadError &error) {
        Report(Err, std::string("cannot read the map file: ") + error.what());
        return ExitImage;
    }
    output.Size = existingSize;
    if (const int status = CheckOutputsWritable(outputs, Err); status != ExitWritten)
        return status;

    Random::SetFixedSeed(Options.Seed);
    std::unique_ptr<TTerrainImage> model;
    TMergeStatics statics;
    std::vector<TImportTile> importTiles;
    try {
        model = std::make_unique<TTerrainImage>(TilesPathOf(Options));
        importTiles = ReadImportTiles(TilesPathOf(Options));
        const TDecorationConfig decoration = ReadDecorationConfig(TilesPathOf(Options));
        statics.Ours = OursOf(decoration);
        statics.Decoration = decoration;
        statics.Decorate = output.Statics == TStaticsChoice::Decorated && decoration.HasDecoration();
        if (Options.StaticsAsConfigured && !decoration.HasDecoration())
            output.Statics = TStaticsChoice::Empty;
        if (output.Statics == TStaticsChoice::Decorated && !decoration.HasDecoration())
            Report(Err, NoDecorationWarning(Options));
    } catch (const EConvertError &error) {
        Report(Err, "cannot read the tile configuration: " + error.FileName + ": " + error.what());
        return ExitTiles;
    }
    for (const std::string &problem : model->GetConfigProblems())
        std::fprintf(Err, "%s\n", problem.c_str());

    // The statics beside the existing map are carried over, whether or not
    // --statics asks for new ones.
    TMapOutput existingFiles = TMapOutput::ForFile(existingPath, existingSize);
    existingFiles.MapNumber = output.MapNumber;
    if (const auto named = MapNumberOfName(existingPath))
        existingFiles.MapNumber = *named;
    std::error_code error;
    const std::string oldIndex = StaticsIndexPath(existingFiles), oldData = StaticsDataPath(existingFiles);
    const bool hasIndex = fs::exists(Platform::PathFromUtf8(oldIndex), error);
    const bool hasData = fs::exists(Platform::PathFromUtf8(oldData), error);
    if (hasIndex != hasData) {
        // One without the other is no statics a client reads, and the new
        // statics files would be written over the one that is there.
        Report(Err, "cannot read the statics beside the map: " + (hasIndex ? oldData : oldIndex) +
                        " is missing, but " + (hasIndex ? oldIndex : oldData) +
                        " is there (a map's statics are the two files together)");
        return ExitImage;
    }
    if (hasIndex && hasData) {
        // Carried over: the new statics files are outputs then, checked as
        // every other output was.
        std::vector<TRunFile> newStatics;
        if (output.Statics == TStaticsChoice::None) {
            TMapOutput carried = output;
            carried.Statics = TStaticsChoice::Empty;
            for (const std::string &path : MapOutputPaths(carried))
                if (path != carried.FileName && path != carried.HeightsPicture)
                    newStatics.push_back({path, "the statics file"});
            if (const auto clash = FindFileClash(inputs, newStatics)) {
                Report(Err, *clash);
                return ExitUsage;
            }
            if (const int status = CheckOutputsWritable(newStatics, Err); status != ExitWritten)
                return status;
        }
        // They may be replaced by the new statics when the map itself is
        // replaced, and by no other output; beside a map written elsewhere
        // they are inputs like the map.
        std::vector<TRunFile> others = inPlace ? std::vector<TRunFile>() : newStatics;
        for (const TRunFile &file : outputs)
            if (!inPlace || file.Role != "the statics file")
                others.push_back(file);
        if (const auto clash = FindFileClash({{oldIndex, "the statics beside the existing map"},
                                              {oldData, "the statics beside the existing map"}},
                                             others)) {
            Report(Err, *clash);
            return ExitUsage;
        }
        try {
            statics.Existing = ReadStaticsFiles(oldIndex, oldData, existingSize);
        } catch (const EStaticsReadError &problem) {
            Report(Err, std::string("cannot read the statics beside the map: ") + problem.what());
            return ExitImage;
        }
        if (output.Statics == TStaticsChoice::None)
            output.Statics = TStaticsChoice::Empty; // carried over: ours taken out of remade blocks
    } else if (statics.Decorate) {
        Report(Err, "warning: no statics beside " + existingPath + " (" + oldIndex + ", " + oldData +
                        "): the new statics files hold only the decoration of the remade blocks");
    }

    // The existing map is read and imported beside the picture's load and the
    // first stages; the region is found before the height stages, and the
    // start altitudes are drawn only where the map is remade.
    const TTileClasses classes(*model, importTiles);
    TExistingMapReading reading(existingPath, existingSize, Options.Load.MemoryBudget, classes);
    TCliOptions loading = Options;
    loading.Load.DeferStartAltitudes = true;
    if (const int status = LoadPictures(*model, loading, Err); status != ExitWritten)
        return status;
    if (model->GetWidth() != existingSize.Width || model->GetHeight() != existingSize.Height) {
        Report(Err, "the picture " + Options.ImagePath + " is " + std::to_string(model->GetWidth()) + " x " +
                        std::to_string(model->GetHeight()) + " pixels, but the map " + existingPath + " is " +
                        FormatMapSize(existingSize) + " cells: a picture to merge must be as large as the map "
                        "(make it with --import)");
        return ExitUsage;
    }
    for (const std::string &warning : NeighbourWarnings(output))
        Report(Err, warning);

    Interrupt::DeferToAbort();
    TTerminalObserver observer(Out, Err, ShowProgress);
    TStaticsMergeReport staticsReport;
    TMergeRegion region;
    TGenerateResult result;
    try {
        result = RunGenerateCommand(*model, output, observer,
                                    MakeMergeRun(reading, region, statics, staticsReport));
    } catch (const EMapReadError &error) {
        Report(Err, std::string("cannot read the map file: ") + error.what());
        return ExitImage;
    }
    switch (result.Outcome) {
    case TGenerateOutcome::Written:
        break;
    case TGenerateOutcome::Failed:
        Report(Err, SaveFailure(Options, result.Error));
        return ExitMapFile;
    case TGenerateOutcome::Aborted:
        Report(Err, "interrupted; " + Options.MapPath + " was left as it was");
        return ExitInterrupted;
    }
    if (region.ChangedCells * 10 > existingSize.Cells())
        Report(Err, "warning: " + Share(region.ChangedCells, existingSize.Cells()) + " of the picture differs from "
                    "the terrain read from " + existingPath + "; was the picture made from this map with --import?");
    const std::string heights =
        Options.HeightsPath ? ", " + std::to_string(region.RepaintedHeights) + " more in height only" : std::string();
    // Named by the file written; a merge written elsewhere says from which map.
    const std::string from = inPlace ? std::string() : " from " + existingPath;
    std::fprintf(Out, "%s: %llu cells changed%s%s; %llu of %llu blocks made anew\n", output.FileName.c_str(),
                 static_cast<unsigned long long>(region.ChangedCells), from.c_str(), heights.c_str(),
                 static_cast<unsigned long long>(region.RemadeBlocks),
                 static_cast<unsigned long long>(existingSize.Blocks()));
    std::fflush(Out);
    if (Options.Report) {
        std::fprintf(Err, "merge: %llu cells of the picture differ from %s (%s); %llu of %llu blocks made anew\n",
                     static_cast<unsigned long long>(region.ChangedCells), existingPath.c_str(),
                     Share(region.ChangedCells, existingSize.Cells()).c_str(),
                     static_cast<unsigned long long>(region.RemadeBlocks),
                     static_cast<unsigned long long>(existingSize.Blocks()));
        if (output.Statics != TStaticsChoice::None)
            std::fprintf(Err, "merge statics: %llu decoration and waves taken out, %llu put in, %llu other statics kept\n",
                         static_cast<unsigned long long>(staticsReport.Removed),
                         static_cast<unsigned long long>(staticsReport.Added),
                         static_cast<unsigned long long>(staticsReport.Kept));
    }
    if (staticsReport.Disturbed > 0) {
        Report(Err, "warning: " + std::to_string(staticsReport.Disturbed) +
                        " kept statics stand where the map changed under them:");
        for (const std::string &line : staticsReport.DisturbedLines)
            std::fprintf(Err, "  %s\n", line.c_str());
    }
    for (const std::string &line : staticsReport.FullBlocks)
        Report(Err, "warning: " + line);
    std::fflush(Err);
    if (Interrupt::Received() != 0 && (Options.Report || Options.PreviewPath)) {
        Report(Err, "interrupted after " + Options.MapPath + " was written");
        return ExitInterrupted;
    }
    // The report and the preview describe the map as written.
    if (Options.Report || Options.PreviewPath)
        ShowKeptCellsAsWritten(*model, reading.Map().Cells, classes, region);
    return WriteExtras(*model, Options, output, result, Err, &region.Blocks);
}
