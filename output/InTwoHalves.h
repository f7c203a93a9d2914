#pragma once

#include <exception>
#include <thread>

// Runs Work(First, Last) over 0 .. Count - 1 in two halves on two threads
// (one on a machine of one core); the halves share nothing they write.
template <typename TWork> void InTwoHalves(int Count, const TWork &Work)
{
    if (std::thread::hardware_concurrency() < 2 || Count < 2) {
        Work(0, Count);
        return;
    }
    std::exception_ptr failure;
    std::thread second([&] {
        try {
            Work(Count / 2, Count);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        Work(0, Count / 2);
    } catch (...) {
        second.join();
        throw;
    }
    second.join();
    if (failure)
        std::rethrow_exception(failure);
}
