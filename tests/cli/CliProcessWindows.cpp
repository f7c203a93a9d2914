// The Windows twin of CliProcessPosix.cpp: the child gets pipes for its
// standard output and error and the NUL device for its input.
#include "CliProcess.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace CliProcess {

namespace {

void Check(bool ok, const std::string &what)
{
    if (!ok)
        throw std::runtime_error(what + ": Windows error " + std::to_string(GetLastError()));
}

std::wstring Widen(const std::string &text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    Check(length > 0, "not UTF-8: " + text);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

// One argument quoted as the C runtime's parser (and CommandLineToArgvW) reads
// it back: backslashes are literal except before a quote.
void AppendQuoted(std::wstring &line, const std::wstring &argument)
{
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\'); // before the closing quote
    line += L'"';
}

// Reads a pipe to its end (the child closed its side, or ended).
void ReadAll(HANDLE pipe, std::string &into)
{
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into.append(buffer, got);
}

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

} // namespace

TChild::TChild(const std::vector<std::string> &Arguments, const TOptions &Options)
{
    if (Options.StderrOnTerminal)
        throw std::runtime_error("a pseudo-terminal for standard error exists only on POSIX systems");

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    Check(CreatePipe(&outRead, &outWrite, &inherit, DWORD(Options.StdoutPipeSize)), "CreatePipe");
    Check(CreatePipe(&errRead, &errWrite, &inherit, 0), "CreatePipe");
    // Only the child's ends are inherited.
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    Check(input != INVALID_HANDLE_VALUE, "NUL");
    OutFd = reinterpret_cast<intptr_t>(outRead);
    ErrFd = reinterpret_cast<intptr_t>(errRead);

    const std::string executable = Options.Executable.empty() ? CliExecutable() : Options.Executable;
    std::wstring line;
    AppendQuoted(line, Widen(executable));
    for (const std::string &argument : Arguments)
        AppendQuoted(line, Widen(argument));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const std::wstring folder = Widen(Options.WorkingDir);
    // Wine now and then fails a process start with ERROR_INTERNAL_ERROR (1359); a
    // second try starts it.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(Widen(executable).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup, &process);
        error = GetLastError();
        if (!started && error != ERROR_INTERNAL_ERROR)
            break;
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(input);
    SetLastError(error);
    Check(started, executable);
    CloseHandle(process.hThread);
    Pid = reinterpret_cast<intptr_t>(process.hProcess);
}

TChild::~TChild()
{
    if (!Reaped && Pid != -1) {
        TerminateProcess(AsHandle(Pid), 137);
        WaitForSingleObject(AsHandle(Pid), INFINITE);
    }
    if (Pid != -1)
        CloseHandle(AsHandle(Pid));
    if (OutFd != -1)
        CloseHandle(AsHandle(OutFd));
    if (ErrFd != -1)
        CloseHandle(AsHandle(ErrFd));
}

void TChild::WaitForOutput()
{
    // Anonymous pipes cannot be waited on: look until something is there or
    // the child has closed its end.
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(AsHandle(OutFd), nullptr, 0, nullptr, &available, nullptr) || available > 0)
            return;
        Sleep(1);
    }
}

void TChild::Kill(int Signal) { TerminateProcess(AsHandle(Pid), UINT(128 + Signal)); }

TResult TChild::Wait()
{
    TResult result;
    // Standard error is read beside, so that neither pipe can fill up and stop the child.
    std::thread errors([&] { ReadAll(AsHandle(ErrFd), result.Err); });
    ReadAll(AsHandle(OutFd), result.Out);
    errors.join();
    WaitForSingleObject(AsHandle(Pid), INFINITE);
    DWORD code = 0;
    Check(GetExitCodeProcess(AsHandle(Pid), &code) != 0, "GetExitCodeProcess");
    Reaped = true;
    result.ExitCode = int(code);
    return result;
}

} // namespace CliProcess
