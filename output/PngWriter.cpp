// The PNG form written here, after the format's description (PNG, ISO/IEC
// 15948): the 8-byte signature, then chunks of u32 length (big-endian), four
// letters of type, the data and the CRC-32 of type and data. IHDR (width,
// height, bit depth 8, colour type 2 = RGB or 0 = grey, compression 0, filter 0,
// interlace 0), IDAT chunks holding one zlib stream of the filtered rows (a
// filter type byte before each row), and an empty IEND.
#include "PngWriter.h"

#include "ByteOrder.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t FilterUp = 2;
// A fast zlib level: a full-size preview is some 75 MB of rows, mostly runs
// of one colour, which the fast levels pack nearly as well as the slow ones.
constexpr int DeflateLevel = 2;
// Compressed bytes gathered before they go out as one IDAT chunk.
constexpr size_t IdatBytes = 256 * 1024;

// One chunk, handed on in one piece: length, type, data, CRC of type and data.
void PutChunk(const TPngByteSink &Out, const char (&Type)[5], const uint8_t *Data, size_t Bytes)
{
    std::vector<uint8_t> chunk(12 + Bytes);
    ByteOrder::PutBe32(chunk.data(), uint32_t(Bytes));
    std::copy(Type, Type + 4, chunk.begin() + 4);
    if (Bytes > 0)
        std::copy(Data, Data + Bytes, chunk.begin() + 8);
    ByteOrder::PutBe32(chunk.data() + 8 + Bytes, uint32_t(crc32(0L, chunk.data() + 4, uInt(4 + Bytes))));
    Out(chunk.data(), chunk.size());
}

// One zlib stream, its output handed on as IDAT chunks.
class TIdatStream
{
public:
    explicit TIdatStream(const TPngByteSink &Out) : Out(Out), Buffer(IdatBytes)
    {
        if (deflateInit(&Stream, DeflateLevel) != Z_OK)
            throw std::bad_alloc();
    }
    ~TIdatStream() { deflateEnd(&Stream); }
    TIdatStream(const TIdatStream &) = delete;
    TIdatStream &operator=(const TIdatStream &) = delete;

    void Add(const uint8_t *Data, size_t Bytes) { Run(Data, Bytes, Z_NO_FLUSH); }
    void Finish() { Run(nullptr, 0, Z_FINISH); }

private:
    void Run(const uint8_t *Data, size_t Bytes, int Flush)
    {
        Stream.next_in = const_cast<Bytef *>(Data);
        Stream.avail_in = uInt(Bytes);
        for (;;) {
            Stream.next_out = Buffer.data();
            Stream.avail_out = uInt(Buffer.size());
            const int result = deflate(&Stream, Flush);
            if (result == Z_STREAM_ERROR)
                throw std::runtime_error("the PNG data could not be compressed");
            const size_t produced = Buffer.size() - Stream.avail_out;
            if (produced > 0)
                PutChunk(Out, "IDAT", Buffer.data(), produced);
            if (Flush == Z_FINISH ? result == Z_STREAM_END : Stream.avail_in == 0 && Stream.avail_out != 0)
                return;
        }
    }

    const TPngByteSink &Out;
    z_stream Stream{};
    std::vector<uint8_t> Buffer;
};

// The PNG colour types written, and their bytes per pixel.
constexpr uint8_t Grey = 0, Rgb = 2;

void WritePng(int Width, int Height, uint8_t ColourType, const TPngRowSource &FillRow, const TPngByteSink &Out)
{
    const size_t pixelBytes = ColourType == Rgb ? 3 : 1;
    if (Width < 1 || Height < 1 || uint64_t(Width) * pixelBytes + 1 > 0xFFFFFFFFu)
        throw std::invalid_argument("a PNG picture of " + std::to_string(Width) + " x " + std::to_string(Height) +
                                    " pixels");
    Out(Signature, sizeof Signature);
    uint8_t header[13];
    ByteOrder::PutBe32(header, uint32_t(Width));
    ByteOrder::PutBe32(header + 4, uint32_t(Height));
    header[8] = 8;  // bits per channel
    header[9] = ColourType;
    header[10] = 0; // deflate
    header[11] = 0; // the five filter types
    header[12] = 0; // not interlaced
    PutChunk(Out, "IHDR", header, sizeof header);

    const size_t rowBytes = size_t(Width) * pixelBytes;
    std::vector<uint8_t> previous(rowBytes, 0), current(rowBytes), filtered(rowBytes + 1);
    filtered[0] = FilterUp;
    TIdatStream idat(Out);
    for (int y = 0; y < Height; ++y) {
        FillRow(y, current.data());
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = uint8_t(current[i] - previous[i]);
        idat.Add(filtered.data(), filtered.size());
        previous.swap(current);
    }
    idat.Finish();
    PutChunk(Out, "IEND", nullptr, 0);
}

} // namespace

void WriteRgbPng(int Width, int Height, const TPngRowSource &FillRow, const TPngByteSink &Out)
{
    WritePng(Width, Height, Rgb, FillRow, Out);
}

void WriteGreyPng(int Width, int Height, const TPngRowSource &FillRow, const TPngByteSink &Out)
{
    WritePng(Width, Height, Grey, FillRow, Out);
}
