#include "CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char **environ;

namespace CliProcess {

namespace {

void Check(bool ok, const char *what)
{
    if (!ok)
        throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// Reads what is there; false at the end (a pseudo-terminal reports its end as EIO).
bool ReadSome(int fd, std::string &into)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, size_t(got));
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return false;
    }
}

} // namespace

TChild::TChild(const std::vector<std::string> &Arguments, const TOptions &Options)
{
    int outPipe[2], errPipe[2] = {-1, -1};
    Check(pipe2(outPipe, O_CLOEXEC) == 0, "pipe");
    if (Options.StdoutPipeSize > 0)
        Check(fcntl(outPipe[0], F_SETPIPE_SZ, Options.StdoutPipeSize) >= 0, "F_SETPIPE_SZ");

    int errChildEnd;
    if (Options.StderrOnTerminal) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        Check(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0, "posix_openpt");
        errChildEnd = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        Check(errChildEnd >= 0, "open pts");
        ErrFd = master;
    } else {
        Check(pipe2(errPipe, O_CLOEXEC) == 0, "pipe");
        errChildEnd = errPipe[1];
        ErrFd = errPipe[0];
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errChildEnd, 2);
    if (!Options.WorkingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, Options.WorkingDir.c_str());

    const std::string executable = Options.Executable.empty() ? CliExecutable() : Options.Executable;
    std::vector<std::string> argv = {executable};
    argv.insert(argv.end(), Arguments.begin(), Arguments.end());
    std::vector<char *> pointers;
    for (std::string &argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    pid_t pid = -1;
    const int error = posix_spawn(&pid, executable.c_str(), &actions, nullptr, pointers.data(), environ);
    Pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errChildEnd);
    OutFd = outPipe[0];
    if (error != 0) {
        errno = error;
        Check(false, executable.c_str());
    }
}

TChild::~TChild()
{
    if (!Reaped && Pid > 0) {
        kill(pid_t(Pid), SIGKILL);
        waitpid(pid_t(Pid), nullptr, 0);
    }
    if (OutFd >= 0)
        close(int(OutFd));
    if (ErrFd >= 0)
        close(int(ErrFd));
}

void TChild::WaitForOutput()
{
    pollfd item{int(OutFd), POLLIN, 0};
    while (poll(&item, 1, -1) < 0 && errno == EINTR) {
    }
}

void TChild::Kill(int Signal) { kill(pid_t(Pid), Signal); }

TResult TChild::Wait()
{
    TResult result;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd items[2] = {{outOpen ? int(OutFd) : -1, POLLIN, 0}, {errOpen ? int(ErrFd) : -1, POLLIN, 0}};
        if (poll(items, 2, -1) < 0) {
            Check(errno == EINTR, "poll");
            continue;
        }
        if (outOpen && items[0].revents != 0)
            outOpen = ReadSome(int(OutFd), result.Out);
        if (errOpen && items[1].revents != 0)
            errOpen = ReadSome(int(ErrFd), result.Err);
    }
    int status = 0;
    Check(waitpid(pid_t(Pid), &status, 0) == pid_t(Pid), "waitpid");
    Reaped = true;
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.Signal = WTERMSIG(status);
    return result;
}

} // namespace CliProcess
