#include "CliRun.h"
#include "CliShared.h"

#include "AltitudeRanges.h"
#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "GenerateCommand.h"
#include "ExecutablePath.h"
#include "Interrupt.h"
#include "MapPreview.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "OutputTarget.h"
#include "Platform.h"
#include "Random.h"
#include "Statics.h"
#include "StaticsReader.h"
#include "TerminalObserver.h"
#include "VoidReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

void Report(std::FILE *Err, const std::string &Message)
{
    std::fprintf(Err, "morvane-cli: %s\n", Message.c_str());
    std::fflush(Err);
}

// A tile configuration that the user named must be there: the model would
// take a missing file for an empty configuration and make a map of void tiles.
std::string ProblemOfNamedTiles(const std::string &Path)
{
    std::error_code error;
    const fs::file_status status = fs::status(Platform::PathFromUtf8(Path), error);
    if (!fs::exists(status))
        return Path + ": the file does not exist";
    if (fs::is_directory(status))
        return Path + ": this is a folder";
    if (!fs::is_regular_file(status)) // opening a pipe would wait for a writer
        return Path + ": this is a device, pipe or socket, not a configuration file";
    std::ifstream in(Platform::PathFromUtf8(Path), std::ios::binary);
    if (!in)
        return Path + ": " + std::strerror(errno);
    return {};
}

// Servers read map<N>.mul before map<N>LegacyMUL.uop, and the statics index
// of a map of another size puts its statics on the wrong blocks: files beside
// the map that give the new map away, said before the run.
std::vector<std::string> NeighbourWarnings(const TMapOutput &Output)
{
    std::vector<std::string> warnings;
    std::error_code error;
    if (Output.Format == TMapFormat::Uop) {
        const std::string mul = Beside(Output.FileName, "map" + std::to_string(Output.MapNumber) + ".mul");
        if (fs::is_regular_file(Platform::PathFromUtf8(mul), error))
            warnings.push_back("warning: " + mul + " is beside " + Output.FileName +
                               "; servers read it before the UOP file, so server and client would have different "
                               "worlds: remove or rename it.");
    }
    if (Output.Statics == TStaticsChoice::None) {
        const std::string index = StaticsIndexPath(Output);
        const uint64_t expected = Output.Size.Blocks() * 12; // one 12-byte entry per block
        if (fs::is_regular_file(Platform::PathFromUtf8(index), error)) {
            const uint64_t bytes = fs::file_size(Platform::PathFromUtf8(index), error);
            if (!error && bytes != expected)
                warnings.push_back("warning: " + index + " beside the map is for a map of another size (" +
                                   std::to_string(bytes) + " bytes, a " + FormatMapSize(Output.Size) +
                                   " map has " + std::to_string(expected) +
                                   "); its statics do not fit the new map: --statics replaces them.");
        }
    }
    return warnings;
}

// The report (void tiles, statics, altitudes per terrain) and the preview,
// from the final grid, both over the map's size as it was written; neither
// draws a random number, so the map file is the same with them or without.
int WriteExtras(const TTerrainImage &Model, const TCliOptions &Options, const TMapOutput &Output,
                const TGenerateResult &Result, std::FILE *Err, const std::vector<uint8_t> *Outline)
{
    const TMapSize size = Output.Size;
    if (Options.Report) {
        for (const std::string &line : FormatVoidReport(MakeVoidReport(Model, size)))
            std::fprintf(Err, "%s\n", line.c_str());
        if (Result.Statics)
            for (const std::string &line : FormatStaticsReport(*Result.Statics, Output.Decoration))
                std::fprintf(Err, "%s\n", line.c_str());
        for (const std::string &line : FormatAltitudeRanges(MakeAltitudeRanges(Model, size)))
            std::fprintf(Err, "%s\n", line.c_str());
        std::fflush(Err);
    }
    if (Options.PreviewPath) {
        // An interrupt now leaves the preview out, and an earlier one as it was.
        const auto stopped = [] { return Interrupt::Received() != 0; };
        const auto interrupted = [&] {
            Report(Err, "interrupted after " + Options.MapPath + " was written; the preview " + *Options.PreviewPath +
                            " was left as it was");
            return ExitInterrupted;
        };
        if (stopped())
            return interrupted();
        try {
            TPreviewPicture preview = RenderMapPreview(Model, size, Options.PreviewScale);
            // The statics as written: read back from the files beside the map.
            if (Output.Statics != TStaticsChoice::None && Options.PreviewStatics)
                MarkStatics(preview, size, Options.PreviewScale,
                            TStaticsReader(StaticsIndexPath(Output), StaticsDataPath(Output), size));
            if (Outline)
                OutlineBlocks(preview, size, Options.PreviewScale, *Outline);
            if (!SaveMapPreview(preview, *Options.PreviewPath, stopped))
                return interrupted();
        } catch (const EStaticsReadError &error) {
            Report(Err, std::string("cannot mark the statics on the preview: ") + error.what() + " (the map file " +
                            Options.MapPath + " was written)");
            return ExitPreview;
        } catch (const EPreviewWriteError &error) {
            Report(Err, std::string("cannot write the preview: ") + error.what() + " (the map file " +
                            Options.MapPath + " was written)");
            return ExitPreview;
        }
    }
    return ExitWritten;
}

int LoadPictures(TTerrainImage &Model, const TCliOptions &Options, std::FILE *Err)
{
    try {
        Model.LoadFromBMP(Options.ImagePath, Options.Load);
    } catch (const EImageLoadError &error) {
        Report(Err, std::string("cannot load the image: ") + error.what());
        return ExitImage;
    }
    if (Options.HeightsPath) {
        try {
            Model.LoadHeights(*Options.HeightsPath);
        } catch (const EHeightsSizeError &error) {
            Report(Err, std::string("the heights picture does not fit the picture: ") + error.what());
            return ExitUsage;
        } catch (const EImageLoadError &error) {
            Report(Err, std::string("cannot load the heights picture: ") + error.what());
            return ExitImage;
        }
    }
    return ExitWritten;
}

std::string TilesPathOf(const TCliOptions &Options)
{
    return Options.TilesPath ? *Options.TilesPath : FileNextToExecutable("Tiles.ini");
}

// The files a run reads and writes, with what they are to the user.
std::string NoDecorationWarning(const TCliOptions &Options)
{
    return "warning: " + TilesPathOf(Options) +
           " has no [DECORATION_...] section: --statics decorated places no trees, plants or rocks";
}

std::vector<TRunFile> InputsOf(const TCliOptions &Options)
{
    std::vector<TRunFile> inputs{{Options.ImagePath, "the picture"}, {TilesPathOf(Options), "the tile configuration"}};
    if (Options.HeightsPath)
        inputs.push_back({*Options.HeightsPath, "the painted heights"});
    return inputs;
}

std::string SaveFailure(const TCliOptions &Options, const std::string &Error)
{
    const bool heights = Options.HeightsOutPath && Error.rfind(*Options.HeightsOutPath + ": ", 0) == 0;
    return std::string("cannot write ") + (heights ? "the heights picture" : "the map file") + ": " + Error;
}

int CheckOutputsWritable(const std::vector<TRunFile> &Outputs, std::FILE *Err)
{
    for (const TRunFile &file : Outputs)
        if (const std::string problem = TargetProblem(file.Path); !problem.empty()) {
            // The statics files are saved with the map, as part of it.
            Report(Err, "cannot write " + (file.Role == "the statics file" ? std::string("the map file") : file.Role) +
                            ": " + problem);
            return ExitMapFile;
        }
    return ExitWritten;
}

std::vector<TRunFile> OutputsOf(const TCliOptions &Options)
{
    std::vector<TRunFile> outputs;
    for (const std::string &path : MapOutputPaths(MapOutputOf(Options)))
        outputs.push_back({path, outputs.empty()                 ? "the map file"
                                 : path == Options.HeightsOutPath ? "the heights picture"
                                                                  : "the statics file"});
    if (Options.PreviewPath)
        outputs.push_back({*Options.PreviewPath, "the preview"});
    return outputs;
}


int RunCli(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress)
{
    if (Options.MergePath)
        return RunMerge(Options, Out, Err, ShowProgress);
    // Before anything runs: no output may be an input or another output.
    if (const auto clash = FindFileClash(InputsOf(Options), OutputsOf(Options))) {
        Report(Err, *clash);
        return ExitUsage;
    }
    // A save of an earlier run that was killed is finished or undone first, so
    // that the checks below see the files as that save left them.
    std::vector<std::string> targets;
    for (const TRunFile &file : OutputsOf(Options))
        targets.push_back(file.Path);
    for (const std::string &line : RecoverInterruptedSaves(targets))
        Report(Err, line);
    // Every output, the preview's too, before anything runs: a device, a pipe or
    // a missing folder is found now, not after the map file was replaced.
    TMapOutput output = MapOutputOf(Options);
    if (const int status = CheckOutputsWritable(OutputsOf(Options), Err); status != ExitWritten)
        return status;
    if (Options.TilesPath) {
        if (const std::string problem = ProblemOfNamedTiles(*Options.TilesPath); !problem.empty()) {
            Report(Err, "cannot read the tile configuration: " + problem);
            return ExitTiles;
        }
    }

    Random::SetFixedSeed(Options.Seed); // before the model: its constructor re-seeds
    std::unique_ptr<TTerrainImage> model;
    try {
        model = Options.TilesPath ? std::make_unique<TTerrainImage>(*Options.TilesPath)
                                  : std::make_unique<TTerrainImage>();
        // The decoration sections are part of the tile configuration: a fault
        // in them stops the run before anything is written.
        if (output.Statics == TStaticsChoice::Decorated) {
            output.Decoration = ReadDecorationConfig(TilesPathOf(Options));
            if (Options.StaticsAsConfigured && !output.Decoration.HasDecoration())
                output.Statics = TStaticsChoice::Empty;
        }
    } catch (const EConvertError &error) {
        Report(Err, "cannot read the tile configuration: " + error.FileName + ": " + error.what());
        return ExitTiles;
    }
    for (const std::string &problem : model->GetConfigProblems())
        std::fprintf(Err, "%s\n", problem.c_str());
    if (output.Statics == TStaticsChoice::Decorated && !output.Decoration.HasDecoration())
        Report(Err, NoDecorationWarning(Options));
    std::fflush(Err);

    if (const int status = LoadPictures(*model, Options, Err); status != ExitWritten)
        return status;
    for (const std::string &warning : NeighbourWarnings(output))
        Report(Err, warning);

    // From here on an interrupt does not end the process at once: the command
    // asks after each block-column and stops, and the atomic save then leaves
    // an earlier map file as it was and no temporary file behind.
    Interrupt::DeferToAbort();
    TTerminalObserver observer(Out, Err, ShowProgress);
    const TGenerateResult result = RunGenerateCommand(*model, output, observer);
    switch (result.Outcome) {
    case TGenerateOutcome::Written:
        if (Interrupt::Received() != 0 && (Options.Report || Options.PreviewPath)) {
            // The map file is complete; the extras are left out.
            Report(Err, "interrupted after " + Options.MapPath + " was written");
            return ExitInterrupted;
        }
        return WriteExtras(*model, Options, output, result, Err);
    case TGenerateOutcome::Failed:
        Report(Err, SaveFailure(Options, result.Error));
        return ExitMapFile;
    case TGenerateOutcome::Aborted:
        break;
    }
    Report(Err, "interrupted; " + Options.MapPath + " was left as it was");
    return ExitInterrupted;
}

namespace {

// The statics at the --info cell, when staidx<N>.mul and statics<N>.mul of
// the map's number lie beside it. Statics that do not fit the map are a
// warning: the map's own description is given all the same.
int InfoStatics(const TCliOptions &Options, const TMapReader &Map, std::FILE *Out, std::FILE *Err)
{
    TMapOutput files = TMapOutput::ForFile(*Options.InfoPath, Map.Size());
    if (Map.Format() == TMapFormat::Uop)
        files.MapNumber = Map.MapNumber();
    const std::string index = StaticsIndexPath(files), data = StaticsDataPath(files);
    std::error_code error;
    if (!fs::exists(index, error) && !fs::exists(data, error))
        return ExitWritten;
    try {
        const std::vector<TStaticItem> items = TStaticsReader(index, data, Map.Size()).At(Options.InfoX, Options.InfoY);
        std::fprintf(Out, "statics at %d,%d (%s): %llu\n", Options.InfoX, Options.InfoY, index.c_str(),
                     static_cast<unsigned long long>(items.size()));
        for (const TStaticItem &item : items)
            std::fprintf(Out, "  static %u (0x%04X), z %d, hue %u\n", unsigned(item.Id), unsigned(item.Id),
                         int(item.Z), unsigned(item.Hue));
        std::fflush(Out);
    } catch (const EStaticsReadError &problem) {
        // The map's own description stands; the statics beside it are not its.
        Report(Err, std::string("warning: cannot read the statics beside the map: ") + problem.what());
    }
    return ExitWritten;
}

} // namespace

int RunInfo(const TCliOptions &Options, std::FILE *Out, std::FILE *Err)
{
    for (const std::string &line : RecoverInterruptedSaves({*Options.InfoPath}))
        Report(Err, line);
    try {
        TMapReader map(*Options.InfoPath, Options.SizeGiven ? std::optional<TMapSize>(Options.MapSize) : std::nullopt);
        std::string facets;
        for (const int facet : FacetsOfSize(map.Size()))
            facets += (facets.empty() ? " (the size of map" : " and map") + std::to_string(facet);
        if (!facets.empty())
            facets += ")";
        std::fprintf(Out, "%s: %s, %s cells%s\n", Options.InfoPath->c_str(), FormatName(map.Format()),
                     FormatMapSize(map.Size()).c_str(), facets.c_str());
        std::fprintf(Out, "blocks: %llu of 196 bytes, block-column-major (%d block-columns of %d blocks)\n",
                     static_cast<unsigned long long>(map.Size().Blocks()), map.Size().BlockColumns(),
                     map.Size().BlockRows());
        if (map.Format() == TMapFormat::Uop)
            std::fprintf(Out, "entries: build/map%dlegacymul/########.dat\n", map.MapNumber());
        if (map.Blocks() > map.Size().Blocks())
            std::fprintf(Out, "the file holds %llu blocks more than the map needs\n",
                         static_cast<unsigned long long>(map.Blocks() - map.Size().Blocks()));
        if (Options.InfoX >= map.Size().Width || Options.InfoY >= map.Size().Height) {
            std::fflush(Out);
            Report(Err, "--cell " + std::to_string(Options.InfoX) + "," + std::to_string(Options.InfoY) +
                            " lies outside the map, whose cells are 0,0 to " + std::to_string(map.Size().Width - 1) +
                            "," + std::to_string(map.Size().Height - 1));
            return ExitUsage;
        }
        const TMapCell cell = map.Cell(Options.InfoX, Options.InfoY);
        std::fprintf(Out, "cell %d,%d: tile %u (0x%04X), altitude %d\n", Options.InfoX, Options.InfoY,
                     unsigned(cell.Tile), unsigned(cell.Tile), int(cell.Altitude));
        std::fflush(Out);
        return InfoStatics(Options, map, Out, Err);
    } catch (const EMapReadError &error) {
        Report(Err, std::string("cannot read the map file: ") + error.what());
        return ExitImage;
    }
}
