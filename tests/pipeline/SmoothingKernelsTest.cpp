// The two kernel sets of the fast smoothing stages, AVX2 and portable, on the
// same band contents: every byte they store and every convergence answer
// must agree. The bands hold random altitudes (over the whole range and
// crowded at either end) and random class bytes of the stage, so the rounding,
// saturation and blend paths are all taken. And the switch that turns the
// AVX2 path off.
#include "Random.h"
#include "SmoothingStage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace Smoothing;

namespace {

constexpr int Steps = 400; // steps 0..Steps-1 computed; the bands around reach Margin further

// A band of entries with Margin frame entries on each side, 64-byte aligned.
class TBand
{
public:
    TBand() : Bytes(size_t(Steps + 2 * Margin) * EntryBytes)
    {
        Data = static_cast<uint8_t *>(::operator new[](Bytes, std::align_val_t(EntryBytes)));
    }
    ~TBand() { ::operator delete[](Data, std::align_val_t(EntryBytes)); }
    TBand(const TBand &) = delete;
    TBand &operator=(const TBand &) = delete;

    uint8_t *Entry0() { return Data + size_t(Margin) * EntryBytes; }
    void CopyFrom(const TBand &other) { std::memcpy(Data, other.Data, Bytes); }
    bool operator==(const TBand &other) const { return std::memcmp(Data, other.Data, Bytes) == 0; }

    // Random altitudes lowest..highest (signed, stored biased) and class bytes
    // drawn from classes.
    void Draw(TPcg32 &random, int lowest, int highest, const std::vector<uint8_t> &classes)
    {
        for (int t = -Margin; t < Steps + Margin; ++t) {
            uint8_t *e = Entry0() + ptrdiff_t(t) * EntryBytes;
            for (int i = 0; i < Lanes; ++i) {
                e[i] = uint8_t(lowest + int(random.Random(uint32_t(highest - lowest + 1)))) ^ FrameAltitude;
                e[ClassOffset + i] = classes[random.Random(uint32_t(classes.size()))];
            }
        }
    }

private:
    size_t Bytes;
    uint8_t *Data;
};

struct TAltitudeRange
{
    int Lowest, Highest;
};
const TAltitudeRange AltitudeRanges[] = {{-128, 127}, {-128, -110}, {110, 127}, {-10, 10}};

const std::vector<uint8_t> TerrainClasses = {
    TerrainAlways, TerrainAlways, TerrainSeed, TerrainNever,
    TerrainNotCounted | TerrainAlways, TerrainNotCounted | TerrainNever,
};
const std::vector<uint8_t> MountainClasses = {
    7, 12, 30, 7, 12, 30, MountainSeedBit | 7, MountainSeedBit | 12, MountainSeedBit | 30, MountainKept, MountainNotCounted,
};

// Runs Compute on two copies of the same three bands, once per kernel set,
// and compares everything afterwards.
template <class TCompute>
void ExpectSetsAgree(const TKernelSet &a, const TKernelSet &b, const std::vector<uint8_t> &classes, TCompute compute)
{
    uint64_t seed = 1;
    for (const TAltitudeRange &range : AltitudeRanges)
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE("altitudes " + std::to_string(range.Lowest) + ".." + std::to_string(range.Highest) +
                         ", round " + std::to_string(round));
            TPcg32 random;
            random.Seed(seed++, 23);
            TBand own[2], up[2], down[2];
            own[0].Draw(random, range.Lowest, range.Highest, classes);
            up[0].Draw(random, range.Lowest, range.Highest, classes);
            down[0].Draw(random, range.Lowest, range.Highest, classes);
            own[1].CopyFrom(own[0]);
            up[1].CopyFrom(up[0]);
            down[1].CopyFrom(down[0]);
            // A first and last step inside the band, and the whole band.
            const int first = round == 0 ? 0 : int(random.Random(Steps / 2));
            const int last = round == 0 ? Steps - 1 : first + int(random.Random(Steps / 2));
            const bool answerA = compute(a, TBandView{own[0].Entry0(), up[0].Entry0(), down[0].Entry0()}, first, last);
            const bool answerB = compute(b, TBandView{own[1].Entry0(), up[1].Entry0(), down[1].Entry0()}, first, last);
            EXPECT_TRUE(own[0] == own[1]) << "steps " << first << ".." << last;
            EXPECT_TRUE(up[0] == up[1] && down[0] == down[1]) << "the bands around are only read";
            EXPECT_EQ(answerA, answerB);
        }
}

class SmoothingKernels : public testing::Test
{
protected:
    void SetUp() override
    {
        Avx2 = Avx2Kernels();
        if (!Avx2)
            GTEST_SKIP() << "this processor has no AVX2: only the portable kernels run here";
    }
    const TKernelSet *Avx2 = nullptr;
};

TEST_F(SmoothingKernels, TerrainKernelsAgree)
{
    for (const uint8_t mask : {TerrainEarlyMask, TerrainLateMask}) {
        SCOPED_TRACE("mask " + std::to_string(mask));
        ExpectSetsAgree(*Avx2, PortableKernels(), TerrainClasses,
                        [&](const TKernelSet &set, const TBandView &view, int first, int last) {
                            return set.TerrainChecked(view, first, last, mask);
                        });
        ExpectSetsAgree(*Avx2, PortableKernels(), TerrainClasses,
                        [&](const TKernelSet &set, const TBandView &view, int first, int last) {
                            return set.Terrain(view, first, last, mask);
                        });
    }
}

TEST_F(SmoothingKernels, MountainKernelsAgree)
{
    for (const uint8_t limit : {MountainEarlyLimit, MountainLateLimit}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        ExpectSetsAgree(*Avx2, PortableKernels(), MountainClasses,
                        [&](const TKernelSet &set, const TBandView &view, int first, int last) {
                            set.Mountains(view, first, last, limit);
                            return false;
                        });
    }
}

// MORVANE_NO_AVX2 switches the AVX2 kernels off unless it is empty or "0".
TEST(SmoothingKernelChoice, TheEnvironmentCanSwitchAvx2Off)
{
    const char *before = std::getenv("MORVANE_NO_AVX2");
    const std::string saved = before ? before : "";
    const TKernelSet *best = Avx2Kernels() ? Avx2Kernels() : &PortableKernels();
    struct TCase
    {
        const char *Value; // nullptr: not set
        bool Off;
    };
    for (const TCase c : {TCase{nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"yes", true}}) {
        TestSupport::SetEnv("MORVANE_NO_AVX2", c.Value);
        const std::string shown = c.Value ? std::string("\"") + c.Value + "\"" : "not set";
        EXPECT_EQ(Avx2SwitchedOff(), c.Off) << shown;
        EXPECT_EQ(&KernelsFor({}), c.Off ? &PortableKernels() : best) << shown;
        EXPECT_EQ(&KernelsFor({0, false}), &PortableKernels()) << shown;
    }
    TestSupport::SetEnv("MORVANE_NO_AVX2", before ? saved.c_str() : nullptr);
}

} // namespace
