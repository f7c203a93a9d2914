#pragma once

// The inner loops of the fast smoothing stages: steps First..Last of one band
// (see SmoothingBands.h), 32 cells a step, written once over a set of vector
// operations O so that the same code runs with AVX2 and in portable form.
//
// Altitudes are biased bytes u = altitude + 128 (altitude ^ 0x80), so that
// signed order is unsigned order. A neighbour that does not count (class
// byte with bit 7 set) takes part as 0 in the highest and as 255 in the
// lowest altitude, which changes neither. The start values -127 and 127 are
// u = 1 and 255.
//
// O provides, on vectors V of 32 bytes: Load, Store (64-byte aligned), Splat,
// MaxU, MinU, AddSatU, SubSatU, AvgU ((a + b + 1) >> 1), And, Or, Xor,
// AndNot (~a & b), Add, Sub (wrapping), Eq (0xFF where equal), GtS (0xFF
// where a > b, signed), Blend(a, b, m)
// (b where bit 7 of m is set, else a), ShiftUp(x, y) (lane i takes lane i - 1
// of x, lane 0 lane 31 of y), ShiftDown(x, y) (lane i takes lane i + 1 of x,
// lane 31 lane 0 of y), the signed AddSatS, SubSatS, AbsS (|-128| = 128) and
// SignS(a, b) (a, -a or 0 by the sign of b), and Any (some byte not 0).
#include "HeightConstants.h"
#include "SmoothingBands.h"

#include <cstdint>

namespace Smoothing {

// Class bytes of stage 8: bit 7 set for a cell that does not count as a
// neighbour (code 0, mountain, frame); the low bits say when it is smoothed.
constexpr uint8_t TerrainNotCounted = 0x80;
constexpr uint8_t TerrainAlways = 0x00;    // every pass
constexpr uint8_t TerrainSeed = 0x01;      // from the seed pass on
constexpr uint8_t TerrainNever = 0x02;     // fixed or mountain
// A cell is smoothed in a pass when class & mask is 0.
constexpr uint8_t TerrainEarlyMask = 0x03;
constexpr uint8_t TerrainLateMask = 0x02;

// Class bytes of stage 9: bit 7 set for a cell that does not count (code 0,
// frame); a processed mountain cell holds its step (7, 12 or 30), with bit 6
// when it is a seed; every other cell MountainKept.
constexpr uint8_t MountainNotCounted = 0x80;
constexpr uint8_t MountainKept = 0x7F;
constexpr uint8_t MountainSeedBit = 0x40;
constexpr uint8_t MountainStepBits = 0x3F;
static_assert(HeightConstants::SteepestMountainLimit <= MountainStepBits, "a step must fit below the seed bit");
// A cell is processed in a pass when its class is at most this limit.
constexpr uint8_t MountainEarlyLimit = HeightConstants::SteepestMountainLimit;
constexpr uint8_t MountainLateLimit = MountainSeedBit | MountainEarlyLimit;

// What a band computation needs: entry 0 of the band and of the bands above
// and below it.
struct TBandView
{
    uint8_t *Own;
    const uint8_t *Up;
    const uint8_t *Down;
};

template <class O>
struct TBandKernels
{
    using V = typename O::V;

    static V AltitudesAt(const uint8_t *band, int t) { return O::Load(band + ptrdiff_t(t) * EntryBytes); }
    static V ClassesAt(const uint8_t *band, int t) { return O::Load(band + ptrdiff_t(t) * EntryBytes + ClassOffset); }
    // The part a cell takes in the highest and in the lowest neighbour altitude.
    static V NotCounted(V classes) { return O::GtS(O::Splat(0), classes); }
    static V HighPart(V altitudes, V classes) { return O::AndNot(NotCounted(classes), altitudes); }
    static V LowPart(V altitudes, V classes) { return O::Or(altitudes, NotCounted(classes)); }
    static V HighAt(const uint8_t *band, int t) { return HighPart(AltitudesAt(band, t), ClassesAt(band, t)); }
    static V LowAt(const uint8_t *band, int t) { return LowPart(AltitudesAt(band, t), ClassesAt(band, t)); }

    // round((u + w) / 2), halves to the even neighbour: the rounded-up average
    // less one where the sum is odd and the rounded-up value is odd.
    static V RoundedMiddle(V u, V w)
    {
        const V up = O::AvgU(u, w);
        return O::Sub(up, O::And(O::And(O::Xor(u, w), up), O::Splat(1)));
    }

    // The neighbours of the cells of a step t other than the west one, as the
    // highest and lowest parts: the three cells above come from steps t-2..t-4
    // (one lane up), the three below from t+2..t+4 (one lane down), the east
    // cell from t+1. The rows above and below the band come from the bands
    // around it, Reach steps on and back.
    struct TWindow
    {
        V UpHigh[3], UpLow[3];     // steps t-2, t-3, t-4 shifted up
        V DownHigh[3], DownLow[3]; // steps t+2, t+3, t+4 shifted down

        void Start(const TBandView &band, int t)
        {
            for (int j = 0; j < 3; ++j) {
                const int up = t - 2 - j;
                UpHigh[j] = O::ShiftUp(HighAt(band.Own, up), HighAt(band.Up, up + Reach));
                UpLow[j] = O::ShiftUp(LowAt(band.Own, up), LowAt(band.Up, up + Reach));
                const int down = t + 2 + j;
                DownHigh[j] = O::ShiftDown(HighAt(band.Own, down), HighAt(band.Down, down - Reach));
                DownLow[j] = O::ShiftDown(LowAt(band.Own, down), LowAt(band.Down, down - Reach));
            }
        }
        // Moves from step t to t + 1; westHigh/westLow are the parts of step t - 1.
        void Advance(const TBandView &band, int t, V westHigh, V westLow)
        {
            UpHigh[2] = UpHigh[1];
            UpHigh[1] = UpHigh[0];
            UpHigh[0] = O::ShiftUp(westHigh, HighAt(band.Up, t - 1 + Reach));
            UpLow[2] = UpLow[1];
            UpLow[1] = UpLow[0];
            UpLow[0] = O::ShiftUp(westLow, LowAt(band.Up, t - 1 + Reach));
            DownHigh[0] = DownHigh[1];
            DownHigh[1] = DownHigh[2];
            DownHigh[2] = O::ShiftDown(HighAt(band.Own, t + 5), HighAt(band.Down, t + 5 - Reach));
            DownLow[0] = DownLow[1];
            DownLow[1] = DownLow[2];
            DownLow[2] = O::ShiftDown(LowAt(band.Own, t + 5), LowAt(band.Down, t + 5 - Reach));
        }
        // Highest and lowest over the seven neighbours; the highest at least
        // u = 1 (altitude -127), its start value.
        void Gather(const TBandView &band, int t, V &high, V &low) const
        {
            const V eastHigh = HighAt(band.Own, t + 1);
            const V eastLow = LowAt(band.Own, t + 1);
            high = O::MaxU(O::MaxU(O::MaxU(UpHigh[0], UpHigh[1]), O::MaxU(UpHigh[2], DownHigh[0])),
                           O::MaxU(O::MaxU(DownHigh[1], DownHigh[2]), O::MaxU(eastHigh, O::Splat(1))));
            low = O::MinU(O::MinU(O::MinU(UpLow[0], UpLow[1]), O::MinU(UpLow[2], DownLow[0])),
                          O::MinU(O::MinU(DownLow[1], DownLow[2]), eastLow));
        }
    };

    // Stage 8 on steps First..Last. A cell is smoothed when class & VisitMask
    // is 0. With CheckConvergence, returns whether some smoothed cell ends
    // further than the tolerance from its highest or lowest neighbour.
    template <bool CheckConvergence>
    static bool Terrain(const TBandView &view, int First, int Last, uint8_t VisitMask)
    {
        const TBandView band = view; // a local copy: the stores cannot change it
        const V step = O::Splat(uint8_t(HeightConstants::TerrainStep));
        const V tolerance = O::Splat(uint8_t(HeightConstants::TerrainTolerance));
        const V zero = O::Splat(0);
        const V visitMask = O::Splat(VisitMask);
        V far = zero;

        TWindow window;
        window.Start(band, First);
        V westHigh = HighAt(band.Own, First - 1);
        V westLow = LowAt(band.Own, First - 1);
        for (int t = First; t <= Last; ++t) {
            const V a = AltitudesAt(band.Own, t);
            const V classes = ClassesAt(band.Own, t);
            V high, low;
            window.Gather(band, t, high, low);
            high = O::MaxU(high, westHigh);
            low = O::MinU(low, westLow);

            // a + step < highest: a + step; a - step > lowest: a - step; else
            // the middle. Saturation keeps a + step and a - step in range
            // exactly where the comparison fails anyway.
            const V raised = O::AddSatU(a, step);
            const V lowered = O::SubSatU(a, step);
            const V notRaised = O::Eq(O::SubSatU(high, raised), zero);
            const V notLowered = O::Eq(O::SubSatU(lowered, low), zero);
            V n = O::Blend(lowered, RoundedMiddle(high, low), notLowered);
            n = O::Blend(raised, n, notRaised);
            const V smoothed = O::Eq(O::And(classes, visitMask), zero);
            n = O::Blend(a, n, smoothed);
            if constexpr (CheckConvergence) {
                const V highGap = O::Or(O::SubSatU(high, n), O::SubSatU(n, high));
                const V lowGap = O::Or(O::SubSatU(low, n), O::SubSatU(n, low));
                far = O::Or(far, O::And(smoothed, O::Or(O::SubSatU(highGap, tolerance), O::SubSatU(lowGap, tolerance))));
            }
            O::Store(band.Own + ptrdiff_t(t) * EntryBytes, n);

            const V newHigh = HighPart(n, classes);
            const V newLow = LowPart(n, classes);
            window.Advance(band, t, westHigh, westLow);
            westHigh = newHigh;
            westLow = newLow;
        }
        return CheckConvergence && O::Any(far);
    }

    // Stage 9 on steps First..Last: a cell is processed when its class is at
    // most VisitLimit; the flag that allows changes is known to be set.
    static void Mountains(const TBandView &view, int First, int Last, uint8_t VisitLimit)
    {
        const TBandView band = view; // a local copy: the stores cannot change it
        const V zero = O::Splat(0);
        const V one = O::Splat(1);
        const V bias = O::Splat(0x80);
        const V sixtyFour = O::Splat(64);
        const V stepBits = O::Splat(MountainStepBits);
        const V visitLimit = O::Splat(VisitLimit);

        TWindow window;
        window.Start(band, First);
        V westHigh = HighAt(band.Own, First - 1);
        V westLow = LowAt(band.Own, First - 1);
        for (int t = First; t <= Last; ++t) {
            const V a = AltitudesAt(band.Own, t);
            const V classes = ClassesAt(band.Own, t);
            V high, low;
            window.Gather(band, t, high, low);
            high = O::MaxU(high, westHigh);
            low = O::MinU(low, westLow);

            // m = round((highest + lowest) / 2); e = a - m, saturated (the
            // saturated values lie beyond every step). With 0 < |e| < step the
            // new altitude is round((2m + d) / 2) for d = e - step or e + step
            // (towards m by the step), else m: d is (-30, 30), so
            // round((2m + d) / 2) = m + floor(d / 2), plus 1 where d is odd
            // and m + floor(d / 2) is odd; the final add saturates, which is
            // the clamp to -128..127.
            const V middle = O::Xor(RoundedMiddle(high, low), bias); // signed
            const V e = O::SubSatS(O::Xor(a, bias), middle);
            const V step = O::And(classes, stepBits);
            const V outside = O::Eq(O::SubSatU(step, O::AbsS(e)), zero);
            const V d = O::AndNot(outside, O::Sub(e, O::SignS(step, e)));
            const V odd = O::And(d, one);
            const V floorHalf = O::Sub(O::Sub(O::AvgU(O::Xor(d, bias), zero), sixtyFour), odd);
            const V adjust = O::Add(floorHalf, O::And(odd, O::Xor(middle, floorHalf)));
            V n = O::Xor(O::AddSatS(middle, adjust), bias);
            const V processed = O::Eq(O::SubSatU(classes, visitLimit), zero);
            n = O::Blend(a, n, processed);
            O::Store(band.Own + ptrdiff_t(t) * EntryBytes, n);

            const V newHigh = HighPart(n, classes);
            const V newLow = LowPart(n, classes);
            window.Advance(band, t, westHigh, westLow);
            westHigh = newHigh;
            westLow = newLow;
        }
    }
};

// The kernels of one instruction set, as plain functions.
struct TKernelSet
{
    bool (*TerrainChecked)(const TBandView &band, int First, int Last, uint8_t VisitMask);
    bool (*Terrain)(const TBandView &band, int First, int Last, uint8_t VisitMask);
    void (*Mountains)(const TBandView &band, int First, int Last, uint8_t VisitLimit);
};

// The portable kernels, and the AVX2 ones where the processor has AVX2
// (nullptr otherwise).
const TKernelSet &PortableKernels();
const TKernelSet *Avx2Kernels();

} // namespace Smoothing
