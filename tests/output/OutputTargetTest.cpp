// Outputs that are inputs or each other: found by the files' identities, not
// by how their names are spelled.
#include "OutputTarget.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using TestSupport::TTempDir;
using TestSupport::WriteFile;

class TOutputTargetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFile(Dir.File("world.bmp"), "picture");
        WriteFile(Dir.File("Tiles.ini"), "[VOID]\n580=\n");
        fs::create_directory(Dir.File("sub"));
        Previous = fs::current_path();
        fs::current_path(Dir.Path());
    }
    void TearDown() override { fs::current_path(Previous); }

    std::vector<TRunFile> Inputs() const
    {
        return {{Dir.File("world.bmp"), "the picture"}, {Dir.File("Tiles.ini"), "the tile configuration"}};
    }

    // False where the system cannot make symbolic links (Windows without the
    // right, Wine); the test then skips what needs them.
    static bool MakeSymlink(const fs::path &Target, const fs::path &Link)
    {
        std::error_code error;
        fs::create_symlink(Target, Link, error);
        return !error;
    }

    TTempDir Dir;
    fs::path Previous;
};

TEST_F(TOutputTargetTest, OutputsThatAreInputsUnderAnyNameAreFound)
{
    const bool symlinks = MakeSymlink(Dir.File("world.bmp"), Dir.File("link.bmp"));
    fs::create_hard_link(Dir.File("Tiles.ini"), Dir.File("hard.ini"));
    struct TCase
    {
        const char *Name;
        std::string Output;
        const char *InputRole;
    };
    const std::vector<TCase> cases = {
        {"same spelling", Dir.File("world.bmp"), "the picture"},
        {"relative name", "world.bmp", "the picture"},
        {"dot and dot-dot", "./sub/../world.bmp", "the picture"},
        {"doubled slashes", Dir.Path() + "//world.bmp", "the picture"},
        {"symbolic link", "link.bmp", "the picture"},
        {"hard link", "hard.ini", "the tile configuration"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Output == "link.bmp" && !symlinks)
            continue;
        const auto clash = FindFileClash(Inputs(), {{c.Output, "the map file"}});
        ASSERT_TRUE(clash.has_value());
        EXPECT_NE(clash->find("the map file " + c.Output), std::string::npos) << *clash;
        EXPECT_NE(clash->find(c.InputRole), std::string::npos) << *clash;
    }
    if (!symlinks)
        GTEST_SKIP() << "no symbolic links here: the case of a link was not checked";
}

TEST_F(TOutputTargetTest, TwoOutputsOnOneFileAreFoundWhetherOrNotItExists)
{
    // Neither exists yet: the same entry of the same folder all the same.
    auto clash = FindFileClash(Inputs(), {{"pv.mul", "the map file"}, {Dir.File("sub/../pv.mul"), "the preview"}});
    ASSERT_TRUE(clash.has_value());
    EXPECT_NE(clash->find("the preview"), std::string::npos);
    EXPECT_NE(clash->find("two outputs"), std::string::npos);

    WriteFile(Dir.File("old.mul"), "old map");
    clash = FindFileClash({}, {{"old.mul", "the map file"}, {Dir.File("old.mul"), "the preview"}});
    EXPECT_TRUE(clash.has_value());

    // Names of a file not made yet that differ in case: one file where the
    // file system ignores case (Windows), two elsewhere.
#ifdef _WIN32
    constexpr bool oneFile = true;
#else
    constexpr bool oneFile = false;
#endif
    EXPECT_EQ(FindFileClash({}, {{"NEW.MUL", "the map file"}, {"new.mul", "the preview"}}).has_value(), oneFile);
    EXPECT_EQ(IsSameFile(Dir.File("sub/x.mul"), Dir.File("SUB/X.mul")), oneFile);
}

TEST_F(TOutputTargetTest, DistinctFilesPass)
{
    WriteFile(Dir.File("map0.mul"), "old map");
    const bool symlinks = MakeSymlink(Dir.Path(), Dir.File("again"));
    EXPECT_FALSE(FindFileClash(Inputs(), {{"map0.mul", "the map file"}, {"preview.png", "the preview"}}));
    EXPECT_FALSE(FindFileClash(Inputs(), {{"sub/world.bmp", "the map file"}}));
    // Names that differ only in case are one file where the file system
    // ignores case (Windows), and two files where it does not.
    EXPECT_EQ(FindFileClash(Inputs(), {{"WORLD.bmp", "the map file"}}).has_value(), fs::exists("WORLD.bmp"));
    EXPECT_FALSE(IsSameFile("sub/new.mul", "new.mul"));
    if (!symlinks)
        GTEST_SKIP() << "no symbolic links here: the folder reached through one is not checked";
    EXPECT_TRUE(IsSameFile("again/world.bmp", "world.bmp"));
    EXPECT_TRUE(IsSameFile("again/new.mul", "new.mul")); // neither exists
    EXPECT_FALSE(IsSameFile("again/new.mul", "sub/new.mul"));
}

} // namespace
