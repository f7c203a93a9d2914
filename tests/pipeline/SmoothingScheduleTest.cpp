// The order in which the threaded smoothing scheduler lets bands run. A band
// computes step t of a pass from the cells around it in the banded layout:
// the band above, of the same pass, up to step t + Reach - 1 (the cell to the
// north-east of lane 0 is step t + Reach - 2, and the kernels load one step
// further for the next step), and the band below, of the pass before, up to
// step t + 5 - Reach. So when band b starts steps First..Last, band b-1 must
// have finished its steps up to Last + Reach - 1 of that pass, and band b+1
// its steps up to Last + 5 - Reach of the pass before.
//
// The test holds one band back as far as the scheduler allows: before each of
// its steps it waits until the other thread is stuck waiting for exactly the
// progress the held band has published (or has no work left). Every step is
// its own range, so progress moves one step at a time. When a band starts,
// the steps that the bands around it have finished are recorded; with the
// held band as slow as possible, the tightest lead is the one the scheduler
// demands, and a weaker wait shows up as a smaller lead, every time.
#include "SmoothingBands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using namespace Smoothing;

namespace {

// Cells read by a band from the band above (same pass) and below (pass
// before), as steps ahead of the last step it computes.
constexpr int LeadAbove = Reach;      // steps up to Last + Reach - 1 done
constexpr int LeadBelow = 6 - Reach;  // steps up to Last + 5 - Reach done

class THeldBandWork : public TPassWork, public TScheduleProbe
{
public:
    THeldBandWork(int bands, int steps, int firstPass, int lastPass, int heldBand, int heldPass)
        : Steps(steps), FirstPass(firstPass), HeldBand(heldBand), HeldPass(heldPass),
          Done(size_t(bands), std::vector<int>(size_t(lastPass - firstPass + 1), 0)), Bands(bands)
    {
        for (int t = 0; t < steps; ++t)
            EveryStep.push_back({t, t});
    }

    const std::vector<TStepRange> &StepsOf(int, int) override { return EveryStep; }

    void Compute(int, int band, int pass, int first, int last) override
    {
        const std::lock_guard<std::mutex> lock(Lock);
        Done[size_t(band)][size_t(pass - FirstPass)] += last - first + 1;
    }

    void Starting(int thread, int band, int pass, int, int last, uint64_t own) override
    {
        std::unique_lock<std::mutex> lock(Lock);
        Check(band, pass, last);
        State[thread] = {TState::Running, -1, 0};
        Changed.notify_all();
        if (band != HeldBand || pass != HeldPass)
            return;
        // Only a guard against a scheduler that never waits for the held
        // band (the test would hang): then the band goes on, and it is told.
        const bool released = Changed.wait_for(lock, std::chrono::seconds(60), [&] {
            const TThreadState &other = State[1 - thread];
            return other.What == TState::Finished || (other.What == TState::Waiting && other.On == band && other.Seen == own);
        });
        if (!released && FirstViolation.empty())
            FirstViolation = "the other thread neither waited for band " + std::to_string(band) + " nor finished";
    }

    void Waiting(int thread, int, int on, uint64_t seen) override
    {
        const std::lock_guard<std::mutex> lock(Lock);
        State[thread] = {TState::Waiting, on, seen};
        Changed.notify_all();
    }

    void Finished(int thread) override
    {
        const std::lock_guard<std::mutex> lock(Lock);
        State[thread] = {TState::Finished, -1, 0};
        Changed.notify_all();
    }

    // The smallest lead seen where the whole lead lies inside the band
    // (INT_MAX when there was none), and the first start that came too early.
    int TightestAbove = INT_MAX;
    int TightestBelow = INT_MAX;
    std::string FirstViolation;

private:
    enum class TState { Running, Waiting, Finished };
    struct TThreadState
    {
        TState What = TState::Running;
        int On = -1;
        uint64_t Seen = 0;
    };

    void Check(int band, int pass, int last)
    {
        const auto check = [&](int neighbour, int neighbourPass, int lead, int &tightest, const char *where) {
            const int done = Done[size_t(neighbour)][size_t(neighbourPass - FirstPass)];
            const int needed = std::clamp(last + lead, 0, Steps);
            if (last + lead > 0 && last + lead < Steps)
                tightest = std::min(tightest, done - last);
            if (done < needed && FirstViolation.empty()) {
                std::ostringstream text;
                text << "band " << band << " started step " << last << " of pass " << pass << " when the band "
                     << where << " had finished " << done << " steps, not " << needed;
                FirstViolation = text.str();
            }
        };
        if (band > 0)
            check(band - 1, pass, LeadAbove, TightestAbove, "above");
        if (band + 1 < Bands && pass > FirstPass)
            check(band + 1, pass - 1, LeadBelow, TightestBelow, "below");
    }

    const int Steps;
    const int FirstPass;
    const int HeldBand;
    const int HeldPass;
    std::vector<TStepRange> EveryStep;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::vector<int>> Done; // steps finished, by band and pass
    const int Bands;
    TThreadState State[2];
};

struct TScheduleCase
{
    const char *Name;
    int FirstPass, LastPass;
    int HeldBand, HeldPass;
};

// The band above held back in its only pass: the band below runs into the
// wait on the band above. The band below held back in pass 1: the band above
// runs its pass 2 into the wait on the band below.
const TScheduleCase ScheduleCases[] = {
    {"band above held", 1, 1, 0, 1},
    {"band below held", 1, 2, 1, 1},
    {"band below held, later passes", 29, 31, 1, 30},
};

TEST(SmoothingSchedule, ABandStartsOnlyWhenTheBandsAroundItAreFarEnough)
{
    TBandGrid grid(300, 2 * Lanes, 0x80); // two bands of 395 steps
    ASSERT_EQ(grid.Bands(), 2);
    for (const TScheduleCase &c : ScheduleCases) {
        SCOPED_TRACE(c.Name);
        THeldBandWork work(grid.Bands(), grid.Steps(), c.FirstPass, c.LastPass, c.HeldBand, c.HeldPass);
        RunPasses(grid, c.FirstPass, c.LastPass, 2, work, &work);
        EXPECT_EQ(work.FirstViolation, "");
        // The held band made the other wait for exactly what the scheduler
        // demands, so the tightest lead is that demand: the check was tight.
        if (c.HeldBand == 0)
            EXPECT_EQ(work.TightestAbove, LeadAbove);
        else
            EXPECT_EQ(work.TightestBelow, LeadBelow);
    }
}

} // namespace
