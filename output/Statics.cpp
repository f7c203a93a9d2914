// Decoration and shore waves as statics, and the bytes of the statics files.
// One pass over the grid row by row on one thread, so the decoration's draws
// come in one fixed order whatever the number of threads elsewhere; then the
// statics are sorted into their blocks, which the files hold in index order.
#include "Statics.h"

#include "ByteOrder.h"
#include "ClassTerrainImage.h"
#include "MapWriter.h"
#include "ShoreWaves.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The altitude of a static on a cell of altitude Z whose E, S and SE
// neighbours have these altitudes (StaticAltitude).
int8_t AltitudeOnTop(int Z, int East, int South, int SouthEast)
{
    // Floor of the mean: an arithmetic shift rounds down for negative sums too.
    const int average = std::abs(Z - SouthEast) <= std::abs(East - South) ? (Z + SouthEast) >> 1 : (East + South) >> 1;
    return int8_t(std::max(Z, average));
}

// Which cells of the map have water among their eight neighbours, a row at
// a time: the rows' water flags are ORed down three rows, then across three
// columns, both loops the compiler can vectorise. Only cells of the map
// (Width x Height) count, as in the straightforward test of each cell.
class TWaterRows
{
public:
    TWaterRows(const TTerrainImage &Model_, int Width_, int Height_)
        : Model(Model_), Width(std::max(Width_, 0)), Height(Height_),
          Rows(3, std::vector<uint8_t>(size_t(Width) + 2, 0)), Column(size_t(Width) + 2, 0), Near(size_t(Width), 0)
    {
    }

    // Row Y's flags (0 or 1 for each X); rows are asked for from the top, one by one.
    const uint8_t *NearRow(int Y)
    {
        if (Y == 0) {
            Fill(Rows[0], -1);
            Fill(Rows[1], 0);
        }
        Fill(Rows[2], Y + 1);
        const uint8_t *above = Rows[0].data(), *here = Rows[1].data(), *below = Rows[2].data();
        uint8_t *column = Column.data();
        for (size_t i = 0; i < Column.size(); ++i)
            column[i] = above[i] | here[i] | below[i];
        uint8_t *near = Near.data();
        for (size_t x = 0; x < Near.size(); ++x)
            near[x] = column[x] | column[x + 1] | column[x + 2];
        std::rotate(Rows.begin(), Rows.begin() + 1, Rows.end());
        return near;
    }

private:
    // Flags of map row Y at [1 .. Width]; none for a row outside the map.
    void Fill(std::vector<uint8_t> &Flags, int Y) const
    {
        if (Y < 0 || Y >= Height) {
            std::fill(Flags.begin(), Flags.end(), uint8_t(0));
            return;
        }
        const TCell *row = Model.CellData() + Model.Index(1, Y + 1);
        uint8_t *flags = Flags.data() + 1;
        for (int x = 0; x < Width; ++x)
            flags[x] = row[x].Code == WATER;
    }

    const TTerrainImage &Model;
    const int Width, Height;
    std::vector<std::vector<uint8_t>> Rows; // map rows Y - 1, Y, Y + 1, framed by a 0 on each side
    std::vector<uint8_t> Column;           // the three rows ORed
    std::vector<uint8_t> Near;
};

// The first index from From on below End whose flag is not 0, or End; eight
// flags at a time, as most rows have few cells with water around them.
int NextNonZero(const uint8_t *Flags, int From, int End)
{
    int i = From;
    for (; i + 8 <= End; i += 8) {
        uint64_t word;
        std::memcpy(&word, Flags + i, 8);
        if (word != 0)
            break;
    }
    while (i < End && Flags[i] == 0)
        ++i;
    return i;
}

void PutIndexEntry(uint8_t *Entry, uint32_t Offset, uint32_t Length)
{
    ByteOrder::PutLe32(Entry, Offset);
    ByteOrder::PutLe32(Entry + 4, Length);
    ByteOrder::PutLe32(Entry + 8, 0);
}

// A static on its way to its block: the records come out of the pass over
// the grid row by row, and are put in block order once all are known.
struct TPendingStatic
{
    uint32_t Block; // index of the block in the map's block order
    uint16_t Id;
    uint8_t Cell;   // x + 8 * y within the block
    int8_t Z;
};

// Walks the map once and writes both files.
class TStaticsBuilder
{
public:
    TStaticsBuilder(const TTerrainImage &Model_, const TMapSize &Size_, const TDecorationConfig &Config_,
                    TPcg32 Generator_, TStaticsCounts &Counts_)
        : Model(Model_), Size(Size_), Config(Config_), Generator(Generator_), Counts(Counts_),
          Width(std::min(Size_.Width, Model_.GetWidth())), Height(std::min(Size_.Height, Model_.GetHeight())),
          Placed(Width, Height), Cells(Model_.CellData()), PerBlock(size_t(Size_.Blocks()), 0), Bears(65536, 0)
    {
        for (uint32_t code = 0; code < 65536; ++code)
            Bears[code] = code != WATER && !IsVoid(uint16_t(code));
        Jump[0] = {1, 0};
        for (int k = 0; k < Lanes; ++k)
            Jump[size_t(k) + 1] = {Jump[size_t(k)].Mul * TPcg32::Multiplier,
                                   Jump[size_t(k)].Add * TPcg32::Multiplier + Generator.Inc};
    }

    void Build(TStaticsFiles &Files, TStaticsWalk Walk)
    {
        // The grid is read row by row, as it lies in memory; reading it down
        // block-columns would miss the cache on every row.
        if (Walk == TStaticsWalk::Straightforward) {
            for (int y = 0; y < Height; ++y) {
                const TCell *row = Cells + Model.Index(1, y + 1);
                for (int x = 0; x < Width; ++x)
                    if (Bears[row[x].Code])
                        Cell(x, y, row + x);
            }
        } else {
            WalkByRuns();
        }
        Counts.Records = Pending.size();

        const uint64_t total = StaticsFile::RecordBytes + uint64_t(Pending.size()) * StaticsFile::RecordBytes;
        if (total > StaticsFile::MaxDataBytes)
            throw EMapWriteError("the statics of this map would take " + std::to_string(total) +
                                 " bytes, more than the statics file can address (" +
                                 std::to_string(StaticsFile::MaxDataBytes) + ")");
        // Each block's place in the statics file, in index order; PerBlock
        // becomes the offset at which the block's next record goes.
        Files.Index.resize(size_t(Size.Blocks()) * StaticsFile::IndexEntryBytes);
        uint32_t offset = StaticsFile::RecordBytes; // after the record no block uses
        for (size_t block = 0; block < PerBlock.size(); ++block) {
            uint8_t *entry = Files.Index.data() + block * StaticsFile::IndexEntryBytes;
            const uint32_t length = PerBlock[block] * StaticsFile::RecordBytes;
            PutIndexEntry(entry, length == 0 ? 0xFFFFFFFFu : offset, length);
            PerBlock[block] = offset;
            offset += length;
        }
        Files.Data.assign(size_t(total), 0);
        for (const TPendingStatic &s : Pending) {
            uint8_t *record = Files.Data.data() + PerBlock[s.Block];
            PerBlock[s.Block] += StaticsFile::RecordBytes;
            ByteOrder::PutLe16(record, s.Id);
            record[2] = uint8_t(s.Cell % 8);
            record[3] = uint8_t(s.Cell / 8);
            record[4] = uint8_t(s.Z);
            // the hue stays 0
        }
    }

private:
    // What the fast walk does with a code: nothing (water, void), look for
    // water only (transitions, coastline), count a plain cell, or count it
    // and draw for its decoration.
    enum TCodeKind : uint8_t { NoStatics, ShoreOnly, PlainOnly, PlainDecorated };

    // The same statics as the straightforward walk, faster: a row's cells
    // with water around them are found at once, for the whole row; every
    // other cell can get no wave, so a run of one plain terrain away from
    // water is counted at once and its draws come in a tight loop. The cells
    // with water around them, rare, take the straightforward path.
    void WalkByRuns()
    {
        std::vector<uint8_t> kind(65536, NoStatics);
        for (uint32_t code = 0; code < kind.size(); ++code)
            if (Bears[code])
                kind[code] = code > SWAMP ? ShoreOnly : Config.Terrains[code].Places() ? PlainDecorated : PlainOnly;
        TWaterRows water(Model, Width, Height);
        for (int y = 0; y < Height; ++y) {
            const uint8_t *near = water.NearRow(y);
            const TCell *row = Cells + Model.Index(1, y + 1);
            int nextNear = -1; // the first cell from x on with water around it, or Width
            for (int x = 0; x < Width;) {
                const uint16_t code = row[x].Code;
                if (kind[code] == NoStatics) { // the whole run: water, mostly
                    do
                        ++x;
                    while (x < Width && row[x].Code == code);
                    continue;
                }
                if (nextNear < x)
                    nextNear = NextNonZero(near, x, Width);
                if (nextNear == x) {
                    Cell(x, y, row + x);
                    ++x;
                    continue;
                }
                int end = x + 1;
                while (end < nextNear && row[end].Code == code)
                    ++end;
                if (kind[code] != ShoreOnly)
                    Counts.PlainCells[code] += uint64_t(end - x);
                if (kind[code] == PlainDecorated)
                    DecorateRun(x, end, y, code);
                x = end;
            }
        }
    }

    // The plain cells [X0, X1) of one row, all of the terrain Code, none
    // with water around: each draws for the density, as Cell does, in the
    // same order. The draws of four cells are made at once: the generator's
    // state k steps on is Jump[k].Mul * state + Jump[k].Add, so the four
    // states come from the one before them side by side rather than one
    // after the other. Where a cell's draw falls below the density, the
    // generator is set to the state after it and the cell is decorated
    // (which draws on); the next cells start from there.
    void DecorateRun(int X0, int X1, int y, uint16_t Code)
    {
        const TTerrainDecoration &terrain = Config.Terrains[Code];
        // random(DensityScale) < Density, that is Output * DensityScale <
        // Density * 2^32, holds exactly for the outputs below this bound.
        const uint64_t bound =
            ((uint64_t(terrain.Density) << 32) + TDecorationConfig::DensityScale - 1) / TDecorationConfig::DensityScale;
        const auto below = [bound](uint64_t State) { return TPcg32::Output(State) < bound; };
        // A local copy, kept in a register: the compiler cannot tell that
        // the member's state and the counts never share memory.
        uint64_t state = Generator.State;
        for (int x = X0; x < X1; ++x) {
            if (x + Lanes <= X1) {
                unsigned hits = 0;
                for (int k = 0; k < Lanes; ++k)
                    hits |= unsigned(below(Jump[k].Mul * state + Jump[k].Add)) << k;
                if (hits == 0) {
                    state = Jump[Lanes].Mul * state + Jump[Lanes].Add;
                    x += Lanes - 1;
                    continue;
                }
                const int first = std::countr_zero(hits);
                state = Jump[first + 1].Mul * state + Jump[first + 1].Add;
                x += first;
            } else {
                const bool hit = below(state);
                state = Jump[1].Mul * state + Jump[1].Add;
                if (!hit)
                    continue;
            }
            Generator.State = state;
            Decorate(x, y, Code, terrain);
            state = Generator.State;
        }
        Generator.State = state;
    }

    void Add(int x, int y, uint16_t Id, int8_t Z)
    {
        const uint32_t block = uint32_t(x / 8) * uint32_t(Size.BlockRows()) + uint32_t(y / 8);
        ++PerBlock[block];
        Pending.push_back({block, Id, uint8_t(x % 8 + 8 * (y % 8)), Z});
    }

    // A cell that bears statics: not water, not void.
    void Cell(int x, int y, const TCell *c)
    {
        const uint16_t code = c->Code;
        int8_t waterZ = 0;
        const uint8_t water = WaterAround(x, y, c, waterZ);
        const uint16_t wave = water != 0 ? ShoreWaves::WaveFor(water, x, y) : 0;
        if (wave != 0) {
            Add(x, y, wave, waterZ);
            ++Counts.Waves;
            return;
        }
        if (code > SWAMP)
            return; // transitions and coastline get no decoration
        ++Counts.PlainCells[code];
        const TTerrainDecoration &terrain = Config.Terrains[code];
        if (!terrain.Places() || Generator.Random(TDecorationConfig::DensityScale) >= terrain.Density)
            return;
        Decorate(x, y, code, terrain);
    }

    // A plain cell whose draw fell below the density: a group when the
    // spacing allows one.
    void Decorate(int x, int y, uint16_t Code, const TTerrainDecoration &Terrain)
    {
        if (!Placed.Clear(x, y, int(Terrain.Spacing) - 1))
            return;
        Placed.Mark(x, y);
        ++Counts.Decorated[Code];
        const TDecorationGroup &group = PickGroup(Terrain);
        const int8_t z = Altitude(x, y);
        for (const TDecorationPart &part : group.Parts) {
            const uint32_t index = part.Count > 1 ? Generator.Random(part.Count) : 0;
            Add(x, y, part.Id(index), z);
        }
    }

    // StaticAltitude, read straight from the grid where the cell's E, S and
    // SE neighbours are cells of the map, as they are for nearly every cell.
    int8_t Altitude(int x, int y) const
    {
        if (x + 1 >= Width || y + 1 >= Height)
            return StaticAltitude(Model, Size, x, y);
        const TCell *c = Cells + Model.Index(x + 1, y + 1), *below = c + Model.Stride();
        return AltitudeOnTop(c->Altitude, c[1].Altitude, below->Altitude, below[1].Altitude);
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
    uint8_t WaterAround(int x, int y, const TCell *c, int8_t &WaterZ) const
    {
        static constexpr int Dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
        static constexpr int Dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
        const bool inside = x > 0 && y > 0 && x + 1 < Width && y + 1 < Height;
        if (inside) {
            // Most cells have no water around them: find that out with plain
            // reads before the loop below.
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
    std::vector<uint32_t> PerBlock; // statics per block, then where the next one goes
    std::vector<TPendingStatic> Pending;
    std::vector<uint8_t> Bears; // by code: 1 for a cell that may bear statics
    // The draws DecorateRun makes at once, and the generator's state k steps
    // on as a function of its state now: Mul * state + Add (modulo 2^64).
    static constexpr int Lanes = 4;
    struct TJump
    {
        uint64_t Mul, Add;
    };
    std::array<TJump, Lanes + 1> Jump{};
};

} // namespace

TStaticsFiles BuildStatics(const TTerrainImage &Model, const TMapSize &Size, const TDecorationConfig &Config,
                           TPcg32 Generator, TStaticsCounts *Counts, TStaticsWalk Walk)
{
    TStaticsCounts counts;
    TStaticsFiles files;
    TStaticsBuilder(Model, Size, Config, Generator, counts).Build(files, Walk);
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
    return AltitudeOnTop(z, altitude(X + 1, Y), altitude(X, Y + 1), altitude(X + 1, Y + 1));
}

std::vector<std::string> FormatStaticsReport(const TStaticsCounts &Counts, const TDecorationConfig &Config)
{
    const auto percent = [](double Share) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f %%", Share);
        return std::string(text);
    };
    std::vector<std::string> lines{"Statics: " + std::to_string(Counts.Records) + " written"};
    for (uint16_t code = DIRT; code <= SWAMP; ++code) {
        const uint64_t plain = Counts.PlainCells[code];
        const TTerrainDecoration &asked = Config.Terrains[code];
        if (plain == 0 && !asked.Places())
            continue;
        const double reached = plain == 0 ? 0.0 : 100.0 * double(Counts.Decorated[code]) / double(plain);
        const double wanted = asked.Places() ? 100.0 * asked.Density / TDecorationConfig::DensityScale : 0.0;
        lines.push_back(std::string("  ") + TTerrainImage::TerrainName(code) + ": " +
                        std::to_string(Counts.Decorated[code]) + " of " + std::to_string(plain) +
                        " plain cells decorated, " + percent(reached) + " (asked " + percent(wanted) + ")");
    }
    lines.push_back("  shore waves: " + std::to_string(Counts.Waves));
    return lines;
}
