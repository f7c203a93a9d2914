#pragma once

#include "MapFormat.h"

#include <cstdint>
#include <fstream>
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
class TMapReader
{
public:
    explicit TMapReader(const std::string &FileName, std::optional<TMapSize> Size = std::nullopt);

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

private:
    struct TEntry
    {
        uint64_t Offset = 0; // of the data
        uint64_t Bytes = 0;
    };
    void ReadUopIndex();
    void ReadAt(uint64_t Offset, void *Out, size_t Bytes);
    // The file position of byte Offset of the blocks, as the MUL form has them.
    uint64_t Locate(uint64_t Offset, uint64_t Bytes) const;

    std::string FileName;
    std::ifstream In;
    uint64_t FileBytes = 0;
    TMapFormat FileFormat = TMapFormat::Mul;
    TMapSize MapSize;
    int Number = 0;
    uint64_t FileBlocks = 0;
    std::vector<TEntry> Entries; // UOP: in the order of their names
};
