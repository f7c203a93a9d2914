// Outputs of the command line that only POSIX systems have: pipes, sockets
// and a small mounted disk. Built only there.
#include "CliProcess.h"
#include "CliTestData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using CliTestData::RunIn;
using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;
namespace fs = std::filesystem;

TEST(CliOutputs, WhatIsNoRegularFileIsRefusedWithStatusFourAndKept)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    ASSERT_EQ(::mkfifo(dir.File("pipe.mul").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(dir.File("sock.mul").size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, dir.File("sock.mul").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const auto before = TestSupport::ListDir(dir.Path());
    for (const char *node : {"pipe.mul", "sock.mul"}) {
        const auto type = fs::status(dir.File(node)).type();
        const auto result = RunIn(dir, {"-q", "-o", dir.File(node), "world.bmp"});
        EXPECT_EQ(result.ExitCode, 4) << node;
        EXPECT_NE(result.Err.find(dir.File(node) + ": this is not a regular file"), std::string::npos) << result.Err;
        EXPECT_EQ(fs::status(dir.File(node)).type(), type) << node;
        // With the statics files next to a map file, the same for each of them.
        const auto statics = RunIn(dir, {"-q", "--statics", "-o", dir.File("map0.mul"), "world.bmp"});
        EXPECT_EQ(statics.ExitCode, 0) << statics.Err;
    }
    ::close(sock);
    ASSERT_EQ(::mkfifo(dir.File("staidx3.mul").c_str(), 0644), 0);
    const auto statics = RunIn(dir, {"-q", "--statics", "--facet", "3", "world.bmp"});
    EXPECT_EQ(statics.ExitCode, 4);
    EXPECT_NE(statics.Err.find("staidx3.mul: this is not a regular file"), std::string::npos) << statics.Err;
    EXPECT_FALSE(fs::exists(dir.File("map3.mul")));
    EXPECT_TRUE(fs::is_fifo(dir.File("staidx3.mul")));
    (void)before;
}

TEST(CliOutputs, NamesTooLongAndFullDisksAreSaidSoWithStatusFour)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    std::string deep = dir.Path();
    while (deep.size() < 5000)
        deep += "/" + std::string(200, 'f');
    for (const std::string &path : {dir.File(std::string(300, 'a') + ".mul"), deep + "/map0.mul"}) {
        const auto result = RunIn(dir, {"-q", "-o", path, "world.bmp"});
        EXPECT_EQ(result.ExitCode, 4);
        EXPECT_NE(result.Err.find(": the name is too long"), std::string::npos) << result.Err.substr(0, 200);
        EXPECT_EQ(result.Err.find("does not exist"), std::string::npos) << result.Err.substr(0, 200);
    }
    const auto preview = RunIn(dir, {"-q", "-o", "map0.mul", "--preview", dir.File(std::string(300, 'p') + ".png"),
                                   "world.bmp"});
    EXPECT_EQ(preview.ExitCode, 4);
    EXPECT_NE(preview.Err.find(": the name is too long"), std::string::npos) << preview.Err.substr(0, 200);
    EXPECT_FALSE(fs::exists(dir.File("map0.mul")));

    // A disk of one megabyte for a map of 77 megabytes.
    fs::create_directory(dir.File("small"));
    if (::mount("tmpfs", dir.File("small").c_str(), "tmpfs", 0, "size=1048576") != 0)
        GTEST_SKIP() << "no right to mount a small file system here";
    WriteFile(dir.File("small/map0.mul"), "an earlier map");
    const auto full = RunIn(dir, {"-q", "-o", dir.File("small/map0.mul"), "world.bmp"});
    EXPECT_EQ(ReadFile(dir.File("small/map0.mul")), "an earlier map");
    EXPECT_EQ(TestSupport::ListDir(dir.File("small")), (std::vector<std::string>{"map0.mul"}));
    ::umount(dir.File("small").c_str());
    EXPECT_EQ(full.ExitCode, 4);
    EXPECT_NE(full.Err.find(dir.File("small/map0.mul") + ": the disk is full"), std::string::npos) << full.Err;
}

// Every output is checked before anything runs: a preview that is a device or
// a pipe leaves the earlier map file as it was.
TEST(CliOutputs, APreviewThatIsNoRegularFileStopsTheRunBeforeTheMapIsTouched)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    WriteFile(dir.File("map0.mul"), "an earlier map");
    WriteFile(dir.File("staidx0.mul"), "earlier statics");
    ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0644), 0);
    for (const std::string &preview : {std::string("/dev/null"), dir.File("pipe.png")}) {
        SCOPED_TRACE(preview);
        const auto result = RunIn(dir, {"-q", "--statics", "-o", "map0.mul", "--preview", preview, "world.bmp"});
        EXPECT_EQ(result.ExitCode, 4);
        EXPECT_NE(result.Err.find("cannot write the preview: " + preview + ": this is not a regular file"),
                  std::string::npos)
            << result.Err;
        EXPECT_EQ(ReadFile(dir.File("map0.mul")), "an earlier map");
        EXPECT_EQ(ReadFile(dir.File("staidx0.mul")), "earlier statics");
        EXPECT_EQ(TestSupport::ListDir(dir.Path()),
                  (std::vector<std::string>{"map0.mul", "pipe.png", "staidx0.mul", "world.bmp"}));
    }
    EXPECT_TRUE(fs::is_fifo(dir.File("pipe.png")));
}

// A preview that fails once the map file is written (here a full disk) has
// status 6; the map file and the report are there. A heights picture is saved
// with the map: a full disk there leaves the earlier map, and says which file.
TEST(CliOutputs, APreviewThatFailsAfterTheMapHasStatusSix)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    fs::create_directory(dir.File("full"));
    if (::mount("tmpfs", dir.File("full").c_str(), "tmpfs", 0, "size=65536") != 0)
        GTEST_SKIP() << "no right to mount a small file system here";
    WriteFile(dir.File("full/filler"), std::string(65536, 'x'));
    const auto result = RunIn(dir, {"-q", "--report", "-o", "map0.mul", "--preview", dir.File("full/p.png"), "world.bmp"});
    const auto left = TestSupport::ListDir(dir.File("full"));
    ::umount(dir.File("full").c_str());
    EXPECT_EQ(result.ExitCode, 6);
    EXPECT_NE(result.Err.find("cannot write the preview: "), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("(the map file map0.mul was written)"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("Void tiles: "), std::string::npos) << result.Err;
    EXPECT_EQ(fs::file_size(dir.File("map0.mul")), 77070336u);
    EXPECT_EQ(left, (std::vector<std::string>{"filler"}));
}

TEST(CliOutputs, AHeightsPictureOnAFullDiskLeavesTheEarlierMapAndIsNamed)
{
    TTempDir dir;
    TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40}, {40, 100}});
    WriteFile(dir.File("map0.mul"), "an earlier map");
    fs::create_directory(dir.File("full"));
    if (::mount("tmpfs", dir.File("full").c_str(), "tmpfs", 0, "size=65536") != 0)
        GTEST_SKIP() << "no right to mount a small file system here";
    WriteFile(dir.File("full/filler"), std::string(65536, 'x'));
    const std::string heights = dir.File("full/h.png");
    const auto result = RunIn(dir, {"-q", "-o", "map0.mul", "--heights-out", heights, "world.bmp"});
    const auto left = TestSupport::ListDir(dir.File("full"));
    ::umount(dir.File("full").c_str());
    EXPECT_EQ(result.ExitCode, 4);
    EXPECT_EQ(result.Err, "morvane-cli: cannot write the heights picture: " + heights + ": the disk is full\n");
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), "an earlier map");
    EXPECT_EQ(left, (std::vector<std::string>{"filler"}));
    EXPECT_EQ(TestSupport::ListDir(dir.Path()), (std::vector<std::string>{"full", "map0.mul", "world.bmp"}));
}
