#include "CliTestData.h"

#include "TestSupport.h"

#include <fstream>
#include <random>

namespace CliTestData {

void SaveTerrainPatches(const std::string &Path, int Width, int Height)
{
    const uint8_t patchReds[] = {DirtRed, GrassRed, DesertRed};
    std::mt19937 random(3); // the raw output of mt19937 is the same everywhere
    std::vector<std::vector<uint8_t>> patches(size_t(Height + 1) / 2, std::vector<uint8_t>(size_t(Width + 1) / 2, 0));
    for (auto &row : patches)
        for (auto &red : row)
            red = patchReds[random() % 3];

    std::vector<std::vector<uint8_t>> reds(size_t(Height), std::vector<uint8_t>(size_t(Width), 0));
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const bool lake = x >= Width / 4 && x < Width / 2 && y >= Height / 4 && y < Height / 2;
            reds[size_t(y)][size_t(x)] = lake ? WaterRed : patches[size_t(y / 2)][size_t(x / 2)];
        }
    TestSupport::SaveRedBmp(Path, reds);
}

bool SameBytes(const std::string &A, const std::string &B, std::string *Difference)
{
    std::ifstream a(A, std::ios::binary), b(B, std::ios::binary);
    const auto say = [&](const std::string &text) {
        if (Difference)
            *Difference = text;
        return false;
    };
    if (!a || !b)
        return say("cannot open " + std::string(!a ? A : B));
    std::vector<char> bufferA(1 << 20), bufferB(1 << 20);
    for (uint64_t offset = 0;; offset += uint64_t(a.gcount())) {
        a.read(bufferA.data(), std::streamsize(bufferA.size()));
        b.read(bufferB.data(), std::streamsize(bufferB.size()));
        if (a.gcount() != b.gcount())
            return say("the files differ in length");
        for (std::streamsize i = 0; i < a.gcount(); ++i)
            if (bufferA[size_t(i)] != bufferB[size_t(i)])
                return say("the files differ at byte " + std::to_string(offset + uint64_t(i)));
        if (a.gcount() == 0)
            return true;
    }
}

std::string Lines(const std::vector<std::string> &Lines)
{
    std::string text;
    for (const std::string &line : Lines)
        text += line + "\n";
    return text;
}

CliProcess::TResult RunIn(const std::string &Dir, const std::vector<std::string> &Arguments)
{
    return CliProcess::RunCli(Arguments, CliProcess::TOptions().In(Dir));
}

} // namespace CliTestData
