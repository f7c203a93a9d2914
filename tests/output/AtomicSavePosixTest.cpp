// The atomic save on POSIX systems: nodes that are not files (pipes, sockets,
// devices), full disks (a small mounted file system), the file size limit of
// ulimit -f, and saves killed at random moments. Built only where these exist.
#include "AtomicSave.h"
#include "AtomicSaveTestSupport.h"
#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "MapReader.h"
#include "MapWriter.h"
#include "Random.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

using namespace TestSupport;
using namespace AtomicSaveTestSupport;
namespace fs = std::filesystem;

namespace {

// A file system of Bytes bytes in Dir (a tmpfs; needs the right to mount).
class TSmallDisk
{
public:
    TSmallDisk(const std::string &Dir, size_t Bytes) : Dir(Dir)
    {
        const std::string options = "size=" + std::to_string(Bytes);
        Mounted = ::mount("tmpfs", Dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TSmallDisk()
    {
        if (Mounted)
            ::umount(Dir.c_str());
    }
    bool Mounted = false;

private:
    std::string Dir;
};

// Runs Child in a process of its own; its exit status, or 128 + the signal.
int InChild(const std::function<int()> &Child)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(Child());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(AtomicSave, NodesThatAreNotRegularFilesAreLeftAlone)
{
    TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.File("sock");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    std::vector<std::string> nodes{"pipe", "sock"};
    // A device node like /dev/null, where this process may make one.
    if (::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        nodes.push_back("null");
    fs::create_symlink(dir.File("pipe"), dir.File("link-to-pipe"));
    nodes.push_back("link-to-pipe");

    for (const std::string &node : nodes) {
        SCOPED_TRACE(node);
        const auto before = fs::status(dir.File(node)).type();
        const std::string message = MessageOf([&] { TAtomicSave save({dir.File(node)}); });
        EXPECT_NE(message.find(dir.File(node) + ": this is not a regular file"), std::string::npos) << message;
        EXPECT_EQ(fs::status(dir.File(node)).type(), before);
        EXPECT_EQ(TargetProblem(dir.File(node)), message);
    }
    EXPECT_NE(TargetProblem("/dev/null").find("/dev/null: this is not a regular file"), std::string::npos);
    ::close(sock);
    std::vector<std::string> expected = nodes;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListDir(dir.Path()), expected);
}

TEST(AtomicSave, AFullDiskIsSaidToBeFullAndChangesNothing)
{
    TTempDir dir;
    TSmallDisk disk(dir.Path(), 256 * 1024);
    if (!disk.Mounted)
        GTEST_SKIP() << "no right to mount a small file system here";
    WriteFile(dir.File("map0.mul"), "an earlier map");
    const std::string big(1024 * 1024, 'x');
    const std::string message = MessageOf([&] { Save({dir.File("map0.mul")}, {big}); });
    EXPECT_EQ(message, dir.File("map0.mul") + ": the disk is full");
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), "an earlier map");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul"}));

    // The preview picture goes through the same save.
    // Noise, so that the PNG cannot shrink below the disk's size.
    TPreviewPicture noise{1024, 1024, std::vector<TPreviewColor>(1024 * 1024)};
    TPcg32 random;
    random.Seed(1, 1);
    for (TPreviewColor &pixel : noise.Pixels)
        pixel = random.Next32() | 0xFF000000u;
    const std::string picture = dir.File("preview.png");
    const std::string previewMessage = MessageOf([&] { SaveMapPreview(noise, picture); });
    EXPECT_EQ(previewMessage, picture + ": the disk is full");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul"}));
}

// Under ulimit -f a write beyond the limit raises SIGXFSZ, which would end
// the process and leave its temporary file behind.
TEST(AtomicSave, TheFileSizeLimitIsSaidAndLeavesNothing)
{
    TTempDir dir;
    WriteFile(dir.File("map0.mul"), "an earlier map");
    const int status = InChild([&] {
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message =
            MessageOf([&] { Save({dir.File("map0.mul"), dir.File("staidx0.mul")}, {std::string(1 << 20, 'x'), ""}); });
        return message == dir.File("map0.mul") + ": the file is larger than the system allows" ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "128 + 25 is the end by SIGXFSZ";
    EXPECT_EQ(ReadFile(dir.File("map0.mul")), "an earlier map");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul"}));
}

// Saves of three files killed at random moments: after the next run's
// recovery the folder holds the three targets and nothing else, all three of
// one generation. MORVANE_KILL_ROUNDS and MORVANE_KILL_BYTES make it a
// measurement of the leftovers (printed) with more rounds or larger files.
TEST(AtomicSave, SavesKilledAtRandomMomentsAreFinishedOrUndone)
{
    const char *roundsText = std::getenv("MORVANE_KILL_ROUNDS");
    const char *bytesText = std::getenv("MORVANE_KILL_BYTES");
    const int rounds = roundsText ? std::atoi(roundsText) : 12;
    const size_t bytes = bytesText ? size_t(std::atoll(bytesText)) : 1 << 20;
    TTempDir dir;
    const std::vector<std::string> targets{dir.File("map0.mul"), dir.File("staidx0.mul"), dir.File("statics0.mul")};
    const auto contents = [&](uint32_t generation) {
        std::vector<std::string> files;
        for (size_t i = 0; i < targets.size(); ++i) {
            std::string text(bytes, char('a' + generation % 26));
            std::memcpy(text.data(), &generation, sizeof generation);
            files.push_back(text);
        }
        return files;
    };
    Save(targets, contents(0));
    std::mt19937 random(12345);
    int roundsWithLeftovers = 0;
    uint32_t generation = 1;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (uint32_t g = generation;; g += 1000)
                Save(targets, contents(g));
        }
        generation += 1;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 400000));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        if (ListDir(dir.Path()).size() != targets.size())
            ++roundsWithLeftovers;
        RecoverInterruptedSaves(targets);
        ASSERT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul", "staidx0.mul", "statics0.mul"}));
        std::vector<uint32_t> generations;
        for (const std::string &target : targets) {
            const std::string text = ReadFile(target);
            ASSERT_EQ(text.size(), bytes);
            uint32_t g;
            std::memcpy(&g, text.data(), sizeof g);
            generations.push_back(g);
        }
        EXPECT_TRUE(std::all_of(generations.begin(), generations.end(), [&](uint32_t g) { return g == generations[0]; }))
            << generations[0] << " " << generations[1] << " " << generations[2];
    }
    std::printf("%d of %d killed saves left files beside the targets before the recovery, none after it\n",
                roundsWithLeftovers, rounds);
}

TEST(MapReader, APipeIsRefusedWithoutWaitingOnIt)
{
    // Opening a pipe for reading would wait for a writer.
    TTempDir dir;
    const std::string fifo = dir.File("map0.mul");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        TMapReader reader(fifo, TMapSize{64, 64});
        ADD_FAILURE() << "a pipe was read as a map";
    } catch (const EMapReadError &error) {
        EXPECT_NE(std::string(error.what()).find(fifo + ": this is not a file but a device, pipe or socket"),
                  std::string::npos)
            << error.what();
    }
}

TEST(MapSizes, AnOutputThatIsNoRegularFileIsRefusedAndKept)
{
    TTempDir dir;
    TTerrainImage model(BundledTilesPath());
    PaintGrid(model, {"GD"});
    ASSERT_EQ(::mkfifo(dir.File("map0.mul").c_str(), 0644), 0);
    try {
        WriteMapFile(model, dir.File("map0.mul"));
        ADD_FAILURE() << "wrote over a pipe";
    } catch (const EMapWriteError &error) {
        EXPECT_NE(std::string(error.what()).find(dir.File("map0.mul") + ": this is not a regular file"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("map0.mul")));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"map0.mul"}));
}

