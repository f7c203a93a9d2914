// morvane-cli: the headless front end. Makes the map file from a painted
// picture the way the window's Generate does, for scripts and machines
// without a screen; --seed makes the run repeatable to the byte.
#include "CliOptions.h"
#include "CliRun.h"
#include "Interrupt.h"

#include "Platform.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    Platform::PlainLineEnds();
    const std::vector<std::string> arguments = Platform::Arguments(argc, argv);
    const TCliParse parse = ParseCliArguments(arguments);
    switch (parse.Kind) {
    case TCliParse::Help:
    case TCliParse::Version:
        std::fputs(parse.Text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? ExitWritten : ExitUsage;
    case TCliParse::UsageError:
        std::fprintf(stderr, "morvane-cli: %s\n", parse.Text.c_str());
        return ExitUsage;
    case TCliParse::Info:
        return RunInfo(parse.Options, stdout, stderr);
    case TCliParse::Import: {
        Interrupt::Install();
        int status;
        try {
            status = RunImport(parse.Options, stdout, stderr);
        } catch (const std::bad_alloc &) {
            std::fprintf(stderr, "morvane-cli: not enough memory\n");
            return ExitUnexpected;
        }
        if (status == ExitInterrupted)
            Interrupt::Finish();
        return status;
    }
    case TCliParse::Run:
        break;
    }

    Interrupt::Install();
    const bool showProgress = !parse.Options.Quiet && Platform::IsTerminal(stderr);
    int status;
    try {
        status = RunCli(parse.Options, stdout, stderr, showProgress);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "\nmorvane-cli: not enough memory\n");
        return ExitUnexpected;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "\nmorvane-cli: %s\n", error.what());
        return ExitUnexpected;
    }
    if (status == ExitInterrupted)
        Interrupt::Finish();
    return status;
}
