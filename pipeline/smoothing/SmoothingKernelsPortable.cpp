// The smoothing kernels in portable form: the vector operations as loops over
// 32 bytes, which the compiler turns into whatever vector instructions the
// target has. Used where the processor has no AVX2.
#include "SmoothingKernels.h"

#include <algorithm>
#include <cstring>

namespace Smoothing {

namespace {

struct TPortableOps
{
    struct V
    {
        uint8_t B[Lanes];
    };

    template <class F>
    static V Each(F f)
    {
        V r;
        for (int i = 0; i < Lanes; ++i)
            r.B[i] = uint8_t(f(i));
        return r;
    }
    static int Signed(uint8_t b) { return int(int8_t(b)); }
    static int Saturated(int v) { return std::clamp(v, -128, 127); }

    static V Load(const uint8_t *p)
    {
        V r;
        std::memcpy(r.B, p, Lanes);
        return r;
    }
    static void Store(uint8_t *p, const V &v) { std::memcpy(p, v.B, Lanes); }
    static V Splat(uint8_t c) { return Each([&](int) { return c; }); }
    static V MaxU(const V &a, const V &b) { return Each([&](int i) { return std::max(a.B[i], b.B[i]); }); }
    static V MinU(const V &a, const V &b) { return Each([&](int i) { return std::min(a.B[i], b.B[i]); }); }
    static V AddSatU(const V &a, const V &b) { return Each([&](int i) { return std::min(a.B[i] + b.B[i], 255); }); }
    static V SubSatU(const V &a, const V &b) { return Each([&](int i) { return std::max(a.B[i] - b.B[i], 0); }); }
    static V AvgU(const V &a, const V &b) { return Each([&](int i) { return (a.B[i] + b.B[i] + 1) >> 1; }); }
    static V And(const V &a, const V &b) { return Each([&](int i) { return a.B[i] & b.B[i]; }); }
    static V Or(const V &a, const V &b) { return Each([&](int i) { return a.B[i] | b.B[i]; }); }
    static V Xor(const V &a, const V &b) { return Each([&](int i) { return a.B[i] ^ b.B[i]; }); }
    static V AndNot(const V &a, const V &b) { return Each([&](int i) { return ~a.B[i] & b.B[i]; }); }
    static V Add(const V &a, const V &b) { return Each([&](int i) { return a.B[i] + b.B[i]; }); }
    static V Sub(const V &a, const V &b) { return Each([&](int i) { return a.B[i] - b.B[i]; }); }
    static V Eq(const V &a, const V &b) { return Each([&](int i) { return a.B[i] == b.B[i] ? 0xFF : 0; }); }
    static V GtS(const V &a, const V &b) { return Each([&](int i) { return Signed(a.B[i]) > Signed(b.B[i]) ? 0xFF : 0; }); }
    static V Blend(const V &a, const V &b, const V &m) { return Each([&](int i) { return (m.B[i] & 0x80) ? b.B[i] : a.B[i]; }); }
    static V ShiftUp(const V &x, const V &y) { return Each([&](int i) { return i == 0 ? y.B[Lanes - 1] : x.B[i - 1]; }); }
    static V ShiftDown(const V &x, const V &y) { return Each([&](int i) { return i == Lanes - 1 ? y.B[0] : x.B[i + 1]; }); }
    static V AddSatS(const V &a, const V &b) { return Each([&](int i) { return Saturated(Signed(a.B[i]) + Signed(b.B[i])); }); }
    static V SubSatS(const V &a, const V &b) { return Each([&](int i) { return Saturated(Signed(a.B[i]) - Signed(b.B[i])); }); }
    static V AbsS(const V &a) { return Each([&](int i) { return std::abs(Signed(a.B[i])); }); }
    static V SignS(const V &a, const V &b)
    {
        return Each([&](int i) {
            const int s = Signed(b.B[i]);
            return s > 0 ? a.B[i] : s < 0 ? -a.B[i] : 0;
        });
    }
    static bool Any(const V &a)
    {
        uint8_t any = 0;
        for (int i = 0; i < Lanes; ++i)
            any |= a.B[i];
        return any != 0;
    }
};

using TKernels = TBandKernels<TPortableOps>;

} // namespace

const TKernelSet &PortableKernels()
{
    static const TKernelSet kernels = {
        &TKernels::Terrain<true>,
        &TKernels::Terrain<false>,
        &TKernels::Mountains,
    };
    return kernels;
}

} // namespace Smoothing
