#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TTerrainImage;

// The map file: 768 block-columns of 512 blocks, each block 8 x 8 cells after a
// four-byte header, each cell a little-endian tile number and a signed altitude.
namespace MapFile {
constexpr int BlockColumns = 768;
constexpr int BlockRows = 512;
constexpr int BlockSide = 8;                  // cells per block edge
constexpr int CellBytes = 3;                  // tile low, tile high, altitude
constexpr int BlockHeaderBytes = 4;           // always zero
constexpr int BlockBytes = BlockHeaderBytes + BlockSide * BlockSide * CellBytes; // 196
constexpr int ColumnBytes = BlockRows * BlockBytes;                              // 100352
constexpr int64_t FileBytes = int64_t(BlockColumns) * ColumnBytes;              // 77070336
} // namespace MapFile

// A map file that could not be written; the message names the file and the cause.
class EMapWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What the writer tells its caller while it works.
struct TMapWriterHooks
{
    // Called once the output is open, before the first block-column.
    std::function<void()> Opened;
    // Called after each block-column has been written; true stops the writing.
    std::function<bool(int BlockColumn)> AfterColumn;
};

enum class TMapWriteResult { Written, Aborted };

// Fills buffer (MapFile::ColumnBytes) with block-column bx of the model, asking
// TileForCode once per cell in file order. The straightforward form, kept as
// the reference for the faster filler that the writer uses.
void FillBlockColumn(TTerrainImage &Model, int BlockColumn, uint8_t *Buffer);

// The same bytes as FillBlockColumn, with the same draws from the shared
// generator, through a table of the tile choice per code instead of a call per cell.
class TBlockColumnFiller
{
public:
    explicit TBlockColumnFiller(const TTerrainImage &Model);
    void Fill(int BlockColumn, uint8_t *Buffer);

private:
    const TTerrainImage &Model;
    std::vector<uint16_t> FixedTiles; // by code: the tile of a code that draws nothing
    std::vector<uint8_t> ListOfCode;  // by code: 1 + its tile list's slot, 0 for none
    std::vector<std::vector<uint16_t>> Lists;
};

// Writes the whole map file block-column by block-column and saves it
// atomically: the file at FileName changes only when all of it is written.
// After an abort the old file is untouched and no temporary file is left.
// Throws EMapWriteError when the file cannot be written.
TMapWriteResult WriteMapFile(TTerrainImage &Model, const std::string &FileName, const TMapWriterHooks &Hooks = {});
