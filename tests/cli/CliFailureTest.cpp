// Failures of the command line: each has its exit status and a message that
// names the file and the cause; an existing map file stays as it was and no
// temporary file is left behind.
#include "CliProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using TestSupport::ReadFile;
using TestSupport::TTempDir;
using TestSupport::WriteFile;

namespace {

// The bundled Tiles.ini with one more key in the [GRASS] tile list.
std::string TilesWithGrassKey(const std::string &key)
{
    std::string text = ReadFile(TestSupport::BundledTilesPath());
    const size_t section = text.find("[GRASS]");
    if (section == std::string::npos)
        throw std::runtime_error("the bundled Tiles.ini has no [GRASS] section");
    const size_t lineEnd = text.find('\n', section);
    text.insert(lineEnd + 1, key + "=\n");
    return text;
}

struct TFailureCase
{
    const char *Name;
    // Prepares the folder and returns the arguments.
    std::function<std::vector<std::string>(const TTempDir &)> Arguments;
    int ExitCode;
    std::vector<std::string> Messages; // parts of standard error; "DIR" stands for the folder
    std::string MapFile = "map0.mul";  // the map file that must stay as it was
};

} // namespace

TEST(CliFailures, EachFailureHasItsStatusAndMessageAndLeavesTheMapFile)
{
    const std::vector<TFailureCase> cases = {
        {"missing image",
         [](const TTempDir &d) { return std::vector<std::string>{"-o", d.File("map0.mul"), d.File("lost.bmp")}; },
         2, {"DIR/lost.bmp", "does not exist"}},
        {"not an image",
         [](const TTempDir &d) {
             WriteFile(d.File("notes.bmp"), "these are notes, not a picture\n");
             return std::vector<std::string>{"-o", d.File("map0.mul"), d.File("notes.bmp")};
         },
         2, {"DIR/notes.bmp"}},
        {"image is a folder",
         [](const TTempDir &d) {
             std::filesystem::create_directory(d.File("pictures"));
             return std::vector<std::string>{"-o", d.File("map0.mul"), d.File("pictures")};
         },
         2, {"DIR/pictures"}},
        {"malformed tile list key",
         [](const TTempDir &d) {
             WriteFile(d.File("Tiles.ini"), TilesWithGrassKey("12a"));
             return std::vector<std::string>{"-t", d.File("Tiles.ini"), "-o", d.File("map0.mul"), d.File("world.bmp")};
         },
         3, {"'12a' is not a valid integer value", "DIR/Tiles.ini"}},
        {"named tile configuration missing",
         [](const TTempDir &d) {
             return std::vector<std::string>{"--tiles", d.File("Other.ini"), "-o", d.File("map0.mul"), d.File("world.bmp")};
         },
         3, {"DIR/Other.ini", "does not exist"}},
        {"named tile configuration is a folder",
         [](const TTempDir &d) {
             std::filesystem::create_directory(d.File("conf"));
             return std::vector<std::string>{"--tiles", d.File("conf"), "-o", d.File("map0.mul"), d.File("world.bmp")};
         },
         3, {"DIR/conf", "folder"}},
        {"output folder missing",
         [](const TTempDir &d) { return std::vector<std::string>{"-o", d.File("maps/map0.mul"), d.File("world.bmp")}; },
         4, {"DIR/maps/map0.mul", "does not exist"}},
        {"output is a folder",
         [](const TTempDir &d) {
             std::filesystem::create_directory(d.File("out"));
             return std::vector<std::string>{"-o", d.File("out"), d.File("world.bmp")};
         },
         4, {"DIR/out", "folder"}},
        {"output write-protected",
         [](const TTempDir &d) {
             WriteFile(d.File("locked.mul"), "a protected map");
             std::filesystem::permissions(d.File("locked.mul"), std::filesystem::perms::owner_read);
             return std::vector<std::string>{"-o", d.File("locked.mul"), d.File("world.bmp")};
         },
         4, {"DIR/locked.mul", "write-protected"}, "locked.mul"},
        // Outputs that are inputs, or each other, under any spelling: refused
        // before anything runs.
        {"map file is the picture",
         [](const TTempDir &d) { return std::vector<std::string>{"-o", "world.bmp", d.File("world.bmp")}; },
         1, {"the map file world.bmp is the picture ", "DIR/world.bmp: writing it would destroy"}, "world.bmp"},
        {"preview is the map file",
         [](const TTempDir &d) {
             return std::vector<std::string>{"--preview", "pv.mul", "-o", d.File("pv.mul"), d.File("world.bmp")};
         },
         1, {"the preview pv.mul is the map file ", "DIR/pv.mul: two outputs cannot share one file"}},
        {"preview is the picture",
         [](const TTempDir &d) { return std::vector<std::string>{"--preview", d.File("./world.bmp"), "world.bmp"}; },
         1, {"DIR/./world.bmp is the picture world.bmp"}, "world.bmp"},
        {"map file is the tile configuration",
         [](const TTempDir &d) {
             WriteFile(d.File("t.ini"), ReadFile(TestSupport::BundledTilesPath()));
             return std::vector<std::string>{"-t", "t.ini", "-o", d.File("t.ini"), d.File("world.bmp")};
         },
         1, {"is the tile configuration t.ini"}, "t.ini"},
        {"statics file is the picture",
         [](const TTempDir &d) {
             std::filesystem::copy_file(d.File("world.bmp"), d.File("staidx0.mul"));
             return std::vector<std::string>{"--statics", "-o", d.File("map0.mul"), "staidx0.mul"};
         },
         1, {"DIR/staidx0.mul is the picture staidx0.mul"}, "staidx0.mul"},
        {"map file is standard output",
         [](const TTempDir &d) { return std::vector<std::string>{"-o", "-", d.File("world.bmp")}; },
         1, {"cannot be written to standard output", "./-"}},
    };

    for (const TFailureCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        WriteFile(dir.File("map0.mul"), "an earlier map");
        TestSupport::SaveRedBmp(dir.File("world.bmp"), {{40, 40, 100}, {40, 100, 100}});
        const std::vector<std::string> arguments = c.Arguments(dir);
        const std::string oldMap = ReadFile(dir.File(c.MapFile));
        const auto before = TestSupport::ListDir(dir.Path());

        const auto result = CliProcess::RunCli(arguments, CliProcess::TOptions().In(dir.Path()));
        EXPECT_EQ(result.ExitCode, c.ExitCode) << result.Err;
        for (std::string message : c.Messages) {
            if (message.starts_with("DIR"))
                message.replace(0, 3, dir.Path());
            EXPECT_NE(result.Err.find(message), std::string::npos) << "wanted: " << message << "\ngot: " << result.Err;
        }
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(ReadFile(dir.File(c.MapFile)), oldMap);
        EXPECT_EQ(TestSupport::ListDir(dir.Path()), before);
    }
}
