// File names in any language: the command line gets its arguments as UTF-8 on
// every system (on Windows from the wide command line, whatever the code page;
// CI runs this under Wine in the C locale) and writes, finds and names files
// by them.
#include "CliProcess.h"
#include "CliTestData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using TestSupport::TTempDir;
namespace fs = std::filesystem;

namespace {

// Latin letters beyond ASCII, Polish, Greek and Japanese (three bytes each in UTF-8).
const std::u8string FolderName = u8"Karten Ærø Łódź Ωμέγα 東京";

std::string Utf8(const std::u8string &text) { return std::string(text.begin(), text.end()); }

// Opened by the path object, so the name reaches the system in its own wide form.
std::string ReadWhole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

} // namespace

TEST(CliUnicode, WritesIntoAFolderNamedInOtherAlphabets)
{
    TTempDir dir;
    const std::string picture = dir.File("world.bmp");
    CliTestData::SaveTerrainPatches(picture, 24, 16);
    const fs::path folder = fs::path(dir.Path()) / fs::path(FolderName);
    ASSERT_TRUE(fs::create_directory(folder));

    const std::string map = Utf8((fs::path(dir.Path()) / fs::path(FolderName) / "map0.mul").generic_u8string());
    const auto result = CliProcess::RunCli({"-q", "--seed", "3", "--size", "64x64", "--statics", "-o", map, picture});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto reference = CliProcess::RunCli({"-q", "--seed", "3", "--size", "64x64", "-o", dir.File("plain.mul"), picture});
    ASSERT_EQ(reference.ExitCode, 0) << reference.Err;

    // The files are in the folder of that name, the map the same as under a plain name.
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(Utf8(entry.path().filename().u8string()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"map0.mul", "staidx0.mul", "statics0.mul"}));
    const std::string written = ReadWhole(folder / "map0.mul");
    EXPECT_EQ(written.size(), size_t((64 / 8) * (64 / 8) * 196)); // 196 bytes per block of 8 x 8 cells
    EXPECT_TRUE(written == ReadWhole(fs::path(dir.File("plain.mul")))) << "the map differs from the one under a plain name";
}

TEST(CliUnicode, AMissingPictureIsNamedAsGiven)
{
    TTempDir dir;
    const fs::path folder = fs::path(dir.Path()) / fs::path(FolderName);
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string picture = Utf8((folder / fs::path(u8"wêreld.bmp")).generic_u8string());

    const auto result = CliProcess::RunCli({"-q", "-o", dir.File("map0.mul"), picture});
    EXPECT_EQ(result.ExitCode, 2) << result.Err;
    // Messages are UTF-8 when they do not go to a console.
    EXPECT_NE(result.Err.find(Utf8(FolderName)), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find(Utf8(u8"wêreld.bmp")), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(dir.File("map0.mul")));
}
