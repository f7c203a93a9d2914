#pragma once

// Ctrl-C and termination requests. Until DeferToAbort is called they end the
// process at once, as usual (nothing is half-written then). Afterwards they
// are only recorded, so that the writing can stop at its next check and
// discard the unfinished file; Finish then ends the process by the signal.
// A second request ends the process at once all the same.
namespace Interrupt {

void Install();
void DeferToAbort();
// The signal that arrived while deferred, or 0.
int Received();
// Ends the process as the recorded signal would have (no return).
[[noreturn]] void Finish();

} // namespace Interrupt
