#include "MapWriter.h"

#include "ClassTerrainImage.h"

#include <QFileInfo>
#include <QSaveFile>

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

    std::vector<uint8_t> buffer(MapFile::ColumnBytes);
    for (int bx = 0; bx < MapFile::BlockColumns; ++bx) {
        FillBlockColumn(Model, bx, buffer.data());
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
