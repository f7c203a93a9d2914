#include "Checksums.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Checksums, HashLittle2GivesLookup3sPublishedValuesAndTheEntryNameCheck)
{
    const struct
    {
        const char *Name;
        uint64_t Hash; // (b << 32) | c
    } cases[] = {
        // lookup3.c's own self-test: hashlittle2("", 0, 0, 0) and the "Four score" line.
        {"", 0xDEADBEEFDEADBEEFull},
        {"Four score and seven years ago", 0xCE7226E617770551ull},
        // The name of the first entry of map0LegacyMUL.uop, as the clients hash it.
        {"build/map0legacymul/00000000.dat", 0xDBB7AFA433A3764Bull},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HashLittle2(c.Name), c.Hash) << c.Name;
}

TEST(Checksums, Adler32OfKnownDataWholeAndInPieces)
{
    TAdler32 word;
    word.Add("Wikipedia", 9);
    EXPECT_EQ(word.Value(), 0x11E60398u);
    EXPECT_EQ(TAdler32().Value(), 1u);

    // Long runs of large bytes: the sums must be reduced before they overflow.
    std::vector<uint8_t> ones(20000, 0xFF);
    TAdler32 full;
    full.Add(ones.data(), ones.size());
    EXPECT_EQ(full.Value(), 0x9F51D664u);

    std::vector<uint8_t> data(100000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 % 251);
    for (size_t piece : {size_t(1), size_t(196), size_t(5552), size_t(7000), data.size()}) {
        TAdler32 adler;
        for (size_t at = 0; at < data.size(); at += piece)
            adler.Add(data.data() + at, std::min(piece, data.size() - at));
        EXPECT_EQ(adler.Value(), 0x437BC42Eu) << piece;
    }
}
