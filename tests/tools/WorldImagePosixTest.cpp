// The saved world's picture where the name is no regular file: POSIX only
// (pipes and device nodes).
#include "TestSupport.h"
#include "WorldImage.h"
#include "WorldPainter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace TestSupport;

// A pipe or a device named as the picture is left alone, not replaced by a file.
TEST(WorldImage, DevicesAndPipesAreLeftAlone)
{
    TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    std::vector<std::string> nodes{"pipe"};
    if (::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        nodes.push_back("null");
    for (const std::string &node : nodes) {
        SCOPED_TRACE(node);
        try {
            SaveWorldBmp(PaintWorld(16, 16, 1), dir.File(node));
            ADD_FAILURE() << "saved";
        } catch (const EWorldSaveError &error) {
            EXPECT_NE(std::string(error.what()).find(dir.File(node) + ": this is not a regular file"),
                      std::string::npos)
                << error.what();
        }
        EXPECT_FALSE(std::filesystem::is_regular_file(dir.File(node)));
    }
}
