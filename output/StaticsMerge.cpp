#include "StaticsMerge.h"

#include "ByteOrder.h"
#include "Platform.h"
#include "StaticsReader.h"

#include <cstdio>
#include <cstring>

namespace {

std::vector<uint8_t> ReadWhole(const std::string &Path)
{
    try {
        const Platform::TFileView file(Path);
        const auto bytes = file.Bytes();
        if (bytes.size() > StaticsFile::MaxDataBytes)
            throw EStaticsReadError(Path + ": larger than a statics file can be (" +
                                    std::to_string(StaticsFile::MaxDataBytes) + " bytes)");
        return {bytes.begin(), bytes.end()};
    } catch (const Platform::EFileError &error) {
        throw EStaticsReadError(error.what());
    }
}

// The records of block Block of Files: a pointer to the first and their count.
struct TRecords
{
    const uint8_t *First = nullptr;
    size_t Count = 0;
};

// Records that do not lie whole in the data file are refused, naming the
// files as Name and DataName.
TRecords RecordsOf(const TStaticsFiles &Files, uint64_t Block, const std::string &Name,
                   const std::string &DataName = "its statics file")
{
    const uint8_t *entry = Files.Index.data() + Block * StaticsFile::IndexEntryBytes;
    const uint32_t offset = ByteOrder::Le32(entry), length = ByteOrder::Le32(entry + 4);
    // The main client ignores a block whose statics start at offset 0 (the
    // files this program writes keep a record there that no block uses).
    if (offset == 0xFFFFFFFFu || length == 0 || offset == 0)
        return {};
    if (length % StaticsFile::RecordBytes != 0 || uint64_t(offset) + length > Files.Data.size())
        throw EStaticsReadError(Name + ": block " + std::to_string(Block) + " claims " + std::to_string(length) +
                                " bytes at offset " + std::to_string(offset) + ", which " + DataName + " (" +
                                std::to_string(Files.Data.size()) + " bytes of 7-byte records) does not hold");
    return {Files.Data.data() + offset, length / StaticsFile::RecordBytes};
}

} // namespace

TStaticsFiles ReadStaticsFiles(const std::string &IndexPath, const std::string &DataPath, const TMapSize &Size)
{
    TStaticsFiles files;
    files.Index = ReadWhole(IndexPath);
    files.Data = ReadWhole(DataPath);
    const std::vector<uint8_t> &index = files.Index;
    const uint64_t expected = Size.Blocks() * StaticsFile::IndexEntryBytes;
    if (index.size() != expected)
        throw EStaticsReadError(IndexPath + ": " + std::to_string(index.size()) + " bytes, but a " +
                                FormatMapSize(Size) + " map has " + std::to_string(expected) +
                                " (12 for each of its blocks); these statics are for a map of another size");
    // Every block's records must lie in the data file, so that damage is
    // told now, naming the files, and not while the new map is written.
    for (uint64_t block = 0; block < Size.Blocks(); ++block)
        RecordsOf(files, block, IndexPath, DataPath);
    return files;
}

TStaticsFiles MergeStatics(const TMapSize &Size, const std::vector<uint8_t> &Remade, const TStaticsFiles *Existing,
                           const TStaticsFiles *New, const std::function<bool(uint16_t Id)> &Ours,
                           const TStaticCheck &Check, TStaticsMergeReport &Report)
{
    using namespace StaticsFile;
    TStaticsFiles files;
    files.Index.resize(size_t(Size.Blocks()) * IndexEntryBytes);
    files.Data.assign(RecordBytes, 0); // the one record no block uses
    std::vector<uint8_t> block;
    for (uint64_t b = 0; b < Size.Blocks(); ++b) {
        block.clear();
        const TRecords old = Existing ? RecordsOf(*Existing, b, "the statics beside the map") : TRecords{};
        const int bx = int(b / uint64_t(Size.BlockRows())), by = int(b % uint64_t(Size.BlockRows()));
        if (!Remade[b]) {
            block.assign(old.First, old.First + old.Count * RecordBytes);
        } else {
            size_t count = 0;
            for (size_t r = 0; r < old.Count; ++r) {
                const uint8_t *record = old.First + r * RecordBytes;
                if (Ours(ByteOrder::Le16(record))) {
                    ++Report.Removed;
                    continue;
                }
                block.insert(block.end(), record, record + RecordBytes);
                ++count;
                ++Report.Kept;
                const int x = bx * 8 + record[2] % 8, y = by * 8 + record[3] % 8;
                if (const std::string why = Check(x, y); !why.empty()) {
                    if (Report.DisturbedLines.size() < TStaticsMergeReport::MaxListed) {
                        char text[160];
                        std::snprintf(text, sizeof text, "static 0x%04X at %d,%d (z %d): %s",
                                      unsigned(ByteOrder::Le16(record)), x, y, int(int8_t(record[4])), why.c_str());
                        Report.DisturbedLines.emplace_back(text);
                    }
                    ++Report.Disturbed;
                }
            }
            const TRecords made = New ? RecordsOf(*New, b, "the new statics") : TRecords{};
            size_t room = count < size_t(MaxPerBlock) ? size_t(MaxPerBlock) - count : 0;
            const std::string name = "block " + std::to_string(bx) + "," + std::to_string(by) + ": ";
            if (count > size_t(MaxPerBlock))
                Report.FullBlocks.push_back(name + std::to_string(count) + " kept statics, more than the " +
                                            std::to_string(MaxPerBlock) + " a client reads");
            else if (made.Count > room)
                Report.FullBlocks.push_back(name + std::to_string(count) + " kept statics leave room for " +
                                            std::to_string(room) + " of its " + std::to_string(made.Count) +
                                            " new ones");
            const size_t taken = std::min(room, made.Count);
            block.insert(block.end(), made.First, made.First + taken * RecordBytes);
            Report.Added += taken;
        }
        uint8_t *entry = files.Index.data() + b * IndexEntryBytes;
        if (block.empty()) {
            ByteOrder::PutLe32(entry, 0xFFFFFFFFu);
            ByteOrder::PutLe32(entry + 4, 0);
        } else {
            if (files.Data.size() + block.size() > MaxDataBytes)
                throw EStaticsReadError("the merged statics would pass the " + std::to_string(MaxDataBytes) +
                                        " bytes a statics file can hold");
            ByteOrder::PutLe32(entry, uint32_t(files.Data.size()));
            ByteOrder::PutLe32(entry + 4, uint32_t(block.size()));
            files.Data.insert(files.Data.end(), block.begin(), block.end());
        }
        ByteOrder::PutLe32(entry + 8, 0);
    }
    return files;
}
