#include "CliRun.h"

#include "ClassTerrainImage.h"
#include "GenerateCommand.h"
#include "Interrupt.h"
#include "MapWriter.h"
#include "Random.h"
#include "TerminalView.h"

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
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        return Path + ": " + std::strerror(errno);
    return {};
}

// The map file's folder must exist: found out before the pipeline runs, not
// after. Everything else about writing is the writer's to judge.
std::string ProblemOfMapFolder(const std::string &Path)
{
    fs::path folder = fs::path(Path).parent_path();
    if (folder.empty())
        return {};
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return Path + ": the folder " + folder.string() + " does not exist";
    return {};
}

} // namespace

int RunCli(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress)
{
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
    if (const std::string problem = ProblemOfMapFolder(Options.MapPath); !problem.empty()) {
        Report(Err, "cannot write the map file: " + problem);
        return ExitMapFile;
    }

    TTerminalView view(Out, Err, ShowProgress);
    switch (RunGenerateCommand(*model, Options.MapPath, view)) {
    case TGenerateOutcome::Written:
        return ExitWritten;
    case TGenerateOutcome::Failed:
        Report(Err, "cannot write the map file: " + view.GetError());
        return ExitMapFile;
    case TGenerateOutcome::Aborted:
        break;
    }
    Report(Err, "interrupted; " + Options.MapPath + " was left as it was");
    return ExitInterrupted;
}
