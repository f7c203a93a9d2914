// Merging statics block by block: what clients read of the existing files,
// and the 1024 records a client reads of a block.
#include "StaticsMerge.h"

#include "ByteOrder.h"

#include <gtest/gtest.h>

namespace {

// One block of records (id, x, y) written at Offset of the data file.
TStaticsFiles OneBlock(uint32_t Offset, const std::vector<uint16_t> &Ids)
{
    TStaticsFiles files;
    files.Data.assign(Offset, 0);
    for (const uint16_t id : Ids)
        files.Data.insert(files.Data.end(), {uint8_t(id & 0xFF), uint8_t(id >> 8), 1, 2, 0, 0, 0});
    files.Index.resize(12);
    ByteOrder::PutLe32(files.Index.data(), Ids.empty() ? 0xFFFFFFFFu : Offset);
    ByteOrder::PutLe32(files.Index.data() + 4, uint32_t(Ids.size() * 7));
    return files;
}

uint32_t Count(const TStaticsFiles &Files)
{
    const uint32_t offset = ByteOrder::Le32(Files.Index.data());
    return offset == 0xFFFFFFFFu ? 0 : ByteOrder::Le32(Files.Index.data() + 4) / 7;
}

const TMapSize OneBlockMap{8, 8};
const auto Decoration = [](uint16_t Id) { return Id >= 0x0CCA && Id <= 0x0D03; };
const auto Fine = [](int, int) { return std::string(); };

} // namespace

TEST(StaticsMerge, ABlockAtOffsetZeroIsEmptyAsClientsReadIt)
{
    // Clients ignore a block whose statics start at offset 0: kept or remade,
    // it stays without statics rather than showing a record that no client
    // showed before.
    const TStaticsFiles existing = OneBlock(0, {0x0064});
    for (const uint8_t remade : {0, 1}) {
        TStaticsMergeReport report;
        const TStaticsFiles merged = MergeStatics(OneBlockMap, {remade}, &existing, nullptr, Decoration, Fine, report);
        EXPECT_EQ(Count(merged), 0u) << int(remade);
        EXPECT_EQ(report.Kept, 0u);
    }
    // The same record one further on is a user's static, kept.
    const TStaticsFiles moved = OneBlock(7, {0x0064});
    TStaticsMergeReport report;
    EXPECT_EQ(Count(MergeStatics(OneBlockMap, {1}, &moved, nullptr, Decoration, Fine, report)), 1u);
    EXPECT_EQ(report.Kept, 1u);
}

TEST(StaticsMerge, KeptStaticsFillingABlockAreWarnedAbout)
{
    struct TCase
    {
        size_t Kept, New;
        uint32_t Written;
        std::string Line; // empty: no warning
    };
    const std::vector<TCase> cases = {
        {1000, 9, 1009, ""},
        {1020, 9, 1024, "block 0,0: 1020 kept statics leave room for 4 of its 9 new ones"},
        {1024, 9, 1024, "block 0,0: 1024 kept statics leave room for 0 of its 9 new ones"},
        // More than a client reads already: all kept (they are the user's),
        // and said so.
        {1100, 9, 1100, "block 0,0: 1100 kept statics, more than the 1024 a client reads"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Kept);
        const TStaticsFiles existing = OneBlock(7, std::vector<uint16_t>(c.Kept, 0x0064));
        const TStaticsFiles made = OneBlock(7, std::vector<uint16_t>(c.New, 0x0CCD));
        TStaticsMergeReport report;
        const TStaticsFiles merged = MergeStatics(OneBlockMap, {1}, &existing, &made, Decoration, Fine, report);
        EXPECT_EQ(Count(merged), c.Written);
        EXPECT_EQ(report.Kept, c.Kept);
        EXPECT_EQ(report.Added, c.Written - c.Kept < c.New ? c.Written - c.Kept : c.New);
        EXPECT_EQ(report.FullBlocks, c.Line.empty() ? std::vector<std::string>() : std::vector<std::string>{c.Line});
    }
}
