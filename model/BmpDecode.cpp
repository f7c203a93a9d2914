// The BMP decoder. It runs only on a file that BmpProblem found sound, so every
// offset it reads lies inside the file and run-length data writes each pixel
// exactly once; what is left to it is the red value of each pixel, and the
// colour indices of plain rows, which the check leaves to this one pass.
#include "ByteOrder.h"
#include "PictureCheck.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace {

constexpr uint32_t RunLength8 = 1;
constexpr uint32_t RunLength4 = 2;

using TRedTable = std::array<uint8_t, 256>;

// The channel's value (red unless asked) of each colour index; the core
// header's entries have 3 bytes.
TRedTable RedTable(std::span<const uint8_t> f, const TBmpLayout &h, uint32_t channel)
{
    TRedTable reds{};
    const uint64_t entry = h.InfoSize == 12 ? 3 : 4;
    for (uint64_t i = 0; i < h.Colours && i < 256; ++i)
        reds[i] = f[h.TableStart + i * entry + channel];
    return reds;
}

uint32_t ChannelMask(const TBmpLayout &h, TBmpChannel channel)
{
    return channel == TBmpChannel::Red ? h.RedMask : channel == TBmpChannel::Green ? h.GreenMask : h.BlueMask;
}

// One plain row of the file from its bytes p, the first `width` pixels.
// channel: the byte of a B, G, R pixel; mask: the channel's bit mask.
std::string PlainRow(const uint8_t *p, const TBmpLayout &h, const TRedTable &table, uint32_t width, uint64_t y,
                     uint8_t *reds, uint32_t channel, uint32_t mask)
{
    const uint32_t bits = h.BitsPerPixel;
    if (bits == 24) {
        for (uint32_t x = 0; x < width; ++x)
            reds[x] = p[3 * x + channel];
        return {};
    }
    if (bits == 32 && mask == 0xFFu << (8 * channel)) {
        for (uint32_t x = 0; x < width; ++x)
            reds[x] = p[4 * x + channel];
        return {};
    }
    if (bits == 16 || bits == 32) {
        const uint32_t shift = uint32_t(std::countr_zero(mask | 0x80000000u));
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t v = bits == 16 ? ByteOrder::Le16(p + 2 * x) : ByteOrder::Le32(p + 4 * x);
            reds[x] = uint8_t((v & mask) >> shift);
        }
        return {};
    }
    if (bits == 8) {
        uint8_t highest = 0; // a plain maximum first: this loop runs at memory speed
        for (uint32_t x = 0; x < width; ++x)
            highest = std::max(highest, p[x]);
        if (highest >= h.Colours) {
            const uint32_t x = uint32_t(std::find_if(p, p + width, [&](uint8_t i) { return i >= h.Colours; }) - p);
            return ColourIndexProblem(x, y, p[x], h.Colours);
        }
        for (uint32_t x = 0; x < width; ++x)
            reds[x] = table[p[x]];
        return {};
    }
    for (uint32_t x = 0; x < width; ++x) { // 1 and 4 bits, the leftmost pixel in the high bits
        const uint64_t bit = uint64_t(x) * bits;
        const uint32_t index = (p[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= h.Colours)
            return ColourIndexProblem(x, y, index, h.Colours);
        reds[x] = table[index];
    }
    return {};
}

// Walks the run-length data the check walked, filling one file row at a time.
void RunLengthRows(std::span<const uint8_t> f, const TBmpLayout &h, const TRedTable &table, TPictureCrop crop,
                   TRedRows &rows)
{
    const bool four = h.Compression == RunLength4;
    const uint64_t end = h.ImageSize != 0 ? h.DataOffset + h.ImageSize : f.size();
    std::vector<uint8_t> row(crop.Width); // columns beyond the crop are walked, not kept
    const auto put = [&](uint64_t at, uint8_t red) {
        if (at < crop.Width)
            row[at] = red;
    };
    uint64_t at = h.DataOffset, x = 0, y = 0;
    const auto finishRow = [&] {
        const uint64_t top = h.Height - 1 - y; // run-length pictures are stored bottom-up
        if (x == h.Width && y < h.Height && top < crop.Height)
            rows.Row(uint32_t(top), row.data());
    };
    const auto index = [four](uint32_t b, uint64_t i) { return four ? (i % 2 == 0 ? b >> 4 : b & 15u) : b; };
    while (end - at >= 2) {
        const uint32_t count = f[at], value = f[at + 1];
        at += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (uint64_t i = 0; i < count; ++i)
                put(x + i, table[index(value, i)]);
            x += count;
        } else if (value == 0) { // end of line
            finishRow();
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // a jump; only one by (0, 0) passes the check
            at += 2;
        } else { // literal pixels, padded to an even number of bytes
            for (uint64_t i = 0; i < value; ++i)
                put(x + i, table[index(f[at + (four ? i / 2 : i)], i)]);
            const uint64_t bytes = four ? (value + 1) / 2 : value;
            at = std::min(end, at + bytes + bytes % 2);
            x += value;
        }
    }
    finishRow(); // the last row, when its end-of-line mark is left out
}

} // namespace

std::string DecodeBmp(std::span<const uint8_t> f, const TBmpLayout &h, TPictureCrop crop, uint32_t firstRow,
                      uint32_t lastRow, TRedRows &rows, TBmpChannel channel)
{
    const TRedTable table = RedTable(f, h, uint32_t(channel));
    if (!BmpRowsStandAlone(h)) {
        RunLengthRows(f, h, table, crop, rows);
        return {};
    }
    const uint64_t stride = (h.Width * h.BitsPerPixel + 31) / 32 * 4;
    std::vector<uint8_t> reds(crop.Width);
    for (uint32_t y = firstRow; y < lastRow; ++y) {
        const uint64_t fileRow = h.TopDown ? y : h.Height - 1 - y;
        if (std::string problem = PlainRow(f.data() + h.DataOffset + fileRow * stride, h, table, crop.Width, y,
                                           reds.data(), uint32_t(channel), ChannelMask(h, channel));
            !problem.empty())
            return problem;
        rows.Row(y, reds.data());
    }
    return {};
}
