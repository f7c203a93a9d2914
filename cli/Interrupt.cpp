#include "Interrupt.h"

#include <csignal>
#include <cstdlib>

namespace Interrupt {

namespace {

volatile std::sig_atomic_t Deferred = 0;
volatile std::sig_atomic_t Signal = 0;

const int Handled[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnSignal(int number)
{
    // A second request does not wait for the command: the earlier map file
    // is still whole (the atomic save replaces it only when complete).
    if (!Deferred || Signal != 0) {
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    Signal = number;
}

} // namespace

void Install()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // file writes go on; the loop checks between block-columns
    for (const int number : Handled) {
        struct sigaction previous = {};
        // A signal that the caller set to be ignored (nohup) stays ignored.
        if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(number, &action, nullptr);
    }
}

void DeferToAbort() { Deferred = 1; }

int Received() { return Signal; }

void Finish()
{
    const int number = Signal != 0 ? int(Signal) : SIGTERM;
    std::signal(number, SIG_DFL);
    std::raise(number);
    std::_Exit(128 + number); // only if the signal is blocked or ignored
}

} // namespace Interrupt
