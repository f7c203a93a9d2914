#include "MapReader.h"

#include "Checksums.h"
#include "UopFile.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace {

uint64_t Get(const uint8_t *p, int Bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < Bytes; ++i)
        value |= uint64_t(p[i]) << (8 * i);
    return value;
}

// More tables than any map can need: a guard against a table chain in a circle.
constexpr size_t MaxTables = 1u << 20;

} // namespace

TMapReader::TMapReader(const std::string &FileName_, std::optional<TMapSize> Size) : FileName(FileName_)
{
    std::error_code error;
    if (std::filesystem::is_directory(FileName, error))
        throw EMapReadError(FileName + ": this is a folder");
    In.open(FileName, std::ios::binary);
    if (!In)
        throw EMapReadError(FileName + (std::filesystem::exists(FileName, error) ? ": the file cannot be read"
                                                                                 : ": the file does not exist"));
    In.seekg(0, std::ios::end);
    FileBytes = uint64_t(In.tellg());

    uint8_t mark[4] = {};
    if (FileBytes >= 4)
        ReadAt(0, mark, 4);
    if (FileBytes >= 4 && Get(mark, 4) == Uop::Magic) {
        FileFormat = TMapFormat::Uop;
        ReadUopIndex();
    } else {
        if (FileBytes % Uop::MapBlockBytes != 0)
            throw EMapReadError(FileName + ": not a map file (" + std::to_string(FileBytes) +
                                " bytes are not a whole number of 196-byte blocks)");
        FileBlocks = FileBytes / Uop::MapBlockBytes;
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
    if (matches.size() != 1)
        throw EMapReadError(FileName + ": " + std::to_string(FileBlocks) +
                            " blocks are no map size known here; give the size");
    MapSize = {matches.begin()->first, matches.begin()->second};
}

void TMapReader::ReadAt(uint64_t Offset, void *Out, size_t Bytes)
{
    if (Offset > FileBytes || Bytes > FileBytes - Offset)
        throw EMapReadError(FileName + ": the file ends too early");
    In.clear();
    In.seekg(std::streamoff(Offset));
    In.read(static_cast<char *>(Out), std::streamsize(Bytes));
    if (!In)
        throw EMapReadError(FileName + ": the file cannot be read");
}

void TMapReader::ReadUopIndex()
{
    const std::string bad = FileName + ": not a map UOP file: ";
    uint8_t header[28];
    ReadAt(0, header, sizeof header);
    uint64_t table = Get(header + 12, 8);

    struct TRecord
    {
        uint64_t Offset, Bytes;
        uint16_t Compression;
    };
    std::map<uint64_t, TRecord> byHash;
    std::set<uint64_t> seen;
    while (table != 0) {
        if (!seen.insert(table).second || seen.size() > MaxTables)
            throw EMapReadError(bad + "its tables run in a circle");
        uint8_t head[Uop::TableHeaderBytes];
        ReadAt(table, head, sizeof head);
        const uint64_t count = Get(head, 4);
        if (count > (FileBytes - table) / Uop::RecordBytes)
            throw EMapReadError(bad + "a table is larger than the file");
        std::vector<uint8_t> records(size_t(count * Uop::RecordBytes));
        ReadAt(table + Uop::TableHeaderBytes, records.data(), records.size());
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t *r = records.data() + i * Uop::RecordBytes;
            const uint64_t offset = Get(r, 8);
            if (offset == 0)
                continue; // an unused record
            const uint64_t data = offset + Get(r + 8, 4);
            const uint64_t bytes = Get(r + 16, 4); // decompressed size
            if (data > FileBytes || bytes > FileBytes - data)
                throw EMapReadError(bad + "an entry lies beyond the end of the file");
            byHash[Get(r + 20, 8)] = {data, bytes, uint16_t(Get(r + 32, 2))};
        }
        table = Get(head + 4, 8);
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
    uint64_t total = 0;
    for (uint64_t i = 0;; ++i) {
        const auto found = byHash.find(HashLittle2(Uop::EntryName(Number, i)));
        if (found == byHash.end())
            break;
        if (found->second.Compression != 0)
            throw EMapReadError(bad + "entry " + std::to_string(i) + " is compressed");
        if (found->second.Bytes % Uop::MapBlockBytes != 0)
            throw EMapReadError(bad + "entry " + std::to_string(i) + " is not a whole number of blocks");
        Entries.push_back({found->second.Offset, found->second.Bytes});
        total += found->second.Bytes;
    }
    FileBlocks = total / Uop::MapBlockBytes;
}

uint64_t TMapReader::Locate(uint64_t Offset, uint64_t Bytes) const
{
    if (FileFormat == TMapFormat::Mul)
        return Offset;
    uint64_t start = 0;
    for (const TEntry &entry : Entries) {
        if (Offset < start + entry.Bytes) {
            if (Offset + Bytes > start + entry.Bytes)
                break;
            return entry.Offset + (Offset - start);
        }
        start += entry.Bytes;
    }
    throw EMapReadError(FileName + ": a block lies outside the entries");
}

TMapCell TMapReader::Cell(int X, int Y)
{
    if (X < 0 || Y < 0 || X >= MapSize.Width || Y >= MapSize.Height)
        throw EMapReadError(FileName + ": the cell " + std::to_string(X) + "/" + std::to_string(Y) +
                            " lies outside the map of " + FormatMapSize(MapSize));
    const uint64_t block = uint64_t(X / 8) * uint64_t(MapSize.BlockRows()) + uint64_t(Y / 8);
    const uint64_t offset = block * Uop::MapBlockBytes + 4 + uint64_t((Y % 8) * 8 + X % 8) * 3;
    uint8_t bytes[3];
    ReadAt(Locate(offset, 3), bytes, 3);
    return {uint16_t(bytes[0] | (bytes[1] << 8)), int8_t(bytes[2])};
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
        uint64_t run = Uop::MapBlockBytes;
        if (FileFormat == TMapFormat::Mul) {
            run = left;
        } else {
            uint64_t start = 0;
            for (const TEntry &entry : Entries) {
                if (offset < start + entry.Bytes) {
                    run = std::min(left, start + entry.Bytes - offset);
                    break;
                }
                start += entry.Bytes;
            }
        }
        ReadAt(Locate(offset, run), Out, size_t(run));
        Out += run;
        offset += run;
        left -= run;
    }
}
