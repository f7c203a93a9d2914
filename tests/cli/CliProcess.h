#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Runs the built morvane-cli as a child process and collects what it prints.
namespace CliProcess {

// morvane-cli next to the running test executable (all executables share bin/).
std::string CliExecutable();

struct TOptions
{
    std::string WorkingDir;        // empty: the test's own
    bool StderrOnTerminal = false; // standard error on a pseudo-terminal, as in an interactive shell
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
    int Signal = 0;    // the signal that ended it, or 0
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
    void Kill(int Signal);
    TResult Wait();

private:
    pid_t Pid = -1;
    int OutFd = -1;
    int ErrFd = -1;
    bool Reaped = false;
};

// Starts, waits, returns.
TResult RunCli(const std::vector<std::string> &Arguments, const TOptions &Options = {});

} // namespace CliProcess
