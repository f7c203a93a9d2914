#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
inline std::chrono::steady_clock::time_point &TraceStart() { static auto t = std::chrono::steady_clock::now(); return t; }
inline void TraceReset() { TraceStart() = std::chrono::steady_clock::now(); }
inline void TraceMark(const char *What) {
    if (!std::getenv("MTRACE")) return;
    std::fprintf(stderr, "%7.1f %s\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - TraceStart()).count(), What);
}
