#include "Checksums.h"

#include <algorithm>

namespace {

constexpr uint32_t Rot(uint32_t X, int K) { return (X << K) | (X >> (32 - K)); }

// lookup3's mix and final, unchanged: all arithmetic is modulo 2^32.
inline void Mix(uint32_t &a, uint32_t &b, uint32_t &c)
{
    a -= c; a ^= Rot(c, 4);  c += b;
    b -= a; b ^= Rot(a, 6);  a += c;
    c -= b; c ^= Rot(b, 8);  b += a;
    a -= c; a ^= Rot(c, 16); c += b;
    b -= a; b ^= Rot(a, 19); a += c;
    c -= b; c ^= Rot(b, 4);  b += a;
}

inline void Final(uint32_t &a, uint32_t &b, uint32_t &c)
{
    c ^= b; c -= Rot(b, 14);
    a ^= c; a -= Rot(c, 11);
    b ^= a; b -= Rot(a, 25);
    c ^= b; c -= Rot(b, 16);
    a ^= c; a -= Rot(c, 4);
    b ^= a; b -= Rot(a, 14);
    c ^= b; c -= Rot(b, 24);
}

// The Count (at most 4) bytes at k as a little-endian number; fewer than 4 at
// the end of a name.
inline uint32_t Word(const unsigned char *k, size_t Count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < Count; ++i)
        value |= uint32_t(k[i]) << (8 * i);
    return value;
}

// The largest count of bytes after which B cannot have overflowed 32 bits
// before the modulo (zlib's NMAX), a multiple of 16.
constexpr size_t AdlerRun = 5552;
constexpr uint32_t AdlerBase = 65521;

} // namespace

uint64_t HashLittle2(const std::string &Name)
{
    const auto *k = reinterpret_cast<const unsigned char *>(Name.data());
    size_t length = Name.size();
    uint32_t a, b, c;
    a = b = c = 0xDEADBEEFu + uint32_t(length);
    while (length > 12) {
        a += Word(k, 4);
        b += Word(k + 4, 4);
        c += Word(k + 8, 4);
        Mix(a, b, c);
        length -= 12;
        k += 12;
    }
    if (length > 0) {
        // The last 1 to 12 bytes, zero-padded.
        a += Word(k, std::min<size_t>(length, 4));
        if (length > 4)
            b += Word(k + 4, std::min<size_t>(length - 4, 4));
        if (length > 8)
            c += Word(k + 8, length - 8);
        Final(a, b, c);
    }
    return (uint64_t(b) << 32) | c;
}

void TAdler32::Add(const void *Data, size_t Bytes)
{
    const auto *p = static_cast<const unsigned char *>(Data);
    uint64_t a = A, b = B;
    while (Bytes > 0) {
        size_t run = Bytes < AdlerRun ? Bytes : AdlerRun;
        Bytes -= run;
        // Groups of 16 bytes, one lane per place in the group, in a form the
        // compiler can vectorise. Over G groups, byte j of group g adds to a
        // once and to b once for each step it is in a: 16 - j times in its own
        // group and 16 times in every later one. So, with Sum[j] the sum of the
        // bytes at place j and Before[j] the sum, over the groups, of those
        // before it at place j:
        //   a += sum of Sum,   b += 16 G a + 16 sum of Before + sum of (16 - j) Sum[j].
        uint32_t sum[16] = {}, before[16] = {};
        const size_t groups = run / 16;
        for (size_t g = 0; g < groups; ++g, p += 16)
            for (int j = 0; j < 16; ++j) {
                before[j] += sum[j];
                sum[j] += p[j];
            }
        uint64_t sums = 0, befores = 0, weighted = 0;
        for (int j = 0; j < 16; ++j) {
            sums += sum[j];
            befores += before[j];
            weighted += uint64_t(16 - j) * sum[j];
        }
        b += 16 * groups * a + 16 * befores + weighted;
        a += sums;
        for (run -= groups * 16; run > 0; --run) {
            a += *p++;
            b += a;
        }
        a %= AdlerBase;
        b %= AdlerBase;
    }
    A = uint32_t(a);
    B = uint32_t(b);
}
