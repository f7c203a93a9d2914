#include "MapReader.h"

#include "ByteOrder.h"
#include "Checksums.h"
#include "UopFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <unordered_map>

namespace {

using ByteOrder::Le16;
using ByteOrder::Le32;
using ByteOrder::Le64;

// What a table record says of one entry.
struct TRecord
{
    uint64_t Offset;      // of the entry header
    uint32_t HeaderBytes; // before the data
    uint32_t Packed;      // the compressed size
    uint32_t Bytes;       // the size of the data
    uint16_t Compression;
    unsigned Count; // records that carry this name
};

// More table records than a map file needs: the largest map (65528 x 65528
// cells) has 16381 entries, in 17 tables of 1000 as the game lays them out.
// Bounds the work on a huge (sparse) file of tables.
constexpr uint64_t MaxRecords = uint64_t(1) << 20;

std::string Plural(uint64_t Count, const char *Noun)
{
    return std::to_string(Count) + " " + Noun + (Count == 1 ? "" : "s");
}

} // namespace

TMapReader::TMapReader(const std::string &FileName_, std::optional<TMapSize> Size) : FileName(FileName_)
{
    try {
        File = std::make_unique<Platform::TFileView>(FileName);
    } catch (const Platform::EFileError &error) {
        throw EMapReadError(error.what());
    }
    FileBytes = File->Bytes().size();

    if (FileBytes >= 4 && Le32(At(0, 4)) == Uop::Magic) {
        FileFormat = TMapFormat::Uop;
        try {
            ReadUopIndex();
        } catch (const std::bad_alloc &) {
            throw EMapReadError(FileName + ": its tables need more memory than there is");
        }
    } else {
        if (FileBytes == 0)
            throw EMapReadError(FileName + ": the file is empty");
        if (FileBytes % MapFile::BlockBytes != 0)
            throw EMapReadError(FileName + ": not a map file (" + std::to_string(FileBytes) +
                                " bytes are not a whole number of 196-byte blocks)");
        FileBlocks = FileBytes / MapFile::BlockBytes;
        Number = MapNumberOfName(FileName).value_or(0);
    }

    if (Size) {
        if (!IsValidMapSize(*Size))
            throw EMapReadError(FileName + ": " + FormatMapSize(*Size) + " is not a map size");
        if (Size->Blocks() > FileBlocks)
            throw EMapReadError(FileName + ": holds " + std::to_string(FileBlocks) + " blocks, a map of " +
                                FormatMapSize(*Size) + " needs " + std::to_string(Size->Blocks()));
        MapSize = *Size;
        return;
    }
    std::vector<TMapSize> candidates;
    if (const std::optional<TMapSize> facet = FacetSize(Number); facet && MapNumberOfName(FileName))
        candidates.push_back(*facet);
    candidates.push_back(MapSizes::Classic);
    for (const TMapSize &candidate : candidates)
        if (candidate.Blocks() == FileBlocks) {
            MapSize = candidate;
            return;
        }
    std::set<std::pair<int, int>> matches;
    for (int facet = 0; facet < FacetCount; ++facet)
        if (FacetSize(facet)->Blocks() == FileBlocks)
            matches.insert({FacetSize(facet)->Width, FacetSize(facet)->Height});
    if (matches.size() > 1) {
        std::string sizes;
        for (int facet = 0; facet < FacetCount; ++facet)
            if (FacetSize(facet)->Blocks() == FileBlocks)
                sizes += (sizes.empty() ? "" : " and ") + std::string("map") + std::to_string(facet) + " (" +
                         FormatMapSize(*FacetSize(facet)) + ")";
        throw EMapReadError(FileName + ": " + std::to_string(FileBlocks) + " blocks fit " + sizes +
                            "; give --facet or --size");
    }
    if (matches.size() != 1)
        throw EMapReadError(FileName + ": " + std::to_string(FileBlocks) +
                            " blocks are no map size known here; give the size");
    MapSize = {matches.begin()->first, matches.begin()->second};
}

const uint8_t *TMapReader::At(uint64_t Offset, uint64_t Bytes) const
{
    if (Offset > FileBytes || Bytes > FileBytes - Offset)
        throw EMapReadError(FileName + ": the file ends too early");
    return File->Bytes().data() + Offset;
}

void TMapReader::ReadUopIndex()
{
    const std::string bad = FileName + ": not a map UOP file: ";
    const uint8_t *header = At(0, 28);
    uint64_t table = Le64(header + 12);

    // Every table and record read must lie in the file, and no byte of it is
    // read twice: a chain of tables, however long or however it loops, is
    // read in time that grows with the file's size.
    std::unordered_map<uint64_t, TRecord> byHash;
    uint64_t tableBytes = 0, records = 0;
    while (table != 0) {
        if (table > FileBytes || Uop::TableHeaderBytes > FileBytes - table)
            throw EMapReadError(bad + "a table lies beyond the end of the file");
        const uint8_t *head = At(table, Uop::TableHeaderBytes);
        const uint64_t count = Le32(head);
        if (count > (FileBytes - table - Uop::TableHeaderBytes) / Uop::RecordBytes)
            throw EMapReadError(bad + "a table is larger than the file");
        tableBytes += Uop::TableHeaderBytes + count * Uop::RecordBytes;
        if (tableBytes > FileBytes)
            throw EMapReadError(bad + "its tables run in a circle or overlap");
        records += count;
        if (records > MaxRecords)
            throw EMapReadError(bad + "its tables hold more than " + std::to_string(MaxRecords) +
                                " records, more than any map has entries");
        const uint8_t *first = At(table + Uop::TableHeaderBytes, count * Uop::RecordBytes);
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t *r = first + i * Uop::RecordBytes;
            const uint64_t offset = Le64(r);
            if (offset == 0)
                continue; // an unused record
            TRecord record{offset, Le32(r + 8), Le32(r + 12), Le32(r + 16), Le16(r + 32), 1};
            const auto [found, added] = byHash.try_emplace(Le64(r + 20), record);
            if (!added)
                ++found->second.Count;
        }
        table = Le64(head + 4);
    }

    // The facet number is part of the entries' names: the one of the file's
    // name when its first entry is there, else whichever number is.
    const auto hasFirst = [&](int n) { return byHash.count(HashLittle2(Uop::EntryName(n, 0))) != 0; };
    const std::optional<int> named = MapNumberOfName(FileName);
    if (named && hasFirst(*named)) {
        Number = *named;
    } else {
        Number = -1;
        for (int n = 0; n < 256 && Number < 0; ++n)
            if (hasFirst(n))
                Number = n;
        if (Number < 0)
            throw EMapReadError(bad + "it has no entry build/map<N>legacymul/00000000.dat");
    }

    const uint64_t entryBytes = Uop::BlocksPerEntry * MapFile::BlockBytes;
    uint64_t total = 0;
    for (uint64_t i = 0;; ++i) {
        const auto found = byHash.find(HashLittle2(Uop::EntryName(Number, i)));
        if (found == byHash.end())
            break;
        const TRecord &record = found->second;
        const std::string entry = bad + "entry " + Uop::EntryName(Number, i);
        if (record.Count > 1)
            throw EMapReadError(entry + " is listed " + std::to_string(record.Count) + " times");
        if (record.Compression != 0)
            throw EMapReadError(entry + " is compressed");
        if (record.Packed != record.Bytes)
            throw EMapReadError(entry + " is stored with " + Plural(record.Packed, "byte") + " but holds " +
                                Plural(record.Bytes, "byte") + " without compression");
        // Offset, header and data inside the file, without adding past 2^64.
        if (record.Offset > FileBytes || record.HeaderBytes > FileBytes - record.Offset ||
            record.Bytes > FileBytes - record.Offset - record.HeaderBytes)
            throw EMapReadError(entry + " lies beyond the end of the file");
        if (record.Bytes % MapFile::BlockBytes != 0)
            throw EMapReadError(entry + " is not a whole number of blocks");
        if (!Entries.empty() && Entries.back().Bytes != entryBytes)
            throw EMapReadError(bad + "entry " + Uop::EntryName(Number, i - 1) + " holds " +
                                Plural(Entries.back().Bytes / MapFile::BlockBytes, "block") +
                                ", but every entry before the last holds 4096");
        Entries.push_back({record.Offset + record.HeaderBytes, record.Bytes});
        total += record.Bytes;
    }
    // A client looks the entries up by name until one is missing: an entry
    // after a gap would be lost to it, so the gap is named. Any entry of this
    // map lies among the records, so looking as far as there are records finds it.
    for (uint64_t i = Entries.size() + 1; i <= Entries.size() + byHash.size(); ++i)
        if (byHash.count(HashLittle2(Uop::EntryName(Number, i))) != 0)
            throw EMapReadError(bad + "entry " + Uop::EntryName(Number, Entries.size()) + " is missing, but " +
                                Uop::EntryName(Number, i) + " is there");
    FileBlocks = total / MapFile::BlockBytes;
}

uint64_t TMapReader::FileOffset(uint64_t Offset, uint64_t &Run) const
{
    if (FileFormat == TMapFormat::Mul)
        return Offset;
    // Every entry but the last holds 4096 blocks.
    const uint64_t entryBytes = Uop::BlocksPerEntry * MapFile::BlockBytes;
    const uint64_t entry = Offset / entryBytes, within = Offset % entryBytes;
    if (entry >= Entries.size() || within >= Entries[entry].Bytes)
        throw EMapReadError(FileName + ": a block lies outside the entries");
    Run = std::min(Run, Entries[entry].Bytes - within);
    return Entries[entry].Offset + within;
}

uint64_t TMapReader::ReadRun(uint64_t Offset, uint64_t Bytes, uint8_t *Out) const
{
    uint64_t run = Bytes;
    const uint64_t from = FileOffset(Offset, run);
    At(from, run); // throws where the run reaches past the end of the file
    if (const Platform::TError error = File->ReadAt(from, Out, size_t(run)))
        throw EMapReadError(Platform::Message(FileName, error));
    return run;
}

const uint8_t *TMapReader::BlockColumnBytes(int BlockColumn, std::vector<uint8_t> &Scratch)
{
    Scratch.resize(size_t(MapSize.ColumnBytes()));
    ReadBlockColumn(BlockColumn, Scratch.data());
    return Scratch.data();
}

TMapCell TMapReader::Cell(int X, int Y)
{
    if (X < 0 || Y < 0 || X >= MapSize.Width || Y >= MapSize.Height)
        throw EMapReadError(FileName + ": the cell " + std::to_string(X) + "/" + std::to_string(Y) +
                            " lies outside the map of " + FormatMapSize(MapSize));
    using namespace MapFile;
    const uint64_t block = uint64_t(X / BlockSide) * uint64_t(MapSize.BlockRows()) + uint64_t(Y / BlockSide);
    const uint64_t offset =
        block * BlockBytes + BlockHeaderBytes + uint64_t((Y % BlockSide) * BlockSide + X % BlockSide) * CellBytes;
    uint64_t run = CellBytes; // a cell never spans two entries
    const uint8_t *bytes = At(FileOffset(offset, run), CellBytes);
    return {Le16(bytes), int8_t(bytes[2])};
}

void TMapReader::ReadBlockColumn(int BlockColumn, uint8_t *Out)
{
    if (BlockColumn < 0 || BlockColumn >= MapSize.BlockColumns())
        throw EMapReadError(FileName + ": no block-column " + std::to_string(BlockColumn));
    // A block-column is one run of bytes in the MUL form; in a UOP file it may
    // run over from one entry into the next.
    uint64_t offset = uint64_t(BlockColumn) * MapSize.ColumnBytes();
    uint64_t left = MapSize.ColumnBytes();
    while (left > 0) {
        const uint64_t run = ReadRun(offset, left, Out);
        Out += run;
        offset += run;
        left -= run;
    }
}
