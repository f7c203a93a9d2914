#include "Random.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

TEST(Random, Pcg32MatchesTheReferenceOutputs)
{
    TPcg32 generator;
    generator.Seed(42, 54);
    const std::vector<uint32_t> expected = {0xa15c02b7, 0x7b47f409, 0xba1d3330,
                                            0x83d2f293, 0xbfa4784b, 0xcbed606e};
    for (uint32_t value : expected)
        EXPECT_EQ(generator.Next32(), value);
}

struct TBoundedCase
{
    uint64_t State, Seq;
    uint32_t Bound;
    std::vector<uint32_t> Expected;
};

TEST(Random, BoundedDrawsMatchTheCheckValues)
{
    const TBoundedCase cases[] = {
        {12345, 2, 10, {1, 3, 2, 0, 6, 7, 9, 4}},
        {12345, 3, 15, {9, 10, 13, 9, 9, 9, 5, 9}},
        {0, 1, 4, {0, 0, 0, 3, 2, 1, 0, 0}},
        {18446744073709551615ULL, 5, 62, {31, 1, 31, 10, 36, 40, 50, 18}},
    };
    for (const auto &c : cases) {
        TPcg32 generator;
        generator.Seed(c.State, c.Seq);
        std::vector<uint32_t> got;
        for (size_t i = 0; i < c.Expected.size(); ++i)
            got.push_back(generator.Random(c.Bound));
        EXPECT_EQ(got, c.Expected) << "seed " << c.State << ", stream " << c.Seq;
    }
}

TEST(Random, FixedSeedStartsEverySiteOnItsOwnStream)
{
    Random::SetFixedSeed(12345);
    Random::Draw(7); // whatever came before does not matter
    Random::Reseed(TSeedSite::ImageLoad);
    std::vector<uint32_t> got;
    for (int i = 0; i < 8; ++i)
        got.push_back(Random::Draw(10));
    EXPECT_EQ(got, (std::vector<uint32_t>{1, 3, 2, 0, 6, 7, 9, 4}));

    Random::Reseed(TSeedSite::RandomHeights);
    EXPECT_EQ(Random::Draw(15), 9u);
    Random::SetFixedSeed(std::nullopt);
}

// The decoration draws from a stream of its own, seed(S, 6) with a fixed
// seed; taking it leaves the map's generator where it was.
TEST(Random, DecorationStreamLeavesTheMapsGeneratorAlone)
{
    Random::SetFixedSeed(12345);
    Random::Reseed(TSeedSite::ImageLoad);
    Random::Draw(10);
    const TPcg32 map = Random::Generator();
    TPcg32 decoration = Random::NewStream(TSeedSite::Decoration);
    TPcg32 expected;
    expected.Seed(12345, 6);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(decoration.Next32(), expected.Next32());
    EXPECT_EQ(Random::Generator().State, map.State);
    EXPECT_EQ(Random::Generator().Inc, map.Inc);
    EXPECT_EQ(Random::Draw(10), 3u); // the second of the check values of stream 2
    Random::SetFixedSeed(std::nullopt);
}

// Two re-seeds at clock readings that differ give different streams. The
// second waits until the clock has moved past the first, however coarse the
// clock is, so the test does not depend on its resolution.
TEST(Random, ClockSeedsDifferBetweenReseeds)
{
    Random::SetFixedSeed(std::nullopt);
    Random::Reseed(TSeedSite::ImageLoad);
    const uint64_t first = Random::Generator().State;
    const auto afterFirst = std::chrono::system_clock::now();
    while (std::chrono::system_clock::now() <= afterFirst)
        std::this_thread::yield();
    Random::Reseed(TSeedSite::ImageLoad);
    EXPECT_NE(Random::Generator().State, first);
}

TEST(Random, AdvanceJumpsLikeThatManyDraws)
{
    for (uint64_t delta : {0ULL, 1ULL, 2ULL, 7ULL, 64ULL, 1000ULL, 123457ULL}) {
        TPcg32 stepped, jumped;
        stepped.Seed(987654321, 7);
        jumped = stepped;
        for (uint64_t i = 0; i < delta; ++i)
            stepped.Next32();
        jumped.Advance(delta);
        EXPECT_EQ(jumped.State, stepped.State) << delta;
        EXPECT_EQ(jumped.Next32(), stepped.Next32()) << delta;
    }
}
