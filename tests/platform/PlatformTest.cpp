// The platform layer, on whichever system the tests run (Linux, or Windows
// under Wine): replacing files, files held open by others, read-only files,
// identity through hard links, locks, and folders named in other scripts.
#include "Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using Platform::TErrorKind;
using Platform::TFile;

namespace {

// A fresh folder below the system's temporary folder; its path as UTF-8.
class TFolder
{
public:
    TFolder()
    {
        std::random_device random;
        Path = (fs::temp_directory_path() / ("morvane-platform-" + std::to_string(random()))).string();
        fs::create_directories(Path);
    }
    ~TFolder()
    {
        std::error_code error;
        fs::remove_all(Path, error);
    }
    std::string File(const std::string &Name) const { return Path + "/" + Name; }
    std::string Path;
};

void Put(const std::string &Path, const std::string &Text)
{
    TFile file;
    ASSERT_FALSE(file.Open(Path, TFile::TOpen::Write)) << Path;
    ASSERT_FALSE(file.Write(Text.data(), Text.size()));
    ASSERT_FALSE(file.Flush());
    ASSERT_FALSE(file.Close());
}

std::string Get(const std::string &Path)
{
    std::string text;
    const Platform::TError error = Platform::ReadFile(Path, 1 << 20, text);
    return error ? "(" + Platform::Describe(error) + ")" : text;
}

Platform::TFileInfo Info(const std::string &Path)
{
    Platform::TFileInfo info;
    EXPECT_FALSE(Platform::Inspect(Path, info)) << Path;
    return info;
}

} // namespace

TEST(Platform, ReplacingAFileThatExistsTakesTheNewFileItself)
{
    TFolder folder;
    Put(folder.File("map0.mul"), "old map");
    Put(folder.File("new.tmp"), "new map");
    const Platform::TFileId moved = Info(folder.File("new.tmp")).Id;
    EXPECT_FALSE(Platform::Replace(folder.File("new.tmp"), folder.File("map0.mul")));
    EXPECT_EQ(Get(folder.File("map0.mul")), "new map");
    EXPECT_EQ(Info(folder.File("map0.mul")).Id, moved);
    EXPECT_EQ(Info(folder.File("new.tmp")).Type, Platform::TFileType::Missing);
}

// A client or server that has the map loaded holds it open without letting
// it be replaced or removed (as the C library's streams open files).
TEST(Platform, AFileThatAnotherProgramHoldsOpen)
{
    TFolder folder;
    Put(folder.File("map0.mul"), "old map");
    Put(folder.File("new.tmp"), "new map");
    std::ifstream held(fs::path(folder.File("map0.mul")), std::ios::binary);
    ASSERT_TRUE(held.is_open());
    const Platform::TError error = Platform::Replace(folder.File("new.tmp"), folder.File("map0.mul"));
#ifdef _WIN32
    EXPECT_EQ(error.Kind, TErrorKind::InUse);
    EXPECT_EQ(Platform::Message(folder.File("map0.mul"), error),
              folder.File("map0.mul") + " is in use by another program (close the client or the server)");
    EXPECT_EQ(Get(folder.File("map0.mul")), "old map");
#else
    // POSIX systems replace the name; the holder reads on in the earlier file.
    EXPECT_FALSE(error);
    EXPECT_EQ(Get(folder.File("map0.mul")), "new map");
    std::string seen;
    std::getline(held, seen);
    EXPECT_EQ(seen, "old map");
#endif
}

// The game's client maps its map files into memory; Windows then refuses to
// replace them with "access denied", which is the file being in use too.
TEST(Platform, AFileThatAnotherProgramHasMapped)
{
    TFolder folder;
    Put(folder.File("map0.mul"), "old map");
    Put(folder.File("new.tmp"), "new map");
    const Platform::TFileView view(folder.File("map0.mul"));
    const Platform::TError error = Platform::Replace(folder.File("new.tmp"), folder.File("map0.mul"));
#ifdef _WIN32
    EXPECT_EQ(error.Kind, TErrorKind::InUse);
    EXPECT_EQ(Get(folder.File("map0.mul")), "old map");
#else
    EXPECT_FALSE(error);
    EXPECT_EQ(Get(folder.File("map0.mul")), "new map");
#endif
    EXPECT_EQ(std::string(view.Bytes().begin(), view.Bytes().end()), "old map");
}

// A view reads the bytes it maps, from any offset and on two threads at
// once; a file another program cut short is an error, not a crash.
TEST(Platform, AFileViewReadsTheBytesItMaps)
{
    TFolder folder;
    std::string bytes(300001, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 + i / 977);
    Put(folder.File("map0.mul"), bytes);
    const Platform::TFileView view(folder.File("map0.mul"));
    ASSERT_EQ(view.Bytes().size(), bytes.size());
    // Chunks of 1000 bytes, the odd ones on a second thread.
    std::string read(bytes.size(), '\0');
    const auto readChunks = [&](size_t First) {
        Platform::TError failed;
        for (size_t at = First * 1000; at < read.size() && !failed; at += 2000)
            failed = view.ReadAt(at, read.data() + at, std::min<size_t>(1000, read.size() - at));
        return failed;
    };
    Platform::TError second;
    std::thread other([&] { second = readChunks(1); });
    const Platform::TError first = readChunks(0);
    other.join();
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_TRUE(read == bytes);
    EXPECT_TRUE(std::string(view.Bytes().begin(), view.Bytes().end()) == bytes);
#ifndef _WIN32
    // Windows refuses to shorten a mapped file.
    std::filesystem::resize_file(folder.File("map0.mul"), 1000);
    char out[10];
    EXPECT_FALSE(view.ReadAt(990, out, 10));
    EXPECT_EQ(std::string(out, 10), bytes.substr(990, 10));
    EXPECT_EQ(view.ReadAt(995, out, 10).Kind, TErrorKind::InputOutput);
    EXPECT_EQ(view.ReadAt(200000, out, 10).Kind, TErrorKind::InputOutput);
#endif
}

TEST(Platform, AReadOnlyFileIsSeenAsSuch)
{
    TFolder folder;
    Put(folder.File("locked.mul"), "protected");
    EXPECT_TRUE(Info(folder.File("locked.mul")).Writable);
    fs::permissions(fs::path(folder.File("locked.mul")), fs::perms::owner_read);
    EXPECT_FALSE(Info(folder.File("locked.mul")).Writable);
    TFile file;
    ASSERT_FALSE(file.Open(folder.File("locked.mul"), TFile::TOpen::ReadExisting));
    EXPECT_EQ(Get(folder.File("locked.mul")), "protected");
    file.Close();
    fs::permissions(fs::path(folder.File("locked.mul")), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(Info(folder.File("locked.mul")).Writable);
    // Without the owner's write bit SetPermissions makes a file read-only (on Windows by its attribute).
    ASSERT_FALSE(file.Open(folder.File("other.mul"), TFile::TOpen::CreateNew));
    EXPECT_FALSE(file.SetPermissions(0444));
    file.Close();
    EXPECT_FALSE(Info(folder.File("other.mul")).Writable);
    fs::permissions(fs::path(folder.File("other.mul")), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(Info(folder.File("other.mul")).Writable);
}

TEST(Platform, AHardLinkIsTheSameFileUnderASecondName)
{
    TFolder folder;
    Put(folder.File("map0.mul"), "map");
    Put(folder.File("other.mul"), "map");
    ASSERT_FALSE(Platform::HardLink(folder.File("map0.mul"), folder.File("backup.old")));
    const Platform::TFileInfo map = Info(folder.File("map0.mul"));
    const Platform::TFileInfo link = Info(folder.File("backup.old"));
    EXPECT_EQ(map.Id, link.Id);
    EXPECT_EQ(link.Links, 2u);
    EXPECT_FALSE(Info(folder.File("other.mul")).Id == map.Id); // same bytes, another file
    EXPECT_EQ(Platform::HardLink(folder.File("map0.mul"), folder.File("backup.old")).Kind, TErrorKind::Exists);
    EXPECT_FALSE(Platform::Remove(folder.File("backup.old")));
    EXPECT_EQ(Info(folder.File("map0.mul")).Links, 1u);
    EXPECT_EQ(Platform::Remove(folder.File("backup.old")).Kind, TErrorKind::NotFound);
}

TEST(Platform, WhatIsNoFileIsToldApart)
{
    TFolder folder;
    fs::create_directory(fs::path(folder.File("sub")));
    Put(folder.File("map0.mul"), "map");
    std::string text;
    struct TCase
    {
        const char *Name;
        Platform::TError Error;
        TErrorKind Kind;
    };
    TFile file;
    const std::vector<TCase> cases = {
        {"read a missing file", Platform::ReadFile(folder.File("none"), 10, text), TErrorKind::NotFound},
        {"read a folder", Platform::ReadFile(folder.File("sub"), 10, text), TErrorKind::IsFolder},
        {"write onto a folder", file.Open(folder.File("sub"), TFile::TOpen::Write), TErrorKind::IsFolder},
        {"create a name that is taken", file.Open(folder.File("map0.mul"), TFile::TOpen::CreateNew), TErrorKind::Exists},
        {"create in a missing folder", file.Open(folder.File("none/map0.mul"), TFile::TOpen::CreateNew),
         TErrorKind::NotFound},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(c.Error.Kind, c.Kind) << c.Name;
    EXPECT_EQ(Info(folder.File("sub")).Type, Platform::TFileType::Folder);
    EXPECT_EQ(Info(folder.File("none")).Type, Platform::TFileType::Missing);
    // A file larger than asked for reads one byte more, so that the caller sees it.
    EXPECT_FALSE(Platform::ReadFile(folder.File("map0.mul"), 2, text));
    EXPECT_EQ(text, "map");
    // Read in growing steps: every byte, at the steps' edges and beyond the limit.
    for (const size_t bytes : {size_t(0), size_t(65535), size_t(65536), size_t(65537), size_t(300001)}) {
        std::string written(bytes, '\0');
        for (size_t i = 0; i < bytes; ++i)
            written[i] = char(i * 31 + i / 977);
        std::ofstream(folder.File("steps"), std::ios::binary).write(written.data(), std::streamsize(bytes));
        EXPECT_FALSE(Platform::ReadFile(folder.File("steps"), 300000, text)) << bytes;
        EXPECT_TRUE(text == written.substr(0, 300001)) << bytes;
        EXPECT_FALSE(Platform::ReadFile(folder.File("steps"), 65536, text)) << bytes;
        EXPECT_TRUE(text == written.substr(0, 65537)) << bytes;
    }
}

TEST(Platform, ALockKeepsOthersOutUntilItIsLetGo)
{
    TFolder folder;
    TFile writer, other;
    ASSERT_FALSE(writer.Open(folder.File("save.tmp"), TFile::TOpen::CreateNew));
    ASSERT_FALSE(writer.TryLock());
    EXPECT_TRUE(writer.HasName());
    ASSERT_FALSE(other.Open(folder.File("save.tmp"), TFile::TOpen::ReadExisting));
    EXPECT_EQ(other.TryLock().Kind, TErrorKind::InUse);
    // The lock is beside the data: others still read the file.
    ASSERT_FALSE(writer.Write("abc", 3));
    EXPECT_EQ(Get(folder.File("save.tmp")), "abc");
    writer.Close();
    EXPECT_FALSE(other.TryLock());
}

TEST(Platform, AWriteAtAnOffsetLeavesTheAppendingWritesWhereTheyWere)
{
    TFolder folder;
    TFile file;
    ASSERT_FALSE(file.Open(folder.File("table.uop"), TFile::TOpen::CreateNew));
    ASSERT_FALSE(file.Write("abc", 3));
    ASSERT_FALSE(file.WriteAt(0, "X", 1));
    ASSERT_FALSE(file.Write("def", 3));
    ASSERT_FALSE(file.WriteAt(7, "Z", 1)); // beyond the end: a gap of zero bytes
    file.Close();
    EXPECT_EQ(Get(folder.File("table.uop")), std::string("Xbcdef\0Z", 8));
}

TEST(Platform, WritesAtOffsetsOnOtherThreadsLeaveTheAppendingWritesWhereTheyWere)
{
    // The map's writer and the thread writing ahead write at offsets into one
    // file while appending writes may go on: none may move another's place.
    TFolder folder;
    TFile file;
    ASSERT_FALSE(file.Open(folder.File("map0.mul"), TFile::TOpen::CreateNew));
    constexpr size_t Piece = 64, Pieces = 300;
    std::string expected(3 * Pieces * Piece, '\0');
    std::atomic<int> failures{0};
    const auto writeAt = [&](size_t Part) {
        for (size_t i = 0; i < Pieces / 2; ++i) {
            const size_t at = Pieces * Piece + (2 * i + Part) * 2 * Piece;
            const std::string bytes(2 * Piece, char('A' + (i + Part) % 26));
            failures += bool(file.WriteAt(at, bytes.data(), bytes.size()));
        }
    };
    for (size_t i = 0; i < Pieces; ++i)
        std::fill_n(expected.begin() + std::ptrdiff_t(i * Piece), Piece, char('a' + i % 26));
    for (size_t Part = 0; Part < 2; ++Part)
        for (size_t i = 0; i < Pieces / 2; ++i)
            std::fill_n(expected.begin() + std::ptrdiff_t(Pieces * Piece + (2 * i + Part) * 2 * Piece), 2 * Piece,
                        char('A' + (i + Part) % 26));
    std::thread first(writeAt, 0), second(writeAt, 1);
    for (size_t i = 0; i < Pieces; ++i) {
        const std::string bytes(Piece, char('a' + i % 26));
        failures += bool(file.Write(bytes.data(), bytes.size()));
    }
    first.join();
    second.join();
    file.Close();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(Get(folder.File("map0.mul")) == expected);
}

TEST(Platform, FoldersNamedInOtherScriptsWork)
{
    TFolder folder;
    const std::string name = "Karte \xC3\x96" "de \xE2\x80\x94 \xE5\x9C\xB0\xE5\x9B\xBE"; // Karte Öde — 地图
    std::error_code error;
    fs::create_directory(fs::path(folder.Path) / fs::path(std::u8string(name.begin(), name.end())), error);
    // Wine stores names in the locale's character set: under LANG=C it has
    // none for these letters, whoever asks.
    if (error)
        GTEST_SKIP() << "this system cannot store the name at all: " << error.message();
    const std::string inside = folder.File(name) + "/map0.mul";
    Put(inside, "old");
    Put(folder.File(name) + "/new.tmp", "new");
    EXPECT_FALSE(Platform::Replace(folder.File(name) + "/new.tmp", inside));
    EXPECT_EQ(Get(inside), "new");
    EXPECT_EQ(Platform::FolderEntries(folder.Path), (std::vector<std::string>{name}));
    EXPECT_EQ(Platform::FolderEntries(folder.File(name)), (std::vector<std::string>{"map0.mul"}));
    Platform::TFileView view(inside);
    EXPECT_EQ(std::string(view.Bytes().begin(), view.Bytes().end()), "new");
}

TEST(Platform, MessagesSayTheCauseInPlainWords)
{
    const std::vector<std::pair<TErrorKind, std::string>> cases = {
        {TErrorKind::DiskFull, "map0.mul: the disk is full"},
        {TErrorKind::TooLarge, "map0.mul: the file is larger than the system allows"},
        {TErrorKind::NameTooLong, "map0.mul: the name is too long"},
        {TErrorKind::Denied, "map0.mul: permission denied"},
        {TErrorKind::ReadOnlyDisk, "map0.mul: the disk is read-only"},
        {TErrorKind::InputOutput, "map0.mul: the disk reported an input/output error"},
        {TErrorKind::BadName, "map0.mul: the name holds a character that file names cannot have"},
        {TErrorKind::InUse, "map0.mul is in use by another program (close the client or the server)"},
    };
    for (const auto &[kind, text] : cases)
        EXPECT_EQ(Platform::Message("map0.mul", {kind, 0}), text);
}

TEST(Platform, TheExecutableIsFound)
{
    const std::string path = Platform::ExecutablePath();
    EXPECT_EQ(fs::path(path).stem().string(), "platform_tests") << path;
    EXPECT_EQ(Info(path).Type, Platform::TFileType::Regular);
}

TEST(Platform, LargeArraysAreZeroedWholeLargePages)
{
    EXPECT_EQ(Platform::AllocateLarge(0), nullptr);
    for (const size_t bytes : {size_t(1), (size_t(2) << 20) - 1, size_t(2) << 20, (size_t(5) << 20) + 123}) {
        uint8_t *block = static_cast<uint8_t *>(Platform::AllocateLarge(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        // Aligned to a page, and where there are large pages to the large
        // page, so that none of it lies in small pages.
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 4096, 0u) << bytes;
#ifndef _WIN32
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (uintptr_t(2) << 20), 0u) << bytes;
#endif
        size_t wrong = 0;
        for (size_t i = 0; i < bytes; ++i)
            wrong += block[i] != 0;
        for (size_t i = 0; i < bytes; ++i)
            block[i] = uint8_t(i * 13 + 5);
        for (size_t i = 0; i < bytes; ++i)
            wrong += block[i] != uint8_t(i * 13 + 5);
        EXPECT_EQ(wrong, 0u) << bytes;
        Platform::FreeLarge(block, bytes);
    }
    Platform::FreeLarge(nullptr, 0);
    // More than the address space holds: no memory, not a crash.
    EXPECT_EQ(Platform::AllocateLarge(SIZE_MAX - 100), nullptr);
}

TEST(Platform, MemoryAskedForInLargePagesKeepsItsZerosAndWhatIsWritten)
{
    // Blocks of any size and alignment, the request covering only whole
    // large pages inside them: fresh memory stays zero, written memory keeps
    // what was written (the request is advice, never a discard).
    EXPECT_NO_THROW(Platform::PreferLargePages(nullptr, 0));
    for (const size_t bytes : {size_t(100), size_t(3) << 20, (size_t(9) << 20) + 12345}) {
        uint8_t *block = static_cast<uint8_t *>(std::calloc(bytes, 1));
        ASSERT_NE(block, nullptr);
        Platform::PreferLargePages(block + 1, bytes - 1);
        size_t wrong = 0;
        for (size_t i = 0; i < bytes; ++i)
            wrong += block[i] != 0;
        for (size_t i = 0; i < bytes; ++i)
            block[i] = uint8_t(i * 7 + 1);
        Platform::PreferLargePages(block, bytes);
        for (size_t i = 0; i < bytes; ++i)
            wrong += block[i] != uint8_t(i * 7 + 1);
        EXPECT_EQ(wrong, 0u) << bytes;
        std::free(block);
    }
}
