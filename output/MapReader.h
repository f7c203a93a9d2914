#pragma once

#include "MapFormat.h"
#include "Platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A map file that cannot be read; the message names the file and the problem.
class EMapReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One cell of a map file.
struct TMapCell
{
    uint16_t Tile = 0;
    int8_t Altitude = 0;
    bool operator==(const TMapCell &) const = default;
};

// Reads a map file back, MUL or UOP (told apart by the "MYP" mark, not by the
// name). Neither form stores the map's size: it is Size when given, else the
// size of the facet whose block count matches (the facet of the file's name
// first, then the classic 6144 x 4096, then the only facet of that count).
//
// A UOP file is read as the game's client reads it, by the names of its
// entries, or refused: every entry must lie inside the file; the entries
// 0, 1, 2, ... follow without a gap, each named once, uncompressed, and each
// but the last holds exactly 4096 blocks. Its tables may lie anywhere, of any
// capacity, with entry headers of any length, as in the files the game ships.
// Anything that is not a regular file (a folder, a device, a pipe) is refused
// without waiting on it.
class TMapReader
{
public:
    explicit TMapReader(const std::string &FileName, std::optional<TMapSize> Size = std::nullopt);

    const std::string &Path() const { return FileName; }
    TMapFormat Format() const { return FileFormat; }
    const TMapSize &Size() const { return MapSize; }
    // N of the entries' names "build/map<N>legacymul/..." (UOP only).
    int MapNumber() const { return Number; }
    // The blocks the file holds (it may hold more than the size needs).
    uint64_t Blocks() const { return FileBlocks; }

    // Map cell (X, Y), counted from 0; throws EMapReadError outside the map.
    TMapCell Cell(int X, int Y);
    // Block-column BlockColumn as the MUL form stores it (Size().ColumnBytes()).
    void ReadBlockColumn(int BlockColumn, uint8_t *Out);
    // The same bytes read into Scratch, which is sized to fit. The block-columns
    // are read from the file, not through its mapping: a map is read from end
    // to end, where a copy costs less than touching every mapped page. Both
    // may be called on several threads at once.
    const uint8_t *BlockColumnBytes(int BlockColumn, std::vector<uint8_t> &Scratch);

private:
    struct TEntry
    {
        uint64_t Offset = 0; // of the data
        uint64_t Bytes = 0;
    };
    void ReadUopIndex();
    const uint8_t *At(uint64_t Offset, uint64_t Bytes) const;
    // Where the blocks' byte Offset (as the MUL form counts) lies in the file;
    // Run is cut to what lies in one run of it from there.
    uint64_t FileOffset(uint64_t Offset, uint64_t &Run) const;
    // Bytes of the blocks from Offset on, as the MUL form has them, that lie
    // in one run of the file (up to Bytes), into Out; returns how many.
    uint64_t ReadRun(uint64_t Offset, uint64_t Bytes, uint8_t *Out) const;

    std::string FileName;
    std::unique_ptr<Platform::TFileView> File;
    uint64_t FileBytes = 0;
    TMapFormat FileFormat = TMapFormat::Mul;
    TMapSize MapSize;
    int Number = 0;
    uint64_t FileBlocks = 0;
    std::vector<TEntry> Entries; // UOP: in the order of their names, all but the last 4096 blocks long
};
