#include "StaticsReader.h"

#include "ByteOrder.h"
#include "Platform.h"

namespace {

constexpr uint64_t EntryBytes = 12;
constexpr uint64_t RecordBytes = 7;

std::unique_ptr<Platform::TFileView> Open(const std::string &Path)
{
    try {
        return std::make_unique<Platform::TFileView>(Path);
    } catch (const Platform::EFileError &error) {
        throw EStaticsReadError(error.what());
    }
}

} // namespace

TStaticsReader::TStaticsReader(const std::string &IndexPath_, const std::string &DataPath_, const TMapSize &Size_)
    : IndexPath(IndexPath_), DataPath(DataPath_), Size(Size_), Index(Open(IndexPath_)), Data(Open(DataPath_))
{
    const uint64_t expected = Size.Blocks() * EntryBytes;
    if (Index->Bytes().size() != expected)
        throw EStaticsReadError(IndexPath + ": " + std::to_string(Index->Bytes().size()) + " bytes, but a " +
                                FormatMapSize(Size) + " map has " + std::to_string(expected) +
                                " (12 for each of its blocks); these statics are for a map of another size");
}

TStaticsReader::~TStaticsReader() = default;

std::vector<TStaticItem> TStaticsReader::Block(int Bx, int By) const
{
    if (Bx < 0 || By < 0 || Bx >= Size.BlockColumns() || By >= Size.BlockRows())
        throw EStaticsReadError(IndexPath + ": no block " + std::to_string(Bx) + "," + std::to_string(By) +
                                " in a " + FormatMapSize(Size) + " map");
    const uint64_t block = uint64_t(Bx) * uint64_t(Size.BlockRows()) + uint64_t(By);
    const uint8_t *entry = Index->Bytes().data() + block * EntryBytes;
    const uint32_t offset = ByteOrder::Le32(entry), length = ByteOrder::Le32(entry + 4);
    std::vector<TStaticItem> items;
    if (offset == 0xFFFFFFFFu || length == 0)
        return items;
    const auto data = Data->Bytes();
    if (length % RecordBytes != 0 || uint64_t(offset) + length > data.size())
        throw EStaticsReadError(IndexPath + ": block " + std::to_string(Bx) + "," + std::to_string(By) +
                                " claims " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                                ", which " + DataPath + " (" + std::to_string(data.size()) +
                                " bytes of 7-byte records) does not hold");
    for (uint64_t at = offset; at < uint64_t(offset) + length; at += RecordBytes) {
        const uint8_t *record = data.data() + at;
        items.push_back({ByteOrder::Le16(record), Bx * 8 + record[2] % 8, By * 8 + record[3] % 8, int8_t(record[4]),
                         ByteOrder::Le16(record + 5)});
    }
    return items;
}

std::vector<TStaticItem> TStaticsReader::At(int X, int Y) const
{
    std::vector<TStaticItem> items;
    for (const TStaticItem &item : Block(X / 8, Y / 8))
        if (item.X == X && item.Y == Y)
            items.push_back(item);
    return items;
}
