// The PNG decoder: unpacks the image data through zlib in one pass, to the end
// of its stream (so its checksum is checked, and it must give exactly the bytes
// that the header's size, colour type, depth and interlacing call for),
// unfilters each row and hands on the red values of the part asked for. Rows
// and columns beyond that part are unpacked and counted but not unfiltered.
// An interlaced picture's seven passes are gathered in a plane of red values
// first: no row is whole before the last pass that touches it.
#include "ByteOrder.h"
#include "PictureCheck.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string Num(uint64_t n) { return std::to_string(n); }

// What the decoder needs of the header and the colour table.
struct TPngFormat
{
    uint64_t Width, Height;
    uint32_t ColourType, Depth, Bits;
    const std::vector<uint8_t> &PaletteReds;
    bool HighBytes;
};

// A 16-bit sample as the nearest 8-bit value, v * 255 / 65535.
uint8_t Narrow16(const uint8_t *p) { return uint8_t((uint32_t(ByteOrder::Be16(p)) * 255 + 32767) / 65535); }

// The red values of the first `count` pixels of an unfiltered row, written to
// out[0], out[step], ...; for a grey picture of fewer than 8 bits the grey
// value itself, in its own bits.
std::string RedsOfRow(const TPngFormat &f, const uint8_t *row, uint64_t count, uint8_t *out, size_t step,
                      const TPngPass &pass, uint64_t y)
{
    const auto sample = [&](uint64_t x) { // 1, 2, 4 or 8 bits, leftmost pixel in the high bits
        const uint64_t bit = x * f.Depth;
        return uint32_t(row[bit / 8] >> (8 - f.Depth - bit % 8)) & ((1u << f.Depth) - 1);
    };
    const uint64_t bytesPerPixel = f.Bits / 8;
    switch (f.ColourType) {
    case 3: // colour index
        for (uint64_t x = 0; x < count; ++x) {
            const uint32_t index = sample(x);
            if (index >= f.PaletteReds.size())
                return ColourIndexProblem(pass.X0 + x * pass.DX, y, index, f.PaletteReds.size());
            out[x * step] = f.PaletteReds[index];
        }
        break;
    case 0: // grey
        if (f.Depth < 8) {
            for (uint64_t x = 0; x < count; ++x)
                out[x * step] = uint8_t(sample(x));
            break;
        }
        [[fallthrough]];
    default: // grey, or red first; then green, blue and alpha, which do not matter
        if (f.Depth == 16 && f.HighBytes)
            for (uint64_t x = 0; x < count; ++x)
                out[x * step] = row[x * bytesPerPixel];
        else if (f.Depth == 16)
            for (uint64_t x = 0; x < count; ++x)
                out[x * step] = Narrow16(row + x * bytesPerPixel);
        else
            for (uint64_t x = 0; x < count; ++x)
                out[x * step] = row[x * bytesPerPixel];
    }
    return {};
}

// Undoes a row's filter in place over its first `bytes` bytes; `previous` is
// the row above in the same pass, unfiltered (zeros above the first row).
void Unfilter(uint8_t filter, uint8_t *row, const uint8_t *previous, uint64_t bytes, uint64_t bpp)
{
    switch (filter) {
    case 1: // sub
        for (uint64_t i = bpp; i < bytes; ++i)
            row[i] = uint8_t(row[i] + row[i - bpp]);
        break;
    case 2: // up
        for (uint64_t i = 0; i < bytes; ++i)
            row[i] = uint8_t(row[i] + previous[i]);
        break;
    case 3: // average
        for (uint64_t i = 0; i < bytes; ++i)
            row[i] = uint8_t(row[i] + ((i >= bpp ? row[i - bpp] : 0) + previous[i]) / 2);
        break;
    case 4: // Paeth
        for (uint64_t i = 0; i < bytes; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0, b = previous[i], c = i >= bpp ? previous[i - bpp] : 0;
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            row[i] = uint8_t(row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
        }
        break;
    default: // none
        break;
    }
}

// Takes the unpacked bytes as zlib gives them and cuts them into rows, pass by pass.
class TRowAssembler
{
public:
    TRowAssembler(const TPngFormat &format, bool interlaced, TPictureCrop crop, TRedRows &rows)
        : F(format), Crop(crop), Rows(rows), Passes(PngPasses(interlaced)), Reds(crop.Width)
    {
        if (interlaced)
            Plane.resize(size_t(crop.Width) * crop.Height);
        StartPass();
    }

    std::string Take(const uint8_t *data, size_t size)
    {
        while (size > 0 && PassIndex < Passes.size()) {
            const uint64_t take = std::min<uint64_t>(size, RowSize - Filled);
            if (Filled < Current.size()) // only the bytes of the columns needed are kept
                std::memcpy(Current.data() + Filled, data, size_t(std::min<uint64_t>(take, Current.size() - Filled)));
            Filled += take;
            data += take;
            size -= size_t(take);
            if (Filled == RowSize)
                if (std::string problem = FinishRow(); !problem.empty())
                    return problem;
        }
        return {}; // bytes beyond the last row are counted and refused by the caller
    }

    // After the last row: an interlaced picture's rows are whole now.
    void Finish()
    {
        if (!Plane.empty())
            for (uint32_t y = 0; y < Crop.Height; ++y)
                Rows.Row(y, Plane.data() + size_t(y) * Crop.Width);
    }

private:
    // Moves to the next pass that has pixels (a narrow picture's early passes may have none).
    void StartPass()
    {
        for (; PassIndex < Passes.size(); ++PassIndex) {
            const TPngPass &p = Passes[PassIndex];
            const uint64_t width = p.Columns(F.Width), height = p.Rows(F.Height);
            if (width == 0 || height == 0)
                continue;
            Columns = std::min(width, p.Columns(Crop.Width));
            NeededBytes = (Columns * F.Bits + 7) / 8;
            RowSize = 1 + (width * F.Bits + 7) / 8;
            Current.assign(1 + NeededBytes, 0);
            Previous.assign(NeededBytes, 0);
            PassRows = height;
            Row = 0;
            Filled = 0;
            return;
        }
    }

    std::string FinishRow()
    {
        const TPngPass &p = Passes[PassIndex];
        const uint64_t y = p.Y0 + Row * p.DY;
        const uint8_t filter = Current[0];
        if (filter > 4)
            return "row " + Num(y) + " of the image data has filter type " + Num(filter) +
                   ", which PNG does not have (0 to 4)";
        if (y < Crop.Height && Columns > 0) { // rows below the part are not needed, nor is their order
            uint8_t *row = Current.data() + 1;
            Unfilter(filter, row, Previous.data(), NeededBytes, std::max<uint64_t>(1, F.Bits / 8));
            std::memcpy(Previous.data(), row, NeededBytes);
            uint8_t *out = Plane.empty() ? Reds.data() : Plane.data() + size_t(y) * Crop.Width + p.X0;
            if (std::string problem = RedsOfRow(F, row, Columns, out, Plane.empty() ? 1 : p.DX, p, y);
                !problem.empty())
                return problem;
            if (Plane.empty())
                Rows.Row(uint32_t(y), Reds.data());
        }
        Filled = 0;
        if (++Row == PassRows) {
            ++PassIndex;
            StartPass();
        }
        return {};
    }

    const TPngFormat &F;
    TPictureCrop Crop;
    TRedRows &Rows;
    std::span<const TPngPass> Passes;
    size_t PassIndex = 0;
    uint64_t Columns = 0, NeededBytes = 0, PassRows = 0, Row = 0;
    uint64_t RowSize = 0, Filled = 0; // bytes of a row of the pass, and of the row under way
    std::vector<uint8_t> Current;     // the row under way: filter byte and the pixels needed
    std::vector<uint8_t> Previous;    // the row above, unfiltered, as far as needed
    std::vector<uint8_t> Reds;  // one row of red values
    std::vector<uint8_t> Plane; // an interlaced picture's red values
};

// zlib's stream, ended on every path.
struct TInflater
{
    z_stream Stream{};
    bool Ready = inflateInit(&Stream) == Z_OK;
    ~TInflater()
    {
        if (Ready)
            inflateEnd(&Stream);
    }
};

std::string Damaged(const z_stream &stream)
{
    return std::string("the image data is damaged (") + (stream.msg ? stream.msg : "bad data") + ")";
}

} // namespace

std::string TPngCheck::Decode(TPictureCrop crop, TRedRows &rows, bool highBytes) const
{
    const TPngFormat format{width, height, colourType, depth, bits, paletteReds, highBytes};
    TRowAssembler assembler(format, interlaced, crop, rows);
    TInflater inflater;
    if (!inflater.Ready)
        return "the image data cannot be unpacked (out of memory)";
    z_stream &stream = inflater.Stream;
    std::vector<uint8_t> sink(64 * 1024);
    uint64_t unpacked = 0;
    int status = Z_OK;
    std::string problem;
    // Unpacks what zlib has for the output buffer; returns how many bytes came out.
    const auto step = [&] {
        stream.next_out = sink.data();
        stream.avail_out = uInt(sink.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const uint64_t got = sink.size() - stream.avail_out;
        if (unpacked < expected)
            problem = assembler.Take(sink.data(), size_t(std::min(got, expected - unpacked)));
        unpacked += got; // more than expected stops the unpacking, and is refused below
        if (status == Z_DATA_ERROR)
            problem = Damaged(stream);
        else if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            problem = "the image data cannot be unpacked (zlib status " + std::to_string(status) + ")";
        return got;
    };
    const auto going = [&] { return problem.empty() && status == Z_OK && unpacked <= expected; };
    for (size_t i = 0; i < data.size() && going(); ++i) {
        stream.next_in = const_cast<Bytef *>(data[i].data());
        stream.avail_in = uInt(data[i].size());
        while (stream.avail_in > 0 && going())
            step();
    }
    // Drain what the last input left in zlib's window; Z_BUF_ERROR: it needs more input than there is.
    while (going() && step() > 0)
        ;
    if (!problem.empty())
        return problem;
    if (unpacked < expected)
        return Claim() + ", which need " + Num(expected) + " bytes of image data, but the file's data unpacks to only " +
               Num(unpacked) + " bytes";
    if (unpacked > expected)
        return Claim() + ", which need " + Num(expected) + " bytes of image data, but the file's data unpacks to more";
    if (status != Z_STREAM_END)
        return "the image data is truncated: its compressed stream does not end, so its checksum is missing";
    assembler.Finish();
    return {};
}
