#include "CliRun.h"
#include "CliShared.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "ExecutablePath.h"
#include "ImportCommand.h"
#include "ImportTiles.h"
#include "Interrupt.h"
#include "MapReader.h"
#include "OutputTarget.h"

#include <vector>

#include <memory>

int RunImport(const TCliOptions &Options, std::FILE *Out, std::FILE *Err)
{
    const std::string tiles = TilesPathOf(Options);
    std::vector<TRunFile> outputs{{Options.PicturePath, "the picture"}};
    if (Options.HeightsOutPath)
        outputs.push_back({*Options.HeightsOutPath, "the heights picture"});
    if (const auto clash = FindFileClash({{*Options.ImportPath, "the map file"}, {tiles, "the tile configuration"}},
                                         outputs)) {
        Report(Err, *clash);
        return ExitUsage;
    }
    std::vector<std::string> targets{*Options.ImportPath};
    for (const TRunFile &file : outputs)
        targets.push_back(file.Path);
    for (const std::string &line : RecoverInterruptedSaves(targets))
        Report(Err, line);
    if (const int status = CheckOutputsWritable(outputs, Err); status != ExitWritten)
        return status;
    std::unique_ptr<TTerrainImage> config;
    std::vector<TImportTile> importTiles;
    try {
        config = std::make_unique<TTerrainImage>(tiles);
        importTiles = ReadImportTiles(tiles);
    } catch (const EConvertError &error) {
        Report(Err, "cannot read the tile configuration: " + error.FileName + ": " + error.what());
        return ExitTiles;
    }
    for (const std::string &problem : config->GetConfigProblems())
        std::fprintf(Err, "%s\n", problem.c_str());
    // From here on an interrupt stops the import before its pictures are
    // saved, and earlier pictures of those names stay as they were.
    Interrupt::DeferToAbort();
    try {
        const TTerrainImport import =
            ImportMapToPicture(*Options.ImportPath, Options.SizeGiven ? std::optional<TMapSize>(Options.MapSize) : std::nullopt,
                               *config, importTiles, Options.PicturePath, Options.HeightsOutPath.value_or(""),
                               Options.Load.MemoryBudget, [] { return Interrupt::Received() != 0; });
        std::fprintf(Out, "%s: %d x %d cells read into %s\n", Options.ImportPath->c_str(), import.Width,
                     import.Height, Options.PicturePath.c_str());
        std::fflush(Out);
        if (import.BlocksBeyond != 0)
            Report(Err, "warning: " + *Options.ImportPath + " holds " + std::to_string(import.BlocksBeyond) +
                            " blocks more than a map of " + std::to_string(import.Width) + " x " +
                            std::to_string(import.Height) + " cells needs; they were not read (is the size right?)");
        for (const std::string &line : FormatImportReport(import, *config, Options.Report ? 50 : 10))
            Report(Err, line);
    } catch (const EMapReadError &error) {
        Report(Err, std::string("cannot read the map file: ") + error.what());
        return ExitImage;
    } catch (const EFileWriteError &error) {
        Report(Err, std::string("cannot write the pictures: ") + error.what());
        return ExitMapFile;
    } catch (const EImportStopped &) {
        Report(Err, "interrupted; " + Options.PicturePath + " was left as it was");
        return ExitInterrupted;
    }
    return ExitWritten;
}
