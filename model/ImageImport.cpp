// The image import: every pixel of the painted picture becomes one cell, its
// terrain chosen by the pixel's red value alone, with a start altitude by terrain.
#include "ClassTerrainImage.h"
#include "PictureCheck.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <filesystem>
#include <span>
#include <string_view>

namespace {

// Start altitudes: mountains high and rough, water deep, the rest a little noise.
constexpr int MountainBaseAltitude = 20;
constexpr uint32_t MountainAltitudeRange = 55; // 20 .. 74
constexpr int WaterAltitude = -75;
constexpr uint32_t LandAltitudeRange = 10; // 0 .. 9

// Grid sizes are 16-bit.
constexpr int MaxImageSide = 65535;

// The picture file, mapped into memory and checked before anything is decoded
// or allocated for it. Only BMP and PNG are read: both are lossless and both
// are checked here; a lossy format would change red values at every edge, and
// other formats would go to the decoder unchecked.
class TPictureFile
{
public:
    explicit TPictureFile(const std::string &fileName);
    // The decoder to use: "bmp" or "png".
    const char *Format() const { return DecoderFormat; }
    // Starts the part of the check that costs as much as decoding (unpacking a
    // PNG's data), to run while the picture is decoded.
    void StartDataCheck();
    // Waits for that part; throws what it found.
    void FinishDataCheck();
    // Why the decoder may have refused a sound file, in words; empty if unknown.
    std::string DecoderLimit() const;

private:
    std::string FileName;
    QFile File;
    std::span<const uint8_t> Bytes;
    const char *DecoderFormat = nullptr;
    std::optional<TPngCheck> Png;
    std::future<std::string> DataCheck; // declared last: waited for before the mapping goes
};

TPictureFile::TPictureFile(const std::string &fileName) : FileName(fileName), File(QString::fromStdString(fileName))
{
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (!std::filesystem::exists(status))
        throw EImageLoadError(fileName + ": the file does not exist");
    if (!std::filesystem::is_regular_file(status))
        throw EImageLoadError(fileName + ": this is not a picture file but a " +
                              (std::filesystem::is_directory(status) ? "folder" : "device, pipe or socket"));
    if (!File.open(QIODevice::ReadOnly))
        throw EImageLoadError(fileName + ": " + File.errorString().toStdString());
    if (File.size() == 0)
        throw EImageLoadError(fileName + ": the file is empty");
    // Mapped, not read: only the pages the check looks at are read from disk,
    // and they stay in the cache for the decoder.
    const uchar *bytes = File.map(0, File.size());
    if (!bytes)
        throw EImageLoadError(fileName + ": " + File.errorString().toStdString());
    Bytes = std::span<const uint8_t>(bytes, size_t(File.size()));

    std::string problem;
    if (LooksLikeBmp(Bytes)) {
        DecoderFormat = "bmp";
        // The colour indices of plain rows are checked in the decoded picture
        // (CheckColourIndices), which is in memory anyway; reading them here
        // too would cost a second pass over the file.
        problem = BmpProblem(Bytes, false);
    } else if (LooksLikePng(Bytes)) {
        DecoderFormat = "png";
        Png.emplace(Bytes);
        problem = Png->LayoutProblem();
    } else {
        problem = "the file is neither a BMP nor a PNG picture";
    }
    if (!problem.empty())
        throw EImageLoadError(fileName + ": " + problem);
}

std::string TPictureFile::DecoderLimit() const
{
    // The BMP decoder reads at most this many pixels and says only that it
    // cannot read the data.
    constexpr uint64_t MaxBmpPixels = 16384 * 16384;
    if (std::string_view(DecoderFormat) != "bmp")
        return {};
    const auto [width, height] = BmpSize(Bytes);
    if (width * height <= MaxBmpPixels)
        return {};
    return "the picture has " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
           std::to_string(MaxBmpPixels) + " (16384 x 16384) that the BMP decoder reads";
}

void TPictureFile::StartDataCheck()
{
    if (Png)
        DataCheck = std::async(std::launch::async, [this] { return Png->DataProblem(); });
}

void TPictureFile::FinishDataCheck()
{
    if (!DataCheck.valid())
        return;
    if (const std::string problem = DataCheck.get(); !problem.empty())
        throw EImageLoadError(FileName + ": " + problem);
}

// A paletted picture as decoded must have a colour for every index: one
// without would read as red value 0. The BMP decoder keeps the indices of
// plain rows as the file has them, so this is where they are checked; those of
// run-length data and of PNGs are checked before decoding.
void CheckColourIndices(const std::string &fileName, const QImage &image)
{
    const int colours = int(image.colorCount());
    if (colours >= 256)
        return;
    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y) {
        const uchar *line = image.constScanLine(y);
        uchar highest = 0; // a plain maximum first: this loop runs at memory speed
        for (int x = 0; x < width; ++x)
            highest = std::max(highest, line[x]);
        if (highest < colours)
            continue;
        const int x = int(std::find_if(line, line + width, [colours](uchar i) { return i >= colours; }) - line);
        throw EImageLoadError(fileName + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                              ") has colour index " + std::to_string(line[x]) + ", but the colour table has only " +
                              std::to_string(colours) + (colours == 1 ? " colour" : " colours"));
    }
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

void TTerrainImage::LoadFromBMP(const std::string &FileName, const TLoadOptions &)
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
        TPictureFile picture(FileName);
        QImageReader reader(QString::fromStdString(FileName), picture.Format());
        reader.setAutoDetectImageFormat(false);
        QImageReader::setAllocationLimit(0); // a full-size world is larger than Qt's default limit
        const QSize size = reader.size();
        // The BMP reader gives a top-down picture's height as negative.
        const QSize claimed(std::abs(size.width()), std::abs(size.height()));
        if (claimed.width() > MaxImageSide || claimed.height() > MaxImageSide)
            throw EImageLoadError(FileName + ": the image is " + std::to_string(claimed.width()) + " x " +
                                  std::to_string(claimed.height()) + " pixels; at most 65535 x 65535 can be loaded");
        const QImage::Format pixelFormat = reader.imageFormat();
        // The file's layout is checked: its data can hold the picture, so what
        // is allocated from here on is what the file really holds. The rest of
        // the check runs beside the decoder.
        picture.StartDataCheck();
        const auto readFailed = [&] {
            picture.FinishDataCheck(); // a damaged file is named as such rather than by the decoder
            const std::string limit = picture.DecoderLimit();
            return EImageLoadError(FileName + ": " + (limit.empty() ? reader.errorString().toStdString() : limit));
        };
        if ((pixelFormat == QImage::Format_RGB32 || pixelFormat == QImage::Format_ARGB32) && !size.isEmpty()) {
            // Four bytes a pixel, as many as a cell: decode straight into the grid's
            // own rows and classify each pixel where it lies. This saves a second
            // picture-sized buffer, its memory and the time to fault it in.
            ResetGrid(uint16_t(size.width()), uint16_t(size.height()));
            uchar *first = reinterpret_cast<uchar *>(&Cells[Index(1, 1)]);
            *Bitmap = QImage(first, size.width(), size.height(), Stride() * int(sizeof(TCell)), pixelFormat);
            if (!reader.read(Bitmap.get()))
                throw readFailed();
            picture.FinishDataCheck();
            if (Bitmap->constBits() == first && Bitmap->size() == size && Bitmap->format() == pixelFormat) {
                ClassifyPixelsInPlace();
                return;
            }
            // The decoder made a picture of its own after all: classify that one.
        } else if (!reader.read(Bitmap.get())) {
            throw readFailed();
        }
        picture.FinishDataCheck();
        if (Bitmap->size() != claimed)
            throw EImageLoadError(FileName + ": the decoder made a picture of " + std::to_string(Bitmap->width()) +
                                  " x " + std::to_string(Bitmap->height()) + " pixels, but the header claims " +
                                  std::to_string(claimed.width()) + " x " + std::to_string(claimed.height()));
        if (Bitmap->format() == QImage::Format_Mono || Bitmap->format() == QImage::Format_MonoLSB)
            Bitmap->convertTo(QImage::Format_Indexed8); // keeps the colour table as it is
        const QImage::Format decoded = Bitmap->format();
        if (decoded == QImage::Format_Indexed8)
            CheckColourIndices(FileName, *Bitmap);
        else if (decoded != QImage::Format_RGB32 && decoded != QImage::Format_ARGB32)
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
