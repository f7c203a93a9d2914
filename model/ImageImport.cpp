// The image import: every pixel of the painted picture becomes one cell, its
// terrain chosen by the pixel's red value alone, with a start altitude by
// terrain. The file is checked first (PictureCheck.h), its size is weighed
// against the memory budget, and then one pass decodes it straight into the
// grid's cells, row by row; a plain BMP's two halves are decoded at once.
#include "ClassTerrainImage.h"
#include "PictureCheck.h"
#include "Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <future>
#include <optional>
#include <type_traits>

namespace {

// Grid sizes are 16-bit.
constexpr uint64_t MaxImageSide = 65535;

static_assert(std::is_trivially_copyable_v<TCell> && sizeof(TCell) == 4);

std::string Num(uint64_t n) { return std::to_string(n); }

// An amount of memory for the map maker: whole megabytes (rounded up), bytes below one.
std::string Amount(uint64_t bytes)
{
    return bytes < (1 << 20) ? Num(bytes) + " bytes" : Num((bytes + (1 << 20) - 1) >> 20) + " MB";
}

} // namespace

// The terrain of each red value of the picture's red bits. A picture with
// fewer than 8 bits of red (a 16-bit BMP has 5) is matched to the terrains by
// reducing each configured red value to as many bits: with 5 bits, red r
// becomes round(r * 31 / 255), so water's 30 becomes 4, grass's 40 becomes 5.
// Two terrains that reduce to one value cannot be told apart in such a picture.
struct TRedTable
{
    uint32_t Bits = 8;
    std::array<uint16_t, 256> Codes{};
    bool AnyAmbiguous = false;
    std::array<bool, 256> Ambiguous{};
    std::array<uint8_t, 256> Red{};                   // the configured red of Codes[v]
    std::array<uint8_t, 256> OtherRed{};              // another red reducing to v, of another terrain

    TRedTable(const std::array<uint16_t, 256> &colorToCode, uint32_t bits) : Bits(bits)
    {
        if (bits >= 8) {
            Codes = colorToCode;
            return;
        }
        const uint32_t top = (1u << bits) - 1;
        for (uint32_t red = 0; red < 256; ++red) {
            const uint16_t code = colorToCode[red];
            if (code == NO_TERRAIN)
                continue;
            const uint32_t v = (red * top + 127) / 255; // never an exact half: 255 is odd
            if (Codes[v] == NO_TERRAIN) {
                Codes[v] = code;
                Red[v] = uint8_t(red);
            } else if (Codes[v] != code && !Ambiguous[v]) {
                Ambiguous[v] = AnyAmbiguous = true;
                OtherRed[v] = uint8_t(red);
            }
        }
    }
};

// Where the decoders' rows go: each red value's terrain straight into the
// grid's row, counting the cells that will draw a start altitude.
class TGridRows final : public TRedRows
{
public:
    // Codes, when given, takes each cell's code as a byte too (Width x Height).
    TGridRows(TTerrainImage &model, const TRedTable &table, uint8_t *codes)
        : Model(model), Table(table), Codes(codes), RowDraws(model.Height),
          FirstAmbiguous(table.AnyAmbiguous ? model.Height : 0)
    {
        // Each red value's whole cell as four bytes, altitude and padding 0,
        // so that a cell is one store.
        for (size_t red = 0; red < 256; ++red) {
            uint8_t bytes[sizeof(TCell)] = {};
            std::memcpy(bytes + offsetof(TCell, Code), &table.Codes[red], sizeof(uint16_t));
            std::memcpy(&Words[red], bytes, sizeof(TCell));
            Draws[red] = table.Codes[red] != WATER;
            CodeBytes[red] = uint8_t(table.Codes[red]);
        }
    }

    void Row(uint32_t Y, const uint8_t *Reds) override
    {
        const int width = Model.Width;
        if (Table.AnyAmbiguous)
            for (int x = 0; x < width; ++x)
                if (Table.Ambiguous[Reds[x]]) {
                    FirstAmbiguous[Y] = {x, Reds[x]};
                    break;
                }
        TCell *cell = &Model.Cells[Model.Index(1, int32_t(Y) + 1)];
        uint32_t draws = 0;
        for (int x = 0; x < width; ++x) {
            std::memcpy(static_cast<void *>(&cell[x]), &Words[Reds[x]], sizeof(TCell));
            draws += Draws[Reds[x]];
        }
        RowDraws[Y] = draws;
        if (Codes) {
            uint8_t *codes = Codes + size_t(Y) * size_t(width);
            for (int x = 0; x < width; ++x)
                codes[x] = CodeBytes[Reds[x]];
        }
    }

    struct TPixel
    {
        uint32_t X, Y;
        uint8_t Value;
    };
    // The first pixel, top to bottom, whose red value two terrains reduce to.
    std::optional<TPixel> Ambiguity() const
    {
        for (size_t y = 0; y < FirstAmbiguous.size(); ++y)
            if (FirstAmbiguous[y].Column >= 0)
                return TPixel{uint32_t(FirstAmbiguous[y].Column), uint32_t(y), FirstAmbiguous[y].Value};
        return std::nullopt;
    }

    TTerrainImage &Model;
    const TRedTable &Table;
    uint8_t *const Codes;
    std::array<uint32_t, 256> Words{};
    std::array<uint8_t, 256> CodeBytes{};
    std::array<uint8_t, 256> Draws{}; // 1 where the cell will draw a start altitude
    std::vector<uint32_t> RowDraws;   // by row, written by the thread that decodes it
    struct TFound
    {
        int32_t Column = -1;
        uint8_t Value = 0;
    };
    std::vector<TFound> FirstAmbiguous; // by row
};

void TTerrainImage::LoadFromBMP(const std::string &FileName, const TLoadOptions &Options)
{
    ClearGrid();
    Random::Reseed(TSeedSite::ImageLoad);
    const auto fail = [&](const std::string &problem) { return EImageLoadError(FileName + ": " + problem); };
    try {
        const Platform::TFileView file(FileName);
        const std::span<const uint8_t> bytes = file.Bytes();
        TPictureLayout layout;
        std::string problem = PictureProblem(bytes, layout);
        if (!problem.empty())
            throw fail(problem);
        const TBmpLayout &bmp = layout.Bmp;
        std::optional<TPngCheck> &png = layout.Png;
        const uint64_t width = layout.Width, height = layout.Height;
        const uint32_t redBits = png ? png->RedBits() : BmpRedBits(bmp);

        // The crop comes first: a picture too large to load may be cut to a
        // part that is not.
        const bool cropped = (Options.CropWidth != 0 && Options.CropWidth < width) ||
                             (Options.CropHeight != 0 && Options.CropHeight < height);
        const uint64_t cropWidth = Options.CropWidth != 0 ? std::min<uint64_t>(Options.CropWidth, width) : width;
        const uint64_t cropHeight = Options.CropHeight != 0 ? std::min<uint64_t>(Options.CropHeight, height) : height;
        const std::string size = Num(width) + " x " + Num(height) + " pixels" +
                                 (cropped ? ", cut to " + Num(cropWidth) + " x " + Num(cropHeight) : std::string());
        if (cropWidth > MaxImageSide || cropHeight > MaxImageSide)
            throw fail("the image is " + size + "; at most 65535 x 65535 can be loaded");
        const uint64_t need = (cropWidth + 2) * (cropHeight + 2) * TLoadOptions::BytesPerCell;
        if (need > Options.MemoryBudget)
            throw fail("the image is " + size + "; a run over a grid of that size needs about " + Amount(need) +
                       " of memory, more than the budget of " + Amount(Options.MemoryBudget));

        const TRedTable table(ColorToCode, redBits);
        ResetGrid(uint16_t(cropWidth), uint16_t(cropHeight));
        PictureWidth = uint32_t(width);
        PictureHeight = uint32_t(height);
        if (Options.DeferStartAltitudes)
            LoadedCodeBytes.Reset(size_t(cropWidth) * size_t(cropHeight));
        TGridRows rows(*this, table, LoadedCodeBytes.data());
        const TPictureCrop crop{uint32_t(cropWidth), uint32_t(cropHeight)};
        if (png) {
            problem = png->Decode(crop, rows);
        } else if (BmpRowsStandAlone(bmp)) {
            // The top half here, the bottom half beside it; the top half's
            // problem is the one reported, as a top-down reading finds it first.
            const uint32_t split = crop.Height / 2;
            auto bottom = std::async(std::launch::async,
                                     [&] { return DecodeBmp(bytes, bmp, crop, split, crop.Height, rows); });
            problem = DecodeBmp(bytes, bmp, crop, 0, split, rows);
            const std::string bottomProblem = bottom.get();
            if (problem.empty())
                problem = bottomProblem;
        } else {
            problem = DecodeBmp(bytes, bmp, crop, 0, crop.Height, rows);
        }
        if (!problem.empty())
            throw fail(problem);
        if (const auto at = rows.Ambiguity()) {
            const uint8_t v = at->Value;
            throw fail("pixel (" + Num(at->X) + ", " + Num(at->Y) + ") has the red value " + Num(v) + " of " +
                       Num(redBits) + " bits, to which both " + TerrainName(table.Codes[v]) + " (red " +
                       Num(table.Red[v]) + ") and " + TerrainName(ColorToCode[table.OtherRed[v]]) + " (red " +
                       Num(table.OtherRed[v]) + ") reduce, so the picture cannot tell them apart; save it with 8 "
                       "bits of red, or give the two terrains red values further apart in " + TilesPath);
        }
        if (Options.DeferStartAltitudes) {
            // The generator moves on past the draws all the same.
            DeferredStart = Random::Generator();
            uint64_t draws = 0;
            for (const uint32_t d : rows.RowDraws)
                draws += d;
            Random::Generator().Advance(draws);
            DeferredRowDraws = std::move(rows.RowDraws);
        } else {
            DrawStartAltitudes(rows.RowDraws);
        }
    } catch (const Platform::EFileError &error) {
        ClearGrid();
        throw EImageLoadError(error.what());
    } catch (const std::bad_alloc &) {
        ClearGrid();
        throw fail("not enough memory for the grid of this image");
    } catch (...) {
        ClearGrid();
        throw;
    }
}

// One draw for every one of Count cells from First on that is not water;
// the start altitudes come from the height profile: by default mountains 20
// to 74, water -75, the rest 0 to 9. Gives the generator after.
// The cells' codes are those of Codes when given (as loaded), else their own.
TPcg32 TTerrainImage::DrawStartAltitudeCells(TCell *First, int Count, TPcg32 Generator, const uint8_t *Codes) const
{
    const int mountainLow = Heights.MountainStart.Low, otherLow = Heights.OtherStart.Low;
    const uint32_t mountainCount = Heights.MountainStart.Count(), otherCount = Heights.OtherStart.Count();
    const int8_t water = int8_t(Heights.Water);
    for (int i = 0; i < Count; ++i) {
        TCell *cell = First + i;
        const uint16_t code = Codes ? Codes[i] : cell->Code;
        if (code == MOUNTAIN)
            cell->Altitude = int8_t(mountainLow + int(Generator.Random(mountainCount)));
        else if (code == WATER)
            cell->Altitude = water;
        else
            cell->Altitude = int8_t(otherLow + int(Generator.Random(otherCount)));
    }
    return Generator;
}

// The rows FirstRow to LastRow whole, row by row from the top.
TPcg32 TTerrainImage::DrawStartAltitudeRows(int FirstRow, int LastRow, TPcg32 Generator)
{
    for (int y = FirstRow; y <= LastRow; ++y)
        Generator = DrawStartAltitudeCells(&Cells[Index(1, y)], Width, Generator);
    return Generator;
}

void TTerrainImage::DrawStartAltitudes(const std::vector<uint32_t> &RowDraws)
{
    // The rows are shared between two threads; the second half starts from
    // the generator moved on past the draws of the first half, so every cell
    // gets the number that the one-by-one order gives it.
    const int split = Height / 2;
    uint64_t firstHalfDraws = 0;
    for (int y = 0; y < split; ++y)
        firstHalfDraws += RowDraws[size_t(y)];
    TPcg32 second = Random::Generator();
    second.Advance(firstHalfDraws);
    auto secondHalf = std::async(std::launch::async, [this, split, second] {
        return DrawStartAltitudeRows(split + 1, int(Height), second);
    });
    DrawStartAltitudeRows(1, split, Random::Generator());
    Random::Generator() = secondHalf.get();
}

void TTerrainImage::DrawDeferredStartAltitudes(int FirstRow, int LastRow, int FirstColumn, int LastColumn)
{
    if (!HasDeferredStartAltitudes())
        return;
    FirstRow = std::max(FirstRow, 1);
    LastRow = std::min(LastRow, int(Height));
    FirstColumn = std::max(FirstColumn, 1);
    LastColumn = std::min(LastColumn, int(Width));
    TPcg32 rowStart = DeferredStart;
    uint64_t before = 0;
    for (int y = 1; y < FirstRow; ++y)
        before += DeferredRowDraws[size_t(y - 1)];
    rowStart.Advance(before);
    // The stages may have rewritten the grid's codes: the draws go by the
    // codes as loaded.
    for (int y = FirstRow; y <= LastRow && FirstColumn <= LastColumn; ++y) {
        // The generator moved on past the draws of the row's cells before the part.
        const uint8_t *codes = LoadedCodeBytes.data() + size_t(y - 1) * Width;
        uint64_t skipped = 0;
        for (int x = 0; x + 1 < FirstColumn; ++x)
            skipped += codes[x] != WATER;
        TPcg32 generator = rowStart;
        generator.Advance(skipped);
        DrawStartAltitudeCells(&Cells[Index(FirstColumn, y)], LastColumn - FirstColumn + 1, generator,
                               codes + (FirstColumn - 1));
        rowStart.Advance(DeferredRowDraws[size_t(y - 1)]);
    }
    DeferredRowDraws.clear();
    DeferredRowDraws.shrink_to_fit();
}
