#include "MapWriter.h"

#include "ClassTerrainImage.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
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

TBlockColumnFiller::TBlockColumnFiller(const TTerrainImage &Model_)
    : Model(Model_), FixedTiles(65536), ListOfCode(65536, 0)
{
    for (uint32_t code = 0; code < 65536; ++code) {
        const auto c = uint16_t(code);
        if (TTerrainImage::HasTileList(c) && !Model.GetTileList(uint8_t(c)).empty()) {
            Lists.push_back(Model.GetTileList(uint8_t(c)));
            ListOfCode[code] = uint8_t(Lists.size());
        } else {
            // An empty list draws nothing and gives the void tile, as FixedTile does
            // for every code without a transition tile.
            FixedTiles[code] = TTerrainImage::HasTileList(c) ? Model.GetVoidTile() : Model.FixedTile(c);
        }
    }
}

void TBlockColumnFiller::Fill(int BlockColumn, uint8_t *Buffer)
{
    using namespace MapFile;
    TPcg32 &generator = Random::Generator();
    const int width = Model.GetWidth();
    const int height = Model.GetHeight();
    const int firstX = BlockColumn * BlockSide + 1;
    // Columns of this block-column that lie inside the grid.
    const int inside = std::clamp(width - firstX + 1, 0, BlockSide);
    for (int by = 0; by < BlockRows; ++by) {
        uint8_t *block = Buffer + by * BlockBytes;
        block[0] = block[1] = block[2] = block[3] = 0;
        uint8_t *out = block + BlockHeaderBytes;
        for (int row = 0; row < BlockSide; ++row) {
            const int y = by * BlockSide + row + 1;
            const TCell *cells = y <= height ? Model.CellData() + Model.Index(firstX, y) : nullptr;
            for (int column = 0; column < BlockSide; ++column, out += CellBytes) {
                const TCell cell = cells && column < inside ? cells[column] : TCell{};
                const uint8_t list = ListOfCode[cell.Code];
                uint16_t tile;
                if (list) {
                    const std::vector<uint16_t> &tiles = Lists[list - 1u];
                    tile = tiles[generator.Random(uint32_t(tiles.size()))];
                } else {
                    tile = FixedTiles[cell.Code];
                }
                out[0] = uint8_t(tile & 0xFF);
                out[1] = uint8_t(tile >> 8);
                out[2] = uint8_t(cell.Altitude);
            }
        }
    }
}

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

    TBlockColumnFiller filler(Model);
    std::vector<uint8_t> buffer(MapFile::ColumnBytes);
    for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
        filler.Fill(bx, buffer.data());
        if (file.write(reinterpret_cast<const char *>(buffer.data()), MapFile::ColumnBytes) != MapFile::ColumnBytes)
            fail(file.errorString());
        if (Hooks.AfterColumn && Hooks.AfterColumn(bx)) {
            file.cancelWriting();
            return TMapWriteResult::Aborted;
        }
    }
    if (!file.commit())
        fail(file.errorString());
    return TMapWriteResult::Written;
}
