#pragma once

#include "CliOptions.h"

#include <cstdio>

// Exit statuses of morvane-cli.
enum TCliExit : int {
    ExitWritten = 0,
    ExitUsage = 1,
    ExitImage = 2,       // the image (or, with --info, the map file) cannot be read
    ExitTiles = 3,       // the tile configuration cannot be read
    ExitMapFile = 4,     // the map file cannot be written
    ExitUnexpected = 5,  // anything else, e.g. memory exhausted in the pipeline
    ExitPreview = 6,     // the preview picture cannot be written (the map file is)
    ExitInterrupted = -1 // not returned: the process ends by the signal
};

// One headless Generate: the model with the tile configuration, the image, the
// Generate command shown on the terminal, then the void-tile report and the
// preview picture when asked for, and the exit status. Warnings go to Out;
// configuration problems, progress, the report and failures to Err.
int RunCli(const TCliOptions &Options, std::FILE *Out, std::FILE *Err, bool ShowProgress);

// --info: the format, size and one cell of a map file on Out; a file that
// cannot be read is reported on Err with ExitImage.
int RunInfo(const TCliOptions &Options, std::FILE *Out, std::FILE *Err);

// --import: the map file read back into a painted picture (-o); the count of
// cells whose tile belongs to no terrain on Err.
int RunImport(const TCliOptions &Options, std::FILE *Out, std::FILE *Err);
