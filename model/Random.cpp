#include "Random.h"

#include <chrono>

void TPcg32::Seed(uint64_t initState, uint64_t initSeq)
{
    State = 0;
    Inc = (initSeq << 1) | 1u;
    Next32();
    State += initState;
    Next32();
}

uint32_t TPcg32::Next32()
{
    const uint64_t old = State;
    State = old * 6364136223846793005ULL + Inc;
    const auto xorShifted = uint32_t(((old >> 18) ^ old) >> 27);
    const auto rot = uint32_t(old >> 59);
    return (xorShifted >> rot) | (xorShifted << ((-rot) & 31));
}

namespace Random {

namespace {
TPcg32 TheGenerator;
std::optional<uint64_t> TheFixedSeed;
} // namespace

TPcg32 &Generator() { return TheGenerator; }

void SetFixedSeed(std::optional<uint64_t> seed) { TheFixedSeed = seed; }

std::optional<uint64_t> FixedSeed() { return TheFixedSeed; }

void Reseed(TSeedSite site)
{
    uint64_t seed;
    if (TheFixedSeed) {
        seed = *TheFixedSeed;
    } else {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        seed = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    }
    TheGenerator.Seed(seed, uint64_t(site));
}

} // namespace Random
