#include "UopFile.h"

#include "AtomicSave.h"
#include "ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

// Little-endian stores appended to a byte buffer.
void Put16(std::vector<uint8_t> &Out, uint16_t Value)
{
    Out.resize(Out.size() + 2);
    ByteOrder::PutLe16(Out.data() + Out.size() - 2, Value);
}

void Put32(std::vector<uint8_t> &Out, uint32_t Value)
{
    Out.resize(Out.size() + 4);
    ByteOrder::PutLe32(Out.data() + Out.size() - 4, Value);
}

void Put64(std::vector<uint8_t> &Out, uint64_t Value)
{
    Out.resize(Out.size() + 8);
    ByteOrder::PutLe64(Out.data() + Out.size() - 8, Value);
}

uint64_t EntryCount(uint64_t Blocks)
{
    return (Blocks + Uop::BlocksPerEntry - 1) / Uop::BlocksPerEntry;
}

} // namespace

std::string Uop::EntryName(int MapNumber, uint64_t Entry)
{
    char name[64];
    std::snprintf(name, sizeof name, "build/map%dlegacymul/%08llu.dat", MapNumber,
                  static_cast<unsigned long long>(Entry));
    return name;
}

TUopMapWriter::TUopMapWriter(TAtomicSave &Save_, size_t File_, const TMapSize &Size, int MapNumber_)
    : Save(Save_), File(File_), MapNumber(MapNumber_), TotalBlocks(Size.Blocks())
{
    const uint64_t entries = EntryCount(TotalBlocks);
    if (entries > 0xFFFFFFFFull)
        throw std::invalid_argument("too many entries for a UOP file");
    Records.reserve(size_t(entries));
    std::vector<uint8_t> header;
    Put32(header, Uop::Magic);
    Put32(header, Uop::Version);
    Put32(header, Uop::Signature);
    Put64(header, Uop::HeaderBytes); // the first table follows the header
    Put32(header, Uop::TableCapacity);
    Put32(header, uint32_t(entries));
    header.resize(Uop::HeaderBytes, 0);
    Put(header.data(), header.size());
}

void TUopMapWriter::Put(const void *Data, size_t Bytes)
{
    Save.Write(File, Data, Bytes);
    Written += Bytes;
}

void TUopMapWriter::StartEntry()
{
    if (Records.size() % Uop::TableCapacity == 0) {
        // The table of this entry and the next ones, filled in by Finish.
        TableOffsets.push_back(Written);
        const std::vector<uint8_t> zeros(Uop::TableHeaderBytes + Uop::TableCapacity * Uop::RecordBytes, 0);
        Put(zeros.data(), zeros.size());
    }
    const uint64_t entry = Records.size();
    TRecord record;
    record.Offset = Written;
    const uint64_t blocks = std::min(Uop::BlocksPerEntry, TotalBlocks - entry * Uop::BlocksPerEntry);
    record.Bytes = uint32_t(blocks * MapFile::BlockBytes);
    record.Hash = HashLittle2(Uop::EntryName(MapNumber, entry));
    Records.push_back(record);
    EntryBlocksLeft = blocks;
    EntryAdler = TAdler32();
    // u16 3, then the length of the rest of the header (8), then 8 zero bytes.
    static constexpr uint8_t EntryHeader[Uop::EntryHeaderBytes] = {3, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put(EntryHeader, sizeof EntryHeader);
}

void TUopMapWriter::AddBlocks(uint8_t *Blocks, uint64_t Count)
{
    if (NextBlock + Count > TotalBlocks)
        throw std::logic_error("more blocks than the map has");
    for (uint64_t i = 0; i < Count; ++i) {
        const auto index = uint32_t(NextBlock + i);
        uint8_t *block = Blocks + i * MapFile::BlockBytes;
        ByteOrder::PutLe32(block, index);
    }
    while (Count > 0) {
        if (EntryBlocksLeft == 0)
            StartEntry();
        const uint64_t run = std::min(Count, EntryBlocksLeft);
        const size_t bytes = size_t(run * MapFile::BlockBytes);
        EntryAdler.Add(Blocks, bytes);
        Put(Blocks, bytes);
        EntryBlocksLeft -= run;
        if (EntryBlocksLeft == 0)
            Records.back().Adler = EntryAdler.Value();
        NextBlock += run;
        Blocks += bytes;
        Count -= run;
    }
}

void TUopMapWriter::Finish()
{
    if (NextBlock != TotalBlocks)
        throw std::logic_error("the map's blocks are not all written");
    for (size_t table = 0; table < TableOffsets.size(); ++table) {
        const size_t first = table * Uop::TableCapacity;
        const size_t last = std::min(Records.size(), first + Uop::TableCapacity);
        std::vector<uint8_t> bytes;
        Put32(bytes, uint32_t(last - first));
        Put64(bytes, table + 1 < TableOffsets.size() ? TableOffsets[table + 1] : 0);
        for (size_t i = first; i < last; ++i) {
            const TRecord &record = Records[i];
            Put64(bytes, record.Offset);
            Put32(bytes, Uop::EntryHeaderBytes);
            Put32(bytes, record.Bytes); // compressed size: stored as it is
            Put32(bytes, record.Bytes);
            Put64(bytes, record.Hash);
            Put32(bytes, record.Adler);
            Put16(bytes, 0); // no compression
        }
        Save.WriteAt(File, TableOffsets[table], bytes.data(), bytes.size());
    }
}
