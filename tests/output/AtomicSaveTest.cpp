// The atomic save: all files of a save or none, nodes that are not regular
// files left alone, and failures that say what went wrong.
#include "AtomicSave.h"
#include "MapPreview.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

std::string MessageOf(const std::function<void()> &Action)
{
    try {
        Action();
    } catch (const std::exception &error) {
        return error.what();
    }
    return "(no failure)";
}

void Save(const std::vector<std::string> &Targets, const std::vector<std::string> &Contents)
{
    TAtomicSave save(Targets);
    for (size_t i = 0; i < Contents.size(); ++i)
        save.Write(i, Contents[i].data(), Contents[i].size());
    save.Commit();
}

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

} // namespace

TEST(AtomicSave, WritesAllFilesTogether)
{
    TTempDir dir;
    WriteFile(dir.File("a"), "old a");
    Save({dir.File("a"), dir.File("b")}, {"new a", "new b"});
    EXPECT_EQ(ReadFile(dir.File("a")), "new a");
    EXPECT_EQ(ReadFile(dir.File("b")), "new b");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a", "b"}));
}

TEST(AtomicSave, WhenOneFileCannotBePutInPlaceNoneIs)
{
    TTempDir dir;
    WriteFile(dir.File("a"), "old a");
    WriteFile(dir.File("b"), "old b");
    {
        TAtomicSave save({dir.File("a"), dir.File("b"), dir.File("c")});
        for (size_t i = 0; i < 3; ++i)
            save.Write(i, "new", 3);
        // Something takes the third name while the files are written: a folder
        // with a file in it cannot be replaced by a file.
        fs::create_directory(dir.File("c"));
        WriteFile(dir.File("c/inside"), "x");
        const std::string message = MessageOf([&] { save.Commit(); });
        EXPECT_NE(message.find(dir.File("c") + ": "), std::string::npos) << message;
    }
    EXPECT_EQ(ReadFile(dir.File("a")), "old a");
    EXPECT_EQ(ReadFile(dir.File("b")), "old b");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(AtomicSave, AnUncommittedSaveLeavesNoTrace)
{
    TTempDir dir;
    WriteFile(dir.File("a"), "old a");
    {
        TAtomicSave save({dir.File("a"), dir.File("b")});
        save.Write(0, "new", 3);
    }
    TAtomicSave cancelled({dir.File("a")});
    cancelled.Write(0, "new", 3);
    cancelled.Cancel();
    EXPECT_EQ(ReadFile(dir.File("a")), "old a");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a"}));
}

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
    ::close(sock);
    std::vector<std::string> expected = nodes;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListDir(dir.Path()), expected);
}

TEST(AtomicSave, ALinkIsFollowedAndTheFilesPermissionsKept)
{
    TTempDir dir;
    WriteFile(dir.File("real.mul"), "old");
    ::chmod(dir.File("real.mul").c_str(), 0640);
    fs::create_symlink("real.mul", dir.File("link.mul"));
    Save({dir.File("link.mul")}, {"new"});
    EXPECT_TRUE(fs::is_symlink(dir.File("link.mul")));
    EXPECT_EQ(ReadFile(dir.File("real.mul")), "new");
    struct stat info{};
    ASSERT_EQ(::stat(dir.File("real.mul").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(AtomicSave, NamesTooLongAreSaidToBeTooLong)
{
    TTempDir dir;
    const std::string longName = dir.File(std::string(300, 'a') + ".mul");
    std::string longPath = dir.Path();
    while (longPath.size() < 5000)
        longPath += "/" + std::string(200, 'f');
    longPath += "/map0.mul";
    for (const std::string &path : {longName, longPath}) {
        const std::string message = MessageOf([&] { TAtomicSave save({path}); });
        EXPECT_NE(message.find(": the name is too long"), std::string::npos) << message.substr(0, 300);
        EXPECT_EQ(message.find("does not exist"), std::string::npos) << message.substr(0, 300);
        EXPECT_EQ(TargetProblem(path), message);
    }
    EXPECT_TRUE(ListDir(dir.Path()).empty());
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
