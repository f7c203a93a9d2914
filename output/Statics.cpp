// Decoration and shore waves as statics, and the bytes of the statics files.
// One pass over the map in file order: the blocks come out in index order, so
// each block's records are appended to the statics file as soon as its cells
// are done, and the decoration's draws follow that same order whatever the
// number of threads elsewhere.
#include "Statics.h"

#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "MapWriter.h"
#include "ShoreWaves.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Cells that hold a decoration item, one bit per cell, to keep the spacing.
class TPlacedCells
{
public:
    TPlacedCells(int Width_, int Height_)
        : Width(Width_), Height(Height_), WordsPerRow((size_t(Width_) + 63) / 64),
          Words(WordsPerRow * size_t(Height_), 0)
    {
    }
    void Mark(int X, int Y) { Words[size_t(Y) * WordsPerRow + size_t(X) / 64] |= uint64_t(1) << (X % 64); }
    // True when no marked cell lies within Reach cells (Chebyshev) of (X, Y).
    bool Clear(int X, int Y, int Reach) const
    {
        const int x0 = std::max(0, X - Reach), x1 = std::min(Width - 1, X + Reach);
        for (int y = std::max(0, Y - Reach); y <= std::min(Height - 1, Y + Reach); ++y)
            if (AnyIn(y, x0, x1))
                return false;
        return true;
    }

private:
    bool AnyIn(int Y, int X0, int X1) const
    {
        const uint64_t *row = Words.data() + size_t(Y) * WordsPerRow;
        for (int w = X0 / 64; w <= X1 / 64; ++w) {
            uint64_t mask = ~uint64_t(0);
            if (w == X0 / 64)
                mask &= ~uint64_t(0) << (X0 % 64);
            if (w == X1 / 64 && X1 % 64 != 63)
                mask &= (uint64_t(1) << (X1 % 64 + 1)) - 1;
            if (row[w] & mask)
                return true;
        }
        return false;
    }

    int Width, Height;
    size_t WordsPerRow;
    std::vector<uint64_t> Words;
};

void PutIndexEntry(uint8_t *Entry, uint32_t Offset, uint32_t Length)
{
    ByteOrder::PutLe32(Entry, Offset);
    ByteOrder::PutLe32(Entry + 4, Length);
    ByteOrder::PutLe32(Entry + 8, 0);
}

void AppendRecord(std::vector<uint8_t> &Data, uint16_t Id, int X, int Y, int8_t Z)
{
    uint8_t record[StaticsFile::RecordBytes];
    ByteOrder::PutLe16(record, Id);
    record[2] = uint8_t(X);
    record[3] = uint8_t(Y);
    record[4] = uint8_t(Z);
    ByteOrder::PutLe16(record + 5, 0);
    Data.insert(Data.end(), record, record + StaticsFile::RecordBytes);
}

// Walks the map once and writes both files.
class TStaticsBuilder
{
public:
    TStaticsBuilder(const TTerrainImage &Model_, const TMapSize &Size_, const TDecorationConfig &Config_,
                    TPcg32 Generator_, TStaticsCounts &Counts_)
        : Model(Model_), Size(Size_), Config(Config_), Generator(Generator_), Counts(Counts_),
          Width(std::min(Size_.Width, Model_.GetWidth())), Height(std::min(Size_.Height, Model_.GetHeight())),
          Placed(Width, Height), Cells(Model_.CellData())
    {
    }

    void Build(TStaticsFiles &Files)
    {
        Files.Index.assign(size_t(Size.Blocks()) * StaticsFile::IndexEntryBytes, 0);
        Files.Data.assign(StaticsFile::RecordBytes, 0); // the record no block uses
        uint8_t *entry = Files.Index.data();
        for (int bx = 0; bx < Size.BlockColumns(); ++bx) {
            for (int by = 0; by < Size.BlockRows(); ++by, entry += StaticsFile::IndexEntryBytes) {
                const size_t start = Files.Data.size();
                if (bx * 8 < Width && by * 8 < Height)
                    Block(bx, by, Files.Data);
                const size_t length = Files.Data.size() - start;
                if (Files.Data.size() > StaticsFile::MaxDataBytes)
                    throw EMapWriteError("the statics of this map would take more than " +
                                         std::to_string(StaticsFile::MaxDataBytes) +
                                         " bytes, more than the statics file can address");
                if (length == 0)
                    PutIndexEntry(entry, 0xFFFFFFFFu, 0);
                else
                    PutIndexEntry(entry, uint32_t(start), uint32_t(length));
            }
        }
    }

private:
    void Block(int bx, int by, std::vector<uint8_t> &Data)
    {
        for (int row = 0; row < 8; ++row) {
            const int y = by * 8 + row;
            if (y >= Height)
                break;
            for (int column = 0; column < 8; ++column) {
                const int x = bx * 8 + column;
                if (x >= Width)
                    break;
                Cell(x, y, column, row, Data);
            }
        }
    }

    void Cell(int x, int y, int column, int row, std::vector<uint8_t> &Data)
    {
        const uint16_t code = At(x, y).Code;
        if (code == WATER || IsVoid(code))
            return;
        int8_t waterZ = 0;
        const uint16_t wave = ShoreWaves::WaveFor(WaterAround(x, y, waterZ), x, y);
        if (wave != 0) {
            AppendRecord(Data, wave, column, row, waterZ);
            ++Counts.Waves;
            ++Counts.Records;
            return;
        }
        if (code > SWAMP)
            return; // transitions and coastline get no decoration
        ++Counts.PlainCells[code];
        const TTerrainDecoration &terrain = Config.Terrains[code];
        if (!terrain.Places() || Generator.Random(TDecorationConfig::DensityScale) >= terrain.Density)
            return;
        if (!Placed.Clear(x, y, int(terrain.Spacing) - 1))
            return;
        Placed.Mark(x, y);
        ++Counts.Decorated[code];
        const TDecorationGroup &group = PickGroup(terrain);
        const int8_t z = StaticAltitude(Model, Size, x, y);
        for (const TDecorationPart &part : group.Parts) {
            const uint32_t index = part.Count > 1 ? Generator.Random(part.Count) : 0;
            AppendRecord(Data, part.Id(index), column, row, z);
            ++Counts.Records;
        }
    }

    const TDecorationGroup &PickGroup(const TTerrainDecoration &Terrain)
    {
        uint32_t pick = Generator.Random(Terrain.TotalWeight);
        for (const TDecorationGroup &group : Terrain.Groups) {
            if (pick < group.Weight)
                return group;
            pick -= group.Weight;
        }
        return Terrain.Groups.back(); // not reached: the weights add up to the total
    }

    // The cell of map position (x, y), for 0 <= x < Width and 0 <= y < Height.
    TCell At(int x, int y) const { return Cells[Model.Index(x + 1, y + 1)]; }

    // A cell that the map shows with the void tile gets no statics.
    bool IsVoid(uint16_t Code) const
    {
        if (TTerrainImage::HasTileList(Code))
            return Model.GetTileList(uint8_t(Code)).empty();
        return Code < 256 || Model.GetTransitionTile(Code) == 0;
    }

    // The directions of the water neighbours, and the highest altitude among them.
    uint8_t WaterAround(int x, int y, int8_t &WaterZ) const
    {
        static constexpr int Dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
        static constexpr int Dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
        const bool inside = x > 0 && y > 0 && x + 1 < Width && y + 1 < Height;
        if (inside) {
            // Most cells have no water around them: find that out with plain
            // reads before the loop below.
            const TCell *c = Cells + Model.Index(x + 1, y + 1);
            const size_t stride = size_t(Model.Stride());
            const TCell *above = c - stride, *below = c + stride;
            if (((above[-1].Code == WATER) | (above[0].Code == WATER) | (above[1].Code == WATER) |
                 (c[-1].Code == WATER) | (c[1].Code == WATER) | (below[-1].Code == WATER) |
                 (below[0].Code == WATER) | (below[1].Code == WATER)) == 0)
                return 0;
        }
        uint8_t mask = 0;
        int z = -128;
        for (int d = 0; d < 8; ++d) {
            const int nx = x + Dx[d], ny = y + Dy[d];
            if (!inside && (nx < 0 || ny < 0 || nx >= Width || ny >= Height))
                continue; // beyond the map, or no cell of the picture
            const TCell cell = At(nx, ny);
            if (cell.Code == WATER) {
                mask |= uint8_t(1u << d);
                z = std::max(z, int(cell.Altitude));
            }
        }
        WaterZ = int8_t(z);
        return mask;
    }

    const TTerrainImage &Model;
    const TMapSize Size;
    const TDecorationConfig &Config;
    TPcg32 Generator;
    TStaticsCounts &Counts;
    const int Width, Height; // the map cells that have a grid cell
    TPlacedCells Placed;
    const TCell *Cells;
};

} // namespace

TStaticsFiles BuildStatics(const TTerrainImage &Model, const TMapSize &Size, const TDecorationConfig &Config,
                           TPcg32 Generator, TStaticsCounts *Counts)
{
    TStaticsCounts counts;
    TStaticsFiles files;
    TStaticsBuilder(Model, Size, Config, Generator, counts).Build(files);
    if (Counts)
        *Counts = counts;
    return files;
}

TStaticsFiles BuildEmptyStatics(const TMapSize &Size)
{
    TStaticsFiles files;
    files.Index.resize(size_t(Size.Blocks()) * StaticsFile::IndexEntryBytes);
    for (size_t i = 0; i < files.Index.size(); i += StaticsFile::IndexEntryBytes)
        PutIndexEntry(files.Index.data() + i, 0xFFFFFFFFu, 0);
    files.Data.assign(StaticsFile::RecordBytes, 0);
    return files;
}

int8_t StaticAltitude(const TTerrainImage &Model, const TMapSize &Size, int X, int Y)
{
    const int z = Model.GetCell(X + 1, Y + 1).Altitude;
    const auto altitude = [&](int x, int y) {
        if (x >= Size.Width || y >= Size.Height)
            return z;
        return int(Model.GetCell(x + 1, y + 1).Altitude);
    };
    const int east = altitude(X + 1, Y), south = altitude(X, Y + 1), southEast = altitude(X + 1, Y + 1);
    // Floor of the mean: an arithmetic shift rounds down for negative sums too.
    const int average = std::abs(z - southEast) <= std::abs(east - south) ? (z + southEast) >> 1 : (east + south) >> 1;
    return int8_t(std::max(z, average));
}
