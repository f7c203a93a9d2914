#pragma once

#include "Checksums.h"
#include "MapFormat.h"

#include <cstdint>
#include <string>
#include <vector>

class TAtomicSave;

// The MYP container ("UOP") in which current clients keep the map as
// map<N>LegacyMUL.uop. All numbers are little-endian.
//
//   header, 40 bytes: "MYP\0", version 5, signature 0xFD23EC43, u64 offset of
//     the first table, u32 table capacity, u32 file count, zeros
//   table: u32 entries in it, u64 offset of the next table (0: the last one),
//     then Capacity records of 34 bytes (unused ones zero): u64 offset of the
//     entry, u32 entry header length, u32 compressed size, u32 decompressed
//     size, u64 hash of the entry's name, u32 Adler-32 of the data, u16
//     compression (0: none)
//   entry: the entry header, then its data: 4096 map blocks (0xC4000 bytes),
//     the last entry what is left. Named "build/map<N>legacymul/%08d.dat".
//
// What is written, and why: each table is followed by the entries it lists,
// the first one right after the header. Clients and tools find an entry's data
// at its offset plus the header length, by the hash of its name. Some servers
// instead skip 4 bytes plus the 16-bit number at entry offset + 2, and put the
// entries in the order of the first four bytes of their data, the header of
// their first block. So every entry header is 12 bytes: u16 3, u16 8 (the
// 8 bytes that follow), u64 0; and in a UOP file the header of every block
// holds its block index, which grows with the position in the map. Older
// servers compute the places from this very layout (tables of 100, the first
// at byte 40, 12-byte entry headers).
namespace Uop {
constexpr uint32_t Magic = 0x0050594D; // "MYP\0"
constexpr uint32_t Version = 5;
constexpr uint32_t Signature = 0xFD23EC43;
constexpr uint32_t TableCapacity = 100;
constexpr uint64_t HeaderBytes = 40;
constexpr uint64_t TableHeaderBytes = 12;
constexpr uint64_t RecordBytes = 34;
constexpr uint32_t EntryHeaderBytes = 12;
constexpr uint64_t BlocksPerEntry = 4096;

// "build/map<N>legacymul/<Entry as 8 digits>.dat"
std::string EntryName(int MapNumber, uint64_t Entry);
} // namespace Uop

// Writes the blocks of a map into a UOP file as they come, block by block in
// map order, without holding more than the tables: the tables are written as
// zeros in their places and filled in by Finish.
class TUopMapWriter
{
public:
    TUopMapWriter(TAtomicSave &Save, size_t File, const TMapSize &Size, int MapNumber);
    // Appends Count blocks of 196 bytes, the next ones of the map. Sets each
    // block's header to its block index (the buffer is changed).
    void AddBlocks(uint8_t *Blocks, uint64_t Count);
    // Writes the tables; all blocks of the map must have been added.
    void Finish();
    // Bytes written so far.
    uint64_t Position() const { return Written; }

private:
    struct TRecord
    {
        uint64_t Offset = 0;
        uint32_t Bytes = 0;
        uint64_t Hash = 0;
        uint32_t Adler = 0;
    };
    void StartEntry();
    void Put(const void *Data, size_t Bytes);

    TAtomicSave &Save;
    size_t File;
    int MapNumber;
    uint64_t TotalBlocks;
    uint64_t NextBlock = 0;
    uint64_t Written = 0;
    uint64_t EntryBlocksLeft = 0; // of the entry being written
    TAdler32 EntryAdler;
    std::vector<TRecord> Records;
    std::vector<uint64_t> TableOffsets;
};
