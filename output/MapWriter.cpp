#include "MapWriter.h"

#include "ClassTerrainImage.h"

#include <QFileInfo>
#include <QSaveFile>

#if defined(__linux__)
#include <fcntl.h>
#endif

#include <algorithm>
#include <array>
#include <future>
#include <vector>

void FillBlockColumn(TTerrainImage &Model, int BlockColumn, uint8_t *Buffer)
{
    using namespace MapFile;
    for (int by = 0; by < BlockRows; ++by) {
        uint8_t *block = Buffer + by * BlockBytes;
        for (int row = 0; row < BlockSide; ++row) {
            for (int column = 0; column < BlockSide; ++column) {
                const TCell cell = Model.GetCell(BlockColumn * BlockSide + column + 1, by * BlockSide + row + 1);
                const uint16_t tile = Model.TileForCode(cell.Code);
                uint8_t *out = block + BlockHeaderBytes + (row * BlockSide + column) * CellBytes;
                out[0] = uint8_t(tile & 0xFF);
                out[1] = uint8_t(tile >> 8);
                out[2] = uint8_t(cell.Altitude);
            }
        }
        block[0] = block[1] = block[2] = block[3] = 0;
    }
}

TMapFiller::TMapFiller(const TTerrainImage &Model_, const TPcg32 &Start)
    : Model(Model_), FixedTiles(65536), ListOfCode(65536, 0), Starts(MapFile::BlockColumns + 1, Start)
{
    for (uint32_t code = 0; code < 65536; ++code) {
        const auto c = uint16_t(code);
        if (TTerrainImage::HasTileList(c) && !Model.GetTileList(uint8_t(c)).empty()) {
            const std::vector<uint16_t> &tiles = Model.GetTileList(uint8_t(c));
            Lists.push_back({uint32_t(tiles.size()), tiles.data()});
            ListOfCode[code] = uint8_t(Lists.size());
        } else {
            // An empty list draws nothing and gives the void tile, as FixedTile
            // does for every code without a transition tile.
            FixedTiles[code] = TTerrainImage::HasTileList(c) ? Model.GetVoidTile() : Model.FixedTile(c);
        }
    }
    std::vector<uint64_t> draws(MapFile::BlockColumns, 0);
    CountDraws(draws);
    for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
        Starts[size_t(bx) + 1] = Starts[size_t(bx)];
        Starts[size_t(bx) + 1].Advance(draws[size_t(bx)]);
    }
}

void TMapFiller::CountDraws(std::vector<uint64_t> &draws) const
{
    using namespace MapFile;
    const int width = std::min(Model.GetWidth(), BlockColumns * BlockSide);
    const int height = std::min(Model.GetHeight(), BlockRows * BlockSide);
    for (int y = 1; y <= height; ++y) {
        const TCell *cells = Model.CellData() + Model.Index(1, y);
        for (int x0 = 0; x0 < width; x0 += BlockSide) {
            unsigned count = 0;
            const int end = std::min(x0 + BlockSide, width);
            for (int x = x0; x < end; ++x)
                count += ListOfCode[cells[x].Code] != 0;
            draws[size_t(x0 / BlockSide)] += count;
        }
    }
}

void TMapFiller::FillBand(int First, int Count, uint8_t *Out) const
{
    using namespace MapFile;
    const int width = Model.GetWidth();
    const int height = Model.GetHeight();
    const uint16_t voidTile = FixedTiles[NO_TERRAIN];
    std::vector<TPcg32> generators(Starts.begin() + First, Starts.begin() + First + Count);
    for (int y = 1; y <= BlockRows * BlockSide; ++y) {
        const int by = (y - 1) / BlockSide, row = (y - 1) % BlockSide;
        const TCell *cells = y <= height ? Model.CellData() + Model.Index(1, y) : nullptr;
        for (int j = 0; j < Count; ++j) {
            uint8_t *block = Out + size_t(j) * ColumnBytes + size_t(by) * BlockBytes;
            if (row == 0)
                block[0] = block[1] = block[2] = block[3] = 0;
            uint8_t *out = block + BlockHeaderBytes + row * BlockSide * CellBytes;
            const int firstX = (First + j) * BlockSide + 1;
            // Columns of this block-column that lie inside the grid; the rest
            // read as empty cells.
            const int inside = cells ? std::clamp(width - firstX + 1, 0, BlockSide) : 0;
            // A local copy: the byte stores could alias a generator in memory.
            TPcg32 generator = generators[size_t(j)];
            int column = 0;
            for (; column < inside; ++column, out += CellBytes) {
                const TCell cell = cells[firstX - 1 + column];
                const uint8_t list = ListOfCode[cell.Code];
                uint16_t tile;
                if (list) {
                    const TList &tiles = Lists[list - 1u];
                    tile = tiles.Tiles[generator.Random(tiles.Count)];
                } else {
                    tile = FixedTiles[cell.Code];
                }
                out[0] = uint8_t(tile & 0xFF);
                out[1] = uint8_t(tile >> 8);
                out[2] = uint8_t(cell.Altitude);
            }
            for (; column < BlockSide; ++column, out += CellBytes) {
                out[0] = uint8_t(voidTile & 0xFF);
                out[1] = uint8_t(voidTile >> 8);
                out[2] = 0;
            }
            generators[size_t(j)] = generator;
        }
    }
}

namespace {

// Block-columns filled at a time: wide enough that reading the grid row by row
// pays, small enough that the two bands in flight stay a few megabytes.
constexpr int BandColumns = 16;
static_assert(MapFile::BlockColumns % BandColumns == 0);

// The atomic save ends by waiting until the whole file is on the disk. Start
// the disk writing of each band already written while the next one is filled,
// so that little is left to wait for at the end. Only a hint: nothing depends on it.
void StartWriteback(QSaveFile &file, int bandsWritten)
{
#if defined(__linux__)
    if (bandsWritten == 0 || !file.flush())
        return;
    const off_t bandBytes = off_t(BandColumns) * MapFile::ColumnBytes;
    sync_file_range(file.handle(), off_t(bandsWritten - 1) * bandBytes, bandBytes, SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
    (void)bandsWritten;
#endif
}

} // namespace

TMapWriteResult WriteMapFile(TTerrainImage &Model, const std::string &FileName, const TMapWriterHooks &Hooks)
{
    const QString name = QString::fromStdString(FileName);
    const auto fail = [&](const QString &cause) {
        throw EMapWriteError(FileName + ": " + cause.toStdString());
    };

    // The atomic save would replace a write-protected file; honour the protection.
    const QFileInfo target(name);
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner))
        fail("the file is write-protected");
    if (target.isDir())
        fail("this is a folder");

    QSaveFile file(name); // discarded, temporary file and all, unless committed
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    if (Hooks.Opened)
        Hooks.Opened();

    // Bands of block-columns are filled on a second thread while the one
    // before is written; each block-column is written and reported on its own.
    const TMapFiller filler(Model, Random::Generator());
    std::array<std::vector<uint8_t>, 2> bands;
    for (auto &band : bands)
        band.resize(size_t(BandColumns) * MapFile::ColumnBytes);
    const auto fill = [&](int band) {
        filler.FillBand(band * BandColumns, BandColumns, bands[size_t(band % 2)].data());
    };
    std::future<void> next = std::async(std::launch::async, fill, 0);
    for (int band = 0; band < MapFile::BlockColumns / BandColumns; ++band) {
        next.get();
        StartWriteback(file, band);
        if ((band + 1) * BandColumns < MapFile::BlockColumns)
            next = std::async(std::launch::async, fill, band + 1);
        for (int j = 0; j < BandColumns; ++j) {
            const int bx = band * BandColumns + j;
            const auto *column = reinterpret_cast<const char *>(bands[size_t(band % 2)].data()) +
                                 size_t(j) * MapFile::ColumnBytes;
            if (file.write(column, MapFile::ColumnBytes) != MapFile::ColumnBytes)
                fail(file.errorString()); // the pending band finishes before the future goes
            if (Hooks.AfterColumn && Hooks.AfterColumn(bx)) {
                file.cancelWriting();
                Random::Generator() = filler.StateBefore(bx + 1);
                return TMapWriteResult::Aborted;
            }
        }
    }
    Random::Generator() = filler.StateBefore(MapFile::BlockColumns);
    if (!file.commit())
        fail(file.errorString());
    return TMapWriteResult::Written;
}
