// The INI reading on POSIX systems: a pipe and a device named like a
// configuration file are refused at once. Built only where these exist.
#include "IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace TestSupport;

TEST(IniFile, DevicesPipesAndFoldersAreRefusedWithoutWaiting)
{
    TTempDir dir;
    const std::string fifo = dir.File("pipe.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {std::string("/dev/zero"), fifo, dir.Path()}) {
        TIniFile ini(path); // must return at once: nothing writes to the pipe
        EXPECT_TRUE(ini.Exists()) << path;
        EXPECT_FALSE(ini.GetProblem().empty()) << path;
        EXPECT_TRUE(ini.ReadSection("GRASS").empty()) << path;
    }
    EXPECT_NE(TIniFile(dir.Path()).GetProblem().find("folder"), std::string::npos);
    EXPECT_NE(TIniFile(fifo).GetProblem().find("pipe"), std::string::npos);
    EXPECT_EQ(TIniFile(dir.File("missing.ini")).GetProblem(), "");
}
