// The image import: every pixel of the painted picture becomes one cell, its
// terrain chosen by the pixel's red value alone, with a start altitude by terrain.
#include "ClassTerrainImage.h"

#include <QImage>
#include <QImageReader>

#include <cstring>
#include <future>
#include <filesystem>
#include <fstream>

namespace {

// Start altitudes: mountains high and rough, water deep, the rest a little noise.
constexpr int MountainBaseAltitude = 20;
constexpr uint32_t MountainAltitudeRange = 55; // 20 .. 74
constexpr int WaterAltitude = -75;
constexpr uint32_t LandAltitudeRange = 10; // 0 .. 9

// Grid sizes are 16-bit.
constexpr int MaxImageSide = 65535;

uint32_t LittleEndian(const unsigned char *p, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// Qt decodes some damaged BMP files without an error, filling the missing part
// with zeros. Refuse a BMP whose header promises more pixel data than the file holds.
void CheckBmpIsComplete(const std::string &fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    unsigned char header[40] = {};
    in.read(reinterpret_cast<char *>(header), sizeof header);
    const auto got = size_t(in.gcount());
    if (got < 2 || header[0] != 'B' || header[1] != 'M')
        return; // not a BMP: the decoder judges it
    std::error_code error;
    const uint64_t fileSize = std::filesystem::file_size(fileName, error);
    if (error)
        return;
    const auto truncated = [&](const std::string &what) {
        throw EImageLoadError(fileName + ": the file is truncated (" + what + ")");
    };
    if (got < 18)
        truncated("the header is incomplete");
    const uint64_t offset = LittleEndian(header + 10, 4);
    const uint32_t infoSize = LittleEndian(header + 14, 4);
    if (offset >= fileSize)
        truncated("the pixel data would begin at byte " + std::to_string(offset) + " of " +
                  std::to_string(fileSize));

    uint64_t width, height, bitsPerPixel, compression = 0, imageSize = 0;
    if (infoSize == 12) { // OS/2 core header
        if (got < 26)
            truncated("the header is incomplete");
        width = LittleEndian(header + 18, 2);
        height = LittleEndian(header + 20, 2);
        bitsPerPixel = LittleEndian(header + 24, 2);
    } else {
        if (got < 38)
            truncated("the header is incomplete");
        width = uint64_t(std::abs(int64_t(int32_t(LittleEndian(header + 18, 4)))));
        height = uint64_t(std::abs(int64_t(int32_t(LittleEndian(header + 22, 4)))));
        bitsPerPixel = LittleEndian(header + 28, 2);
        compression = LittleEndian(header + 30, 4);
        imageSize = LittleEndian(header + 34, 4);
    }
    uint64_t needed;
    if (compression == 1 || compression == 2) // RLE8, RLE4
        needed = offset + imageSize;
    else if (compression == 0 || compression == 3 || compression == 6) // plain or bit fields
        needed = offset + (width * bitsPerPixel + 31) / 32 * 4 * height;
    else
        return; // embedded JPEG or PNG: the decoder judges it
    if (needed > fileSize)
        truncated("the pixel data needs " + std::to_string(needed) + " bytes, the file has " +
                  std::to_string(fileSize));
}

// The red value of each pixel of one decoded row; palette holds the red value
// of each colour index of a paletted image.
void RedValuesOfRow(const QImage &image, int row, const std::array<uint8_t, 256> &palette,
                    std::vector<uint8_t> &reds)
{
    const int width = image.width();
    const uchar *line = image.constScanLine(row);
    if (image.format() == QImage::Format_Indexed8) {
        for (int x = 0; x < width; ++x)
            reds[size_t(x)] = palette[line[x]];
    } else { // RGB32 or ARGB32, see below
        const auto *pixels = reinterpret_cast<const QRgb *>(line);
        for (int x = 0; x < width; ++x)
            reds[size_t(x)] = uint8_t(qRed(pixels[x]));
    }
}

} // namespace

void TTerrainImage::LoadFromBMP(const std::string &FileName)
{
    ClearGrid();
    Bitmap = std::make_unique<QImage>();
    Random::Reseed(TSeedSite::ImageLoad);
    struct TReleaseBitmap
    {
        std::unique_ptr<QImage> &Bitmap;
        ~TReleaseBitmap() { Bitmap.reset(); }
    } release{Bitmap};

    try {
        if (!std::filesystem::exists(FileName))
            throw EImageLoadError(FileName + ": the file does not exist");
        CheckBmpIsComplete(FileName);

        QImageReader reader(QString::fromStdString(FileName));
        QImageReader::setAllocationLimit(0); // a full-size world is larger than Qt's default limit
        const QSize size = reader.size();
        if (size.width() > MaxImageSide || size.height() > MaxImageSide)
            throw EImageLoadError(FileName + ": the image is " + std::to_string(size.width()) + " x " +
                                  std::to_string(size.height()) + " pixels; at most 65535 x 65535 can be loaded");
        const QImage::Format format = reader.imageFormat();
        if ((format == QImage::Format_RGB32 || format == QImage::Format_ARGB32) && !size.isEmpty()) {
            // Four bytes a pixel, as many as a cell: decode straight into the grid's
            // own rows and classify each pixel where it lies. This saves a second
            // picture-sized buffer, its memory and the time to fault it in.
            ResetGrid(uint16_t(size.width()), uint16_t(size.height()));
            uchar *first = reinterpret_cast<uchar *>(&Cells[Index(1, 1)]);
            *Bitmap = QImage(first, size.width(), size.height(), Stride() * int(sizeof(TCell)), format);
            if (!reader.read(Bitmap.get()))
                throw EImageLoadError(FileName + ": " + reader.errorString().toStdString());
            if (Bitmap->constBits() == first && Bitmap->size() == size && Bitmap->format() == format) {
                ClassifyPixelsInPlace();
                return;
            }
            // The decoder made a picture of its own after all: classify that one.
        } else if (!reader.read(Bitmap.get())) {
            throw EImageLoadError(FileName + ": " + reader.errorString().toStdString());
        }
        if (Bitmap->width() > MaxImageSide || Bitmap->height() > MaxImageSide)
            throw EImageLoadError(FileName + ": the image is larger than 65535 x 65535 pixels");
        const QImage::Format decoded = Bitmap->format();
        if (decoded != QImage::Format_RGB32 && decoded != QImage::Format_ARGB32 && decoded != QImage::Format_Indexed8)
            Bitmap->convertTo(QImage::Format_ARGB32);
        if (Bitmap->isNull() && !(Bitmap->width() == 0 || Bitmap->height() == 0))
            throw EImageLoadError(FileName + ": not enough memory to decode the image");
        FillFromBitmap();
    } catch (const std::bad_alloc &) {
        ClearGrid();
        throw EImageLoadError(FileName + ": not enough memory for the grid of this image");
    } catch (...) {
        ClearGrid();
        throw;
    }
}

void TTerrainImage::FillFromBitmap()
{
    const QImage &image = *Bitmap;
    ResetGrid(uint16_t(image.width()), uint16_t(image.height()));
    std::array<uint8_t, 256> palette{};
    const QList<QRgb> colors = image.colorTable();
    for (qsizetype i = 0; i < colors.size() && i < 256; ++i)
        palette[size_t(i)] = uint8_t(qRed(colors[i]));
    std::vector<uint8_t> reds(static_cast<size_t>(Width));
    for (int row = 0; row < Height; ++row) {
        RedValuesOfRow(image, row, palette, reds);
        TCell *cell = &Cells[Index(1, row + 1)];
        for (int x = 0; x < Width; ++x)
            cell[x] = TCell{ColorToCode[reds[size_t(x)]], 0};
    }
    Bitmap.reset();
    DrawStartAltitudes();
}

void TTerrainImage::ClassifyPixelsInPlace()
{
    // Each cell still holds its pixel as a 32-bit 0xAARRGGBB value.
    *Bitmap = QImage(); // lets go of the grid's memory
    const auto classifyRows = [this](int firstRow, int lastRow) {
        for (int y = firstRow; y <= lastRow; ++y) {
            TCell *cell = &Cells[Index(1, y)];
            for (int x = 0; x < Width; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, &cell[x], sizeof pixel);
                cell[x] = TCell{ColorToCode[qRed(pixel)], 0};
            }
        }
    };
    const int split = Height / 2;
    auto secondHalf = std::async(std::launch::async, classifyRows, split + 1, int(Height));
    classifyRows(1, split);
    secondHalf.get();
    DrawStartAltitudes();
}

void TTerrainImage::DrawStartAltitudes()
{
    // One draw for every cell that is not water, row by row from the top. The
    // rows are shared between two threads; the second half starts from the
    // generator moved on past the draws of the first half, so every cell gets
    // the number that the one-by-one order gives it.
    const auto drawsIn = [this](int firstRow, int lastRow) {
        uint64_t draws = 0;
        for (int y = firstRow; y <= lastRow; ++y) {
            const TCell *cell = &Cells[Index(1, y)];
            for (int x = 0; x < Width; ++x)
                draws += cell[x].Code != WATER;
        }
        return draws;
    };
    const auto drawRows = [this](int firstRow, int lastRow, TPcg32 generator) {
        for (int y = firstRow; y <= lastRow; ++y) {
            TCell *cell = &Cells[Index(1, y)];
            for (int x = 0; x < Width; ++x) {
                const uint16_t code = cell[x].Code;
                if (code == MOUNTAIN)
                    cell[x].Altitude = int8_t(MountainBaseAltitude + int(generator.Random(MountainAltitudeRange)));
                else if (code == WATER)
                    cell[x].Altitude = int8_t(WaterAltitude);
                else
                    cell[x].Altitude = int8_t(generator.Random(LandAltitudeRange));
            }
        }
        return generator;
    };
    const int split = Height / 2;
    TPcg32 second = Random::Generator();
    second.Advance(drawsIn(1, split));
    auto secondHalf = std::async(std::launch::async, drawRows, split + 1, int(Height), second);
    drawRows(1, split, Random::Generator());
    Random::Generator() = secondHalf.get();
}
