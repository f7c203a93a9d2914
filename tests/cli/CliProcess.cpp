#include "CliProcess.h"

#include "ExecutablePath.h"

namespace CliProcess {

std::string CliExecutable()
{
#ifdef _WIN32
    return FileNextToExecutable("morvane-cli.exe");
#else
    return FileNextToExecutable("morvane-cli");
#endif
}

TResult RunCli(const std::vector<std::string> &Arguments, const TOptions &Options)
{
    TChild child(Arguments, Options);
    return child.Wait();
}

} // namespace CliProcess
