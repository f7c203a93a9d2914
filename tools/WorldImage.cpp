#include "WorldImage.h"

#include "WorldRed.h"

#include "Platform.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <array>
#include <cstdint>

namespace {

// Green and blue of each red value: those of the terrains give natural map
// colours; any other value (only the unmatched ones occur) shows in purple.
struct TGreenBlue
{
    uint8_t Green;
    uint8_t Blue;
};

std::array<TGreenBlue, 256> MakePalette()
{
    std::array<TGreenBlue, 256> palette;
    for (auto &entry : palette)
        entry = {0, 110};
    palette[WorldRed::Water] = {90, 170};
    palette[WorldRed::Grass] = {150, 60};
    palette[WorldRed::Forest] = {105, 45};
    palette[WorldRed::Jungle] = {175, 60};
    palette[WorldRed::Swamp] = {200, 150};
    palette[WorldRed::Dirt] = {75, 45};
    palette[WorldRed::Mountain] = {135, 120};
    palette[WorldRed::Desert] = {205, 130};
    palette[WorldRed::Snow] = {250, 252};
    palette[WorldRed::Unmatched] = {0, 0};
    return palette;
}

// A grain of -6 .. +6 from the position alone, so the colours do not look flat.
int Grain(int x, int y)
{
    uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return int(h % 13u) - 6;
}

uint8_t WithGrain(uint8_t value, int grain)
{
    const int shaded = int(value) + grain;
    return uint8_t(shaded < 0 ? 0 : shaded > 255 ? 255 : shaded);
}

// BMP files count their size in 32 bits: rows padded to 4 bytes plus the headers.
constexpr uint64_t BmpHeaderBytes = 54;
constexpr uint64_t MaxBmpBytes = 0xFFFFFFFFu;

std::string Describe(const std::string &path, const std::string &problem)
{
    return "Cannot save the world to " + path + ": " + problem;
}

} // namespace

QImage WorldToImage(const TWorldPicture &picture)
{
    static const std::array<TGreenBlue, 256> palette = MakePalette();
    // 32 bits per pixel without alpha: Qt's BMP writer takes this format as it
    // is and writes 24 bits per pixel, where any other format would first be
    // converted into a second full-size copy.
    QImage image(picture.Width, picture.Height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < picture.Height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const uint8_t *reds = picture.Reds.data() + picture.Index(0, y);
        for (int x = 0; x < picture.Width; ++x) {
            const uint8_t red = reds[x];
            const int grain = Grain(x, y);
            line[x] = qRgb(red, WithGrain(palette[red].Green, grain), WithGrain(palette[red].Blue, grain));
        }
    }
    return image;
}

void SaveWorldBmp(const TWorldPicture &picture, const std::string &path)
{
    const uint64_t rowBytes = (uint64_t(picture.Width) * 3 + 3) / 4 * 4;
    if (rowBytes * uint64_t(picture.Height) + BmpHeaderBytes > MaxBmpBytes)
        throw EWorldSaveError(Describe(path, "a picture of " + std::to_string(picture.Width) + " x " +
                                                 std::to_string(picture.Height) +
                                                 " pixels is too large for a BMP file"));
    // A device, a pipe or a socket is left alone: replacing it with a file
    // would destroy it (a saved file is renamed into place).
    Platform::TFileInfo info;
    if (const Platform::TError error = Platform::Inspect(path, info))
        throw EWorldSaveError(Describe(path, Platform::Describe(error)));
    if (info.Type == Platform::TFileType::Other)
        throw EWorldSaveError(Describe(path, Platform::Describe({Platform::TErrorKind::NotRegular, 0})));
    const QImage image = WorldToImage(picture);
    if (image.isNull())
        throw EWorldSaveError(Describe(path, "not enough memory for the picture"));

    QSaveFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::WriteOnly))
        throw EWorldSaveError(Describe(path, file.errorString().toStdString()));
    QImageWriter writer(&file, "BMP");
    if (!writer.write(image)) {
        file.cancelWriting();
        throw EWorldSaveError(Describe(path, writer.errorString().toStdString()));
    }
    if (!file.commit())
        throw EWorldSaveError(Describe(path, file.errorString().toStdString()));
}
