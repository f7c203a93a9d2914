#pragma once

#include "CliOptions.h"
#include "GenerateObserver.h"
#include "OutputTarget.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the command line's runs share: messages, checks of their files, and
// the extras written after the map.

// "morvane-cli: " and the message on its own line of Err.
void Report(std::FILE *Err, const std::string &Message);
// Why a tile configuration that the user named cannot be read, or empty.
std::string ProblemOfNamedTiles(const std::string &Path);
// The tile configuration of a run: --tiles, else Tiles.ini next to the program.
std::string TilesPathOf(const TCliOptions &Options);
// Loads the picture and, when given, the heights picture into Model: 0, or
// the exit status of a failure, which is reported on Err.
int LoadPictures(TTerrainImage &Model, const TCliOptions &Options, std::FILE *Err);
// The files a run reads and writes, with what they are to the user ("the
// picture", "the map file", "the statics file", "the preview"...).
std::vector<TRunFile> InputsOf(const TCliOptions &Options);
// Said when decoration is asked for and the configuration has none.
std::string NoDecorationWarning(const TCliOptions &Options);
std::vector<TRunFile> OutputsOf(const TCliOptions &Options);
// Said when the save of the map fails: Error names the file first, and the
// heights picture is named as such (the statics files are part of the map).
std::string SaveFailure(const TCliOptions &Options, const std::string &Error);
// Every output checked before anything runs (a device, a pipe, a missing
// folder): ExitWritten, or ExitMapFile after saying which cannot be written.
int CheckOutputsWritable(const std::vector<TRunFile> &Outputs, std::FILE *Err);
// Files beside the output that would give the new map away, said before the run.
std::vector<std::string> NeighbourWarnings(const TMapOutput &Output);
// The report and the preview after the map is written; Outline, when given,
// marks those blocks (by block index) on the preview.
int WriteExtras(const TTerrainImage &Model, const TCliOptions &Options, const TMapOutput &Output,
                const TGenerateResult &Result, std::FILE *Err, const std::vector<uint8_t> *Outline = nullptr);

// --merge-into: the run that remakes only what the picture changes.
int RunMerge(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress);
