#include "Interrupt.h"

#include "Platform.h"

#include <csignal>

namespace Interrupt {

namespace {

volatile std::sig_atomic_t Deferred = 0;
volatile std::sig_atomic_t Request = 0;

// Runs as a signal handler on POSIX (on Windows on a thread of its own): it
// only records the request or ends the process.
void OnRequest(int Number)
{
    // A second request does not wait for the command: the earlier map file
    // is still whole (the atomic save replaces it only when complete).
    if (!Deferred || Request != 0)
        Platform::EndByRequest(Number);
    Request = Number;
}

} // namespace

void Install() { Platform::OnInterrupt(OnRequest); }

void DeferToAbort() { Deferred = 1; }

int Received() { return Request; }

void Finish()
{
    Platform::EndByRequest(Request != 0 ? int(Request) : Platform::TerminationRequest());
}

} // namespace Interrupt
