#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Runs the built morvane-cli as a child process and collects what it prints.
// CliProcessPosix.cpp starts it with posix_spawn, CliProcessWindows.cpp with
// CreateProcessW (the arguments go over as UTF-16, so names of any language
// reach the program whatever the locale).
namespace CliProcess {

// morvane-cli next to the running test executable (all executables share bin/).
std::string CliExecutable();

struct TOptions
{
    std::string WorkingDir;        // empty: the test's own
    bool StderrOnTerminal = false; // standard error on a pseudo-terminal, as in an interactive shell (POSIX only)
    int StdoutPipeSize = 0;        // 0: the system's default
    std::string Executable;        // empty: CliExecutable()

    TOptions &In(const std::string &Dir) { WorkingDir = Dir; return *this; }
    TOptions &OnTerminal() { StderrOnTerminal = true; return *this; }
    TOptions &PipeSize(int Bytes) { StdoutPipeSize = Bytes; return *this; }
    TOptions &Program(const std::string &Path) { Executable = Path; return *this; }
};

struct TResult
{
    int ExitCode = -1; // -1 when ended by a signal
    int Signal = 0;    // the signal that ended it, or 0 (always 0 on Windows)
    std::string Out;   // standard output
    std::string Err;   // standard error (or the terminal's output)
};

// A started child; Wait reads its output to the end and reaps it.
class TChild
{
public:
    TChild(const std::vector<std::string> &Arguments, const TOptions &Options = {});
    ~TChild();
    TChild(const TChild &) = delete;
    TChild &operator=(const TChild &) = delete;

    // Blocks until the child has written something to standard output (or closed it).
    void WaitForOutput();
    // POSIX: sends Signal. Windows: ends the child at once, exit code 128 + Signal.
    void Kill(int Signal);
    TResult Wait();

private:
    // A process id and file descriptors, or HANDLEs on Windows.
    intptr_t Pid = -1;
    intptr_t OutFd = -1;
    intptr_t ErrFd = -1;
    bool Reaped = false;
};

// Starts, waits, returns.
TResult RunCli(const std::vector<std::string> &Arguments, const TOptions &Options = {});

} // namespace CliProcess
