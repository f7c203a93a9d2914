#include "CliRun.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "ExecutablePath.h"
#include "Interrupt.h"
#include "MapPreview.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "OutputTarget.h"
#include "Random.h"
#include "TerminalObserver.h"
#include "VoidReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {

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
    const fs::file_status status = fs::status(Path, error);
    if (!fs::exists(status))
        return Path + ": the file does not exist";
    if (fs::is_directory(status))
        return Path + ": this is a folder";
    if (!fs::is_regular_file(status)) // opening a pipe would wait for a writer
        return Path + ": this is a device, pipe or socket, not a configuration file";
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        return Path + ": " + std::strerror(errno);
    return {};
}

// The void-tile report and the preview, from the final grid, both over the
// map's size as it was written; neither draws a random number, so the map file
// is the same with them or without.
int WriteExtras(const TTerrainImage &Model, const TCliOptions &Options, std::FILE *Err)
{
    const TMapSize size = MapOutputOf(Options).Size;
    if (Options.Report) {
        for (const std::string &line : FormatVoidReport(MakeVoidReport(Model, size)))
            std::fprintf(Err, "%s\n", line.c_str());
        std::fflush(Err);
    }
    if (Options.PreviewPath) {
        try {
            SaveMapPreview(RenderMapPreview(Model, size, Options.PreviewScale), *Options.PreviewPath);
        } catch (const EPreviewWriteError &error) {
            Report(Err, std::string("cannot write the preview: ") + error.what() + " (the map file " +
                            Options.MapPath + " was written)");
            return ExitPreview;
        }
    }
    return ExitWritten;
}

// The files a run reads and writes, with what they are to the user.
std::vector<TRunFile> InputsOf(const TCliOptions &Options)
{
    return {{Options.ImagePath, "the picture"},
            {Options.TilesPath ? *Options.TilesPath : FileNextToExecutable("Tiles.ini"), "the tile configuration"}};
}

std::vector<TRunFile> OutputsOf(const TCliOptions &Options)
{
    std::vector<TRunFile> outputs;
    for (const std::string &path : MapOutputPaths(MapOutputOf(Options)))
        outputs.push_back({path, outputs.empty() ? "the map file" : "the statics file"});
    if (Options.PreviewPath)
        outputs.push_back({*Options.PreviewPath, "the preview"});
    return outputs;
}

} // namespace

int RunCli(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress)
{
    // Before anything runs: no output may be an input or another output.
    if (const auto clash = FindFileClash(InputsOf(Options), OutputsOf(Options))) {
        Report(Err, *clash);
        return ExitUsage;
    }
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
    } catch (const EConvertError &error) {
        Report(Err, "cannot read the tile configuration: " + error.FileName + ": " + error.what());
        return ExitTiles;
    }
    for (const std::string &problem : model->GetConfigProblems())
        std::fprintf(Err, "%s\n", problem.c_str());
    std::fflush(Err);

    try {
        model->LoadFromBMP(Options.ImagePath);
    } catch (const EImageLoadError &error) {
        Report(Err, std::string("cannot load the image: ") + error.what());
        return ExitImage;
    }
    // Outputs that cannot be written are found out before the pipeline runs,
    // not after; the writer judges again when it writes.
    const TMapOutput output = MapOutputOf(Options);
    for (const std::string &path : MapOutputPaths(output)) {
        if (const std::string problem = TargetProblem(path); !problem.empty()) {
            Report(Err, "cannot write the map file: " + problem);
            return ExitMapFile;
        }
    }
    if (Options.PreviewPath) {
        if (const std::string problem = TargetProblem(*Options.PreviewPath); !problem.empty()) {
            Report(Err, "cannot write the preview: " + problem);
            return ExitPreview;
        }
    }

    // Clients take map0 and map1 of a UOP file as 7168 x 4096 cells, whatever
    // the file holds: a classic-sized one reads as another map there.
    if (output.Format == TMapFormat::Uop && output.Size == MapSizes::Classic && output.MapNumber <= 1) {
        std::fprintf(Err, "morvane-cli: note: %s is %s cells; clients that read map%d from a UOP file take it as "
                          "7168 x 4096 (--facet %d makes that size)\n",
                     output.FileName.c_str(), FormatMapSize(output.Size).c_str(), output.MapNumber, output.MapNumber);
        std::fflush(Err);
    }

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
        return WriteExtras(*model, Options, Err);
    case TGenerateOutcome::Failed:
        Report(Err, "cannot write the map file: " + result.Error);
        return ExitMapFile;
    case TGenerateOutcome::Aborted:
        break;
    }
    Report(Err, "interrupted; " + Options.MapPath + " was left as it was");
    return ExitInterrupted;
}

int RunInfo(const TCliOptions &Options, std::FILE *Out, std::FILE *Err)
{
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
        const TMapCell cell = map.Cell(Options.InfoX, Options.InfoY);
        std::fprintf(Out, "cell %d,%d: tile %u (0x%04X), altitude %d\n", Options.InfoX, Options.InfoY,
                     unsigned(cell.Tile), unsigned(cell.Tile), int(cell.Altitude));
        std::fflush(Out);
    } catch (const EMapReadError &error) {
        Report(Err, std::string("cannot read the map file: ") + error.what());
        return ExitImage;
    }
    return ExitWritten;
}
