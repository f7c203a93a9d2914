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

void TPcg32::Advance(uint64_t Delta)
{
    // Compose Delta steps of state = state * Multiplier + Inc by squaring.
    uint64_t accMultiplier = 1, accIncrement = 0;
    uint64_t curMultiplier = Multiplier, curIncrement = Inc;
    while (Delta > 0) {
        if (Delta & 1) {
            accMultiplier *= curMultiplier;
            accIncrement = accIncrement * curMultiplier + curIncrement;
        }
        curIncrement = (curMultiplier + 1) * curIncrement;
        curMultiplier *= curMultiplier;
        Delta >>= 1;
    }
    State = accMultiplier * State + accIncrement;
}

namespace Random {

namespace {
TPcg32 TheGenerator;
std::optional<uint64_t> TheFixedSeed;
} // namespace

TPcg32 &Generator() { return TheGenerator; }

void SetFixedSeed(std::optional<uint64_t> seed) { TheFixedSeed = seed; }

std::optional<uint64_t> FixedSeed() { return TheFixedSeed; }

void Reseed(TSeedSite site) { TheGenerator = NewStream(site); }

TPcg32 NewStream(TSeedSite site)
{
    uint64_t seed;
    if (TheFixedSeed) {
        seed = *TheFixedSeed;
    } else {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        seed = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    }
    TPcg32 generator;
    generator.Seed(seed, uint64_t(site));
    return generator;
}

} // namespace Random
