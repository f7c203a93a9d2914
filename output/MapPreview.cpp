// The map preview: one pixel per map cell, coloured by terrain and shaded by
// altitude with the light from the north-west. Worked example of the shading
// on a grass slope that rises towards the south-east, altitudes
//      0  1  2
//      1  2  3
//      2  3  4
// the centre cell (2) has the north neighbour 1 and the west neighbour 1, so
// Rise = 2 * 2 - 1 - 1 = 2 and its factor is 256 + 2 * ShadeGain = 276/256:
// grass 0x5FA043 becomes 0x66AD48, lighter. The same slope falling towards
// the south-east gives Rise = -2 and 236/256: 0x58943E, darker.
#include "MapPreview.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "VoidReport.h"

#include "PngWriter.h"
#include "StaticsReader.h"

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace {

// The colour of each code with a tile list on flat ground. Every green value is
// well above 0, so that no shade or average of them can be magenta.
struct TTerrainColor
{
    uint16_t Code;
    TPreviewColor Color;
};
constexpr TTerrainColor TerrainColors[] = {
    {DIRT, 0xFF8C6A43},      // brown earth
    {MOUNTAIN, 0xFF8A8580},  // grey rock
    {DESERT, 0xFFE3CD84},    // pale yellow sand
    {SNOW, 0xFFE4EAF0},      // white with a touch of blue, room left for lit slopes
    {GRASS, 0xFF5FA043},     // meadow green
    {FOREST, 0xFF2B6330},    // dark green
    {JUNGLE, 0xFF1F8C64},    // blue-green, apart from grass and forest
    {SWAMP, 0xFF5E6B3A},     // murky olive
    {WATER, 0xFF2F5FA8},     // deep blue
    {COASTLINE, 0xFFC2AF7E}, // wet sand, darker than the desert
};

// A cell whose code has a tile of its own but no colour of its own: cannot
// come from the tile configuration as it is read today.
constexpr TPreviewColor UnknownColor = 0xFF808080;

// Shading: the brightness changes by ShadeGain/256 per unit of Rise, at most by
// ShadeLimit/256 either way (about 44 %), so that a steep mountain side is
// clearly light or dark and a gentle slope of smoothed land still shows.
constexpr int ShadeGain = 10;
constexpr int ShadeLimit = 112;
// Rise = 2 * altitude - north - west lies within -510..510.
constexpr int MaxRise = 2 * 127 + 2 * 128;

constexpr int ShadeFactor(int Rise)
{
    return 256 + std::clamp(Rise * ShadeGain, -ShadeLimit, ShadeLimit);
}

using namespace PreviewColors;

inline TPreviewColor ApplyFactor(TPreviewColor Color, int Factor)
{
    const auto channel = [Factor](int Value) { return std::min(255, (Value * Factor + 128) >> 8); };
    return Rgb(channel(Red(Color)), channel(Green(Color)), channel(Blue(Color)));
}

// Paints one map row at a time into a row of colours.
class TRowPainter
{
public:
    TRowPainter(const TTerrainImage &Model, const TMapSize &Size)
        : Model(Model), MapWidth(Size.Width), Width(std::min(Model.GetWidth(), Size.Width)),
          Height(std::min(Model.GetHeight(), Size.Height)), Colors(65536), Factors(2 * MaxRise + 1)
    {
        const TVoidCodes voidCodes(Model);
        for (uint32_t c = 0; c < Colors.size(); ++c) {
            const auto code = uint16_t(c);
            if (voidCodes.IsVoid(code))
                Colors[c] = PreviewColors::Void;
            else if (TTerrainImage::HasTileList(code))
                Colors[c] = PreviewColors::Terrain(code);
            else
                Colors[c] = PreviewColors::Blend(code >> 8, (code >> 4) & 15);
        }
        for (int rise = -MaxRise; rise <= MaxRise; ++rise)
            Factors[size_t(rise + MaxRise)] = ShadeFactor(rise);
    }

    // Map row MapRow (0-based) into Out, one colour for each of the map's columns.
    void PaintRow(int MapRow, TPreviewColor *Out) const
    {
        if (MapRow >= Height) {
            std::fill(Out, Out + MapWidth, PreviewColors::Void);
            return;
        }
        const int y = MapRow + 1;
        const TCell *row = Model.CellData() + Model.Index(1, y);
        // The first row and column have no neighbour in the grid: they use
        // their own altitude instead, which leaves the edge unshaded.
        const TCell *north = y > 1 ? Model.CellData() + Model.Index(1, y - 1) : row;
        // Locals, so that the stores to Out do not make the compiler read the
        // tables' addresses again for every cell.
        const TPreviewColor *colors = Colors.data();
        const int *factors = Factors.data() + MaxRise;
        const int width = Width;
        int west = row[0].Altitude;
        for (int i = 0; i < width; ++i) {
            const TCell cell = row[i];
            const int rise = 2 * cell.Altitude - north[i].Altitude - west;
            west = cell.Altitude;
            const TPreviewColor color = colors[cell.Code];
            Out[i] = color == PreviewColors::Void ? color : ApplyFactor(color, factors[rise]);
        }
        std::fill(Out + width, Out + MapWidth, PreviewColors::Void);
    }

private:
    const TTerrainImage &Model;
    const int MapWidth; // columns of the map
    const int Width;    // columns of the grid inside the map
    const int Height; // rows of the grid inside the map
    std::vector<TPreviewColor> Colors; // by code; void codes are PreviewColors::Void
    std::vector<int> Factors; // by Rise + MaxRise
};

// Gathers the rows of one row of blocks, Factor x Factor pixels each, and
// gives the block colours: void when any pixel is, else the rounded average.
class TBlockRow
{
public:
    TBlockRow(int SourceWidth, int Factor)
        : SourceWidth(SourceWidth), Factor(Factor), Blocks((SourceWidth + Factor - 1) / Factor),
          Sums(size_t(Blocks) * 3), Counts(size_t(Blocks)), Void(size_t(Blocks))
    {
        Reset();
    }

    void Add(const TPreviewColor *Row)
    {
        uint64_t *sums = Sums.data();
        uint64_t *counts = Counts.data();
        uint8_t *voids = Void.data();
        for (int block = 0; block < Blocks; ++block) {
            const int first = block * Factor, last = std::min(first + Factor, SourceWidth);
            // One row of a block has at most 65528 pixels (the widest map):
            // its sums of 8-bit channels fit 32 bits.
            uint32_t red = 0, green = 0, blue = 0, count = 0;
            bool isVoid = false;
            for (int x = first; x < last; ++x) {
                const TPreviewColor color = Row[x];
                const bool pixelVoid = color == PreviewColors::Void;
                isVoid |= pixelVoid;
                const uint32_t keep = pixelVoid ? 0u : 1u;
                red += keep * uint32_t(Red(color));
                green += keep * uint32_t(Green(color));
                blue += keep * uint32_t(Blue(color));
                count += keep;
            }
            sums[block * 3] += red;
            sums[block * 3 + 1] += green;
            sums[block * 3 + 2] += blue;
            counts[block] += count;
            voids[block] |= isVoid ? 1 : 0;
        }
    }

    // The block colours into Out (one per block), then starts afresh.
    void Emit(TPreviewColor *Out)
    {
        for (int block = 0; block < Blocks; ++block) {
            const uint64_t count = Counts[size_t(block)];
            if (Void[size_t(block)] || count == 0) {
                Out[block] = PreviewColors::Void;
                continue;
            }
            const uint64_t *sum = &Sums[size_t(block) * 3];
            const auto average = [count](uint64_t Sum) { return int((Sum + count / 2) / count); };
            Out[block] = Rgb(average(sum[0]), average(sum[1]), average(sum[2]));
        }
        Reset();
    }

private:
    void Reset()
    {
        std::fill(Sums.begin(), Sums.end(), 0);
        std::fill(Counts.begin(), Counts.end(), 0);
        std::fill(Void.begin(), Void.end(), 0);
    }

    const int SourceWidth;
    const int Factor;
    const int Blocks;
    std::vector<uint64_t> Sums; // red, green, blue of the non-void pixels, per block
    std::vector<uint64_t> Counts;
    std::vector<uint8_t> Void;
};

// Runs Paint(First, Last) over the rows 0..Rows-1 in a few bands at once.
template <typename TPaint>
void InBands(int Rows, const TPaint &Paint)
{
    // The work is memory-bound: more than a few threads gain nothing.
    constexpr unsigned MaxThreads = 4;
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, MaxThreads));
    std::vector<std::future<void>> bands;
    const int per = (Rows + threads - 1) / threads;
    for (int first = per; first < Rows; first += per)
        bands.push_back(std::async(std::launch::async, [&Paint, first, last = std::min(first + per, Rows)] {
            Paint(first, last);
        }));
    Paint(0, std::min(per, Rows));
    for (auto &band : bands)
        band.get();
}

// A picture of this size, refused when it would exceed the memory there is.
TPreviewPicture NewPicture(const TPictureSize &Size)
{
    TPreviewPicture picture;
    picture.Width = Size.Width;
    picture.Height = Size.Height;
    picture.Pixels.resize(size_t(Size.Pixels()));
    return picture;
}

} // namespace

namespace PreviewColors {

TPreviewColor Terrain(uint16_t Code)
{
    for (const TTerrainColor &entry : TerrainColors)
        if (entry.Code == Code)
            return entry.Color;
    return 0;
}

TPreviewColor Blend(uint16_t A, uint16_t B)
{
    const TPreviewColor a = Terrain(A), b = Terrain(B);
    if (a == 0 || b == 0)
        return UnknownColor;
    const auto half = [](int First, int Second) { return (First + Second + 1) / 2; };
    return Rgb(half(Red(a), Red(b)), half(Green(a), Green(b)), half(Blue(a), Blue(b)));
}

TPreviewColor Shade(TPreviewColor Color, int Rise)
{
    return ApplyFactor(Color, ShadeFactor(Rise));
}

} // namespace PreviewColors

TPictureSize PreviewPictureSize(const TMapSize &Size, int Scale)
{
    if (Scale < 1)
        throw std::invalid_argument("the preview scale must be at least 1");
    return {(Size.Width + Scale - 1) / Scale, (Size.Height + Scale - 1) / Scale};
}

int MinPreviewScale(const TMapSize &Size)
{
    int scale = 1;
    while (PreviewPictureSize(Size, scale).Pixels() > MaxPreviewPixels)
        ++scale;
    return scale;
}

TPreviewPicture RenderMapPreview(const TTerrainImage &Model, const TMapSize &Size, int Scale)
{
    if (!IsValidMapSize(Size))
        throw std::invalid_argument("the preview needs a map size of whole blocks, not " + FormatMapSize(Size));
    const TPictureSize pictureSize = PreviewPictureSize(Size, Scale);
    if (pictureSize.Pixels() > MaxPreviewPixels)
        throw std::length_error("a preview of the " + FormatMapSize(Size) + " map at scale " + std::to_string(Scale) +
                                " would have " + std::to_string(pictureSize.Pixels()) + " pixels, more than the " +
                                std::to_string(MaxPreviewPixels) + " a preview may have; scale " +
                                std::to_string(MinPreviewScale(Size)) + " or more fits");
    const TRowPainter painter(Model, Size);
    TPreviewPicture picture = NewPicture(pictureSize);

    InBands(picture.Height, [&](int First, int Last) {
        if (Scale == 1) {
            for (int row = First; row < Last; ++row)
                painter.PaintRow(row, picture.Row(row));
            return;
        }
        std::vector<TPreviewColor> cells(size_t(Size.Width));
        TBlockRow blocks(Size.Width, Scale);
        for (int row = First; row < Last; ++row) {
            const int lastMapRow = std::min((row + 1) * Scale, Size.Height);
            for (int mapRow = row * Scale; mapRow < lastMapRow; ++mapRow) {
                painter.PaintRow(mapRow, cells.data());
                blocks.Add(cells.data());
            }
            blocks.Emit(picture.Row(row));
        }
    });
    return picture;
}

TPreviewPicture DownscaleMapPreview(const TPreviewPicture &Preview, int Factor)
{
    if (Factor < 1)
        throw std::invalid_argument("the downscale factor must be at least 1");
    TPreviewPicture picture =
        NewPicture({(Preview.Width + Factor - 1) / Factor, (Preview.Height + Factor - 1) / Factor});
    InBands(picture.Height, [&](int First, int Last) {
        TBlockRow blocks(Preview.Width, Factor);
        for (int row = First; row < Last; ++row) {
            const int last = std::min((row + 1) * Factor, Preview.Height);
            for (int y = row * Factor; y < last; ++y)
                blocks.Add(Preview.Row(y));
            blocks.Emit(picture.Row(row));
        }
    });
    return picture;
}

bool SaveMapPreview(const TPreviewPicture &Preview, const std::string &FileName, const std::function<bool()> &Stopped)
{
    // Thrown out of the writing when asked to stop.
    struct TStopped
    {
    };
    try {
        TAtomicSave save({FileName}); // discarded, temporary file and all, unless committed
        WriteRgbPng(
            Preview.Width, Preview.Height,
            [&](int Y, uint8_t *Rgb) {
                const TPreviewColor *row = Preview.Row(Y);
                for (int x = 0; x < Preview.Width; ++x, Rgb += 3) {
                    Rgb[0] = uint8_t(Red(row[x]));
                    Rgb[1] = uint8_t(Green(row[x]));
                    Rgb[2] = uint8_t(Blue(row[x]));
                }
            },
            [&](const uint8_t *Data, size_t Bytes) {
                if (Stopped && Stopped())
                    throw TStopped();
                save.Write(0, Data, Bytes);
            });
        if (Stopped && Stopped())
            return false;
        save.Commit();
    } catch (const EFileWriteError &error) {
        throw EPreviewWriteError(error.what());
    } catch (const TStopped &) {
        return false;
    }
    return true;
}

void MarkStatics(TPreviewPicture &Preview, const TMapSize &Size, int Scale, const TStaticsReader &Reader)
{
    using namespace PreviewColors;
    // Cells with a static per pixel; a cell with several statics counts once.
    std::vector<uint32_t> cells(Preview.Pixels.size(), 0);
    std::vector<uint8_t> seen(64);
    for (int bx = 0; bx < Size.BlockColumns(); ++bx)
        for (int by = 0; by < Size.BlockRows(); ++by) {
            std::fill(seen.begin(), seen.end(), 0);
            for (const TStaticItem &item : Reader.Block(bx, by)) {
                uint8_t &cell = seen[size_t(item.Y % 8 * 8 + item.X % 8)];
                if (cell)
                    continue;
                cell = 1;
                const int x = item.X / Scale, y = item.Y / Scale;
                if (x < Preview.Width && y < Preview.Height)
                    ++cells[size_t(y) * size_t(Preview.Width) + size_t(x)];
            }
        }
    for (int y = 0; y < Preview.Height; ++y) {
        const int rows = std::min(Scale, Size.Height - y * Scale);
        TPreviewColor *row = Preview.Row(y);
        for (int x = 0; x < Preview.Width; ++x) {
            const uint32_t count = cells[size_t(y) * size_t(Preview.Width) + size_t(x)];
            if (count == 0 || row[x] == Void)
                continue;
            const int total = rows * std::min(Scale, Size.Width - x * Scale);
            const auto mix = [&](int Base, int Mark) {
                return (Base * (total - int(count)) + Mark * int(count)) / total;
            };
            row[x] = Rgb(mix(Red(row[x]), Red(Statics)), mix(Green(row[x]), Green(Statics)),
                         mix(Blue(row[x]), Blue(Statics)));
        }
    }
}

void OutlineBlocks(TPreviewPicture &Preview, const TMapSize &Size, int Scale, const std::vector<uint8_t> &Blocks)
{
    const int rows = Size.BlockRows(), columns = Size.BlockColumns();
    const auto marked = [&](int bx, int by) {
        return bx >= 0 && by >= 0 && bx < columns && by < rows && Blocks[size_t(bx) * size_t(rows) + size_t(by)];
    };
    for (int bx = 0; bx < columns; ++bx)
        for (int by = 0; by < rows; ++by) {
            if (!marked(bx, by))
                continue;
            for (int c = 0; c < 64; ++c) {
                const int cx = c % 8, cy = c / 8;
                const bool edge = (cx == 0 && !marked(bx - 1, by)) || (cx == 7 && !marked(bx + 1, by)) ||
                                  (cy == 0 && !marked(bx, by - 1)) || (cy == 7 && !marked(bx, by + 1));
                const int x = (bx * 8 + cx) / Scale, y = (by * 8 + cy) / Scale;
                if (edge && x < Preview.Width && y < Preview.Height)
                    Preview.Row(y)[x] = PreviewColors::Outline;
            }
        }
}
