// The atomic save: all files of a save or none, the earlier files never lost
// (also without hard links, and after a kill), and failures that say what
// went wrong. Nodes that are not files and full disks: AtomicSavePosixTest.
#include "AtomicSave.h"
#include "AtomicSaveTestSupport.h"
#include "Platform.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace TestSupport;
using namespace AtomicSaveTestSupport;
namespace fs = std::filesystem;
using Platform::TErrorKind;

namespace {

// Makes operations fail as a test says: Rules maps "operation" (or
// "operation path") to the error and how many times it is to happen.
class TFaults
{
public:
    struct TRule
    {
        std::string Operation;
        std::string Path; // empty: any path
        TErrorKind Kind;
        int Times = 1;
        int Skip = 0; // calls let through first
    };
    explicit TFaults(std::vector<TRule> Rules_) : Rules(std::move(Rules_))
    {
        Platform::SetFaultHook([this](const std::string &Operation, const std::string &Path) {
            Calls.push_back(Operation + " " + fs::path(Path).filename().string());
            for (TRule &rule : Rules) {
                if (rule.Operation != Operation || (!rule.Path.empty() && rule.Path != Path))
                    continue;
                if (rule.Skip > 0) {
                    --rule.Skip;
                    continue;
                }
                if (rule.Times > 0) {
                    --rule.Times;
                    return Platform::TError{rule.Kind, 0};
                }
            }
            return Platform::TError{};
        });
    }
    ~TFaults() { Platform::SetFaultHook(nullptr); }
    std::vector<std::string> Calls;

private:
    std::vector<TRule> Rules;
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

// Map makers save to FAT sticks and network shares, which have no hard links:
// the earlier file is then renamed aside, and put back when a later file
// cannot be put in place.
TEST(AtomicSave, EarlierFilesAreNeverLostWhenARenameFails)
{
    struct TCase
    {
        const char *Name;
        std::vector<TFaults::TRule> Rules;
        std::vector<std::string> Earlier; // "" where the target does not exist
        std::string Message;              // empty: the save succeeds
    };
    TTempDir names;
    const auto file = [&](const char *Name) { return names.File(Name); };
    const std::vector<TCase> cases = {
        {"no hard links, the second file cannot be placed",
         {{"link", "", TErrorKind::Denied, 99}, {"replace", file("b"), TErrorKind::InputOutput}},
         {"old a", "old b"},
         file("b") + ": the disk reported an input/output error"},
        {"hard links, the second file cannot be placed",
         {{"replace", file("b"), TErrorKind::InputOutput}},
         {"old a", "old b"},
         file("b") + ": the disk reported an input/output error"},
        {"a new first file is removed again",
         {{"replace", file("b"), TErrorKind::InputOutput}},
         {"", "old b"},
         file("b") + ": the disk reported an input/output error"},
        {"no hard links and nothing can be renamed aside",
         {{"link", "", TErrorKind::Denied, 99}, {"replace", "", TErrorKind::Denied, 1}},
         {"old a", "old b"},
         file("a") + ": the earlier file cannot be kept while the new one is put in place (permission denied)"},
        {"the first file cannot be put back at once: the journal finishes the undo",
         {{"link", "", TErrorKind::Denied, 99},
          {"replace", file("b"), TErrorKind::InputOutput},
          {"replace", file("a"), TErrorKind::InputOutput, 1, 1}},
         {"old a", "old b"},
         file("b") + ": the disk reported an input/output error; the next run puts the earlier files back"},
        {"no hard links, nothing else fails", {{"link", "", TErrorKind::NotSupported, 99}}, {"old a", "old b"}, ""},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        for (const auto &entry : fs::directory_iterator(names.Path()))
            fs::remove_all(entry.path());
        std::vector<std::string> existing;
        for (size_t i = 0; i < 2; ++i)
            if (!c.Earlier[i].empty()) {
                WriteFile(file(i == 0 ? "a" : "b"), c.Earlier[i]);
                existing.push_back(i == 0 ? "a" : "b");
            }
        std::string message;
        {
            TFaults faults(c.Rules);
            message = MessageOf([&] { Save({file("a"), file("b")}, {"new a", "new b"}); });
        }
        if (c.Message.empty()) {
            EXPECT_EQ(message, "(no failure)");
            EXPECT_EQ(ReadFile(file("a")), "new a");
            EXPECT_EQ(ReadFile(file("b")), "new b");
            EXPECT_EQ(ListDir(names.Path()), (std::vector<std::string>{"a", "b"}));
            continue;
        }
        EXPECT_EQ(message, c.Message);
        // What the save could not undo itself, the next one does first.
        const std::vector<std::string> recovered = RecoverInterruptedSaves({file("a")});
        for (size_t i = 0; i < 2; ++i) {
            if (!c.Earlier[i].empty()) {
                EXPECT_EQ(ReadFile(file(i == 0 ? "a" : "b")), c.Earlier[i]);
            }
        }
        EXPECT_EQ(ListDir(names.Path()), existing);
        EXPECT_EQ(recovered.empty(), c.Message.find("next run") == std::string::npos);
    }
}

TEST(AtomicSave, AFolderThatCannotBeWrittenIsNamed)
{
    TTempDir dir;
    fs::create_directory(dir.File("maps"));
    for (const TErrorKind kind : {TErrorKind::Denied, TErrorKind::ReadOnlyDisk}) {
        TFaults faults({{"create", "", kind, 99}});
        const std::string expected = dir.File("maps") + ": this folder cannot be written (" +
                                     (kind == TErrorKind::Denied ? "permission denied" : "the disk is read-only") + ")";
        EXPECT_EQ(MessageOf([&] { Save({dir.File("maps/map0.mul")}, {"new"}); }), expected);
        EXPECT_EQ(TargetProblem(dir.File("maps/map0.mul")), expected);
    }
    EXPECT_TRUE(ListDir(dir.File("maps")).empty());
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

TEST(AtomicSave, ALinkIsFollowedAndTheFilesPermissionsKept)
{
    TTempDir dir;
    WriteFile(dir.File("real.mul"), "old");
    const auto permissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(dir.File("real.mul"), permissions);
    std::error_code error;
    fs::create_symlink("real.mul", dir.File("link.mul"), error);
    if (error) // Windows gives symbolic links only to some users (and Wine none)
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    Save({dir.File("link.mul")}, {"new"});
    EXPECT_TRUE(fs::is_symlink(dir.File("link.mul")));
    EXPECT_EQ(ReadFile(dir.File("real.mul")), "new");
    EXPECT_EQ(fs::status(dir.File("real.mul")).permissions(), permissions);

    // A link to a file not made yet makes it, and stays a link; a link into
    // a folder that is not there is refused and left as it is.
    fs::create_directory(dir.File("maps"));
    fs::create_symlink("maps/new.mul", dir.File("ahead.mul"));
    Save({dir.File("ahead.mul")}, {"made"});
    EXPECT_TRUE(fs::is_symlink(dir.File("ahead.mul")));
    EXPECT_EQ(ReadFile(dir.File("maps/new.mul")), "made");
    fs::create_symlink("none/new.mul", dir.File("nowhere.mul"));
    EXPECT_THROW(Save({dir.File("nowhere.mul")}, {"lost"}), EFileWriteError);
    EXPECT_TRUE(fs::is_symlink(dir.File("nowhere.mul")));
    EXPECT_FALSE(fs::exists(dir.File("none")));
}

#ifdef _WIN32
// Windows names that are no file: devices by name in any folder (a port the
// machine lacks too), names whose dots or spaces at the end the system drops
// (map0LegacyMUL.uop. would be a .uop file that its name did not make one),
// and names with a character the system refuses. Refused before anything is
// written.
TEST(AtomicSave, WindowsDeviceNamesAndNamesEndingInDotsAreRefused)
{
    TTempDir dir;
    for (const char *name : {"COM9", "com9.png", "LPT7.mul", "conout$", "Nul .txt"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(TargetProblem(dir.File(name)).find("this is not a regular file"), std::string::npos)
            << TargetProblem(dir.File(name));
    }
    for (const std::string name : {"map0LegacyMUL.uop.", "p.png . "}) {
        SCOPED_TRACE(name);
        const std::string saved = name.substr(0, name.find_last_not_of(". ") + 1);
        EXPECT_EQ(TargetProblem(dir.File(name)), dir.File(name) +
                                                     ": the system drops the dots and spaces at the end of a file "
                                                     "name; name it " +
                                                     dir.File(saved));
    }
    // A character no file name may have is said as such, not as a missing file.
    EXPECT_EQ(TargetProblem(dir.File("a*b.mul")),
              dir.File("a*b.mul") + ": the name holds a character that file names cannot have");
    EXPECT_EQ(TargetProblem(dir.File("map0.mul")), "");
    EXPECT_TRUE(ListDir(dir.Path()).empty());
}
#endif

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

// What a killed save leaves, written by hand from the journal's description:
// "morvane save journal 1", then per file its temporary name, target and
// backup name (empty when there was no earlier file), each as length ":"
// bytes and a line end; then "end" once every new file is on the disk, and
// "rollback" when the save failed and was putting the earlier files back.
namespace {

std::string Field(const std::string &Text) { return std::to_string(Text.size()) + ":" + Text + "\n"; }

} // namespace

TEST(AtomicSave, AKilledSaveIsFinishedOrUndoneByTheNextRun)
{
    struct TCase
    {
        const char *Name;
        std::string Tail;                // after the entries
        bool FirstPlaced;                // a's temporary file was renamed onto a already
        std::vector<std::string> Result; // contents of a and b afterwards
        std::string Line;
    };
    const std::vector<TCase> cases = {
        {"complete journal, killed between the renames", "end\n", true, {"new a", "new b"}, "finished a save"},
        {"complete journal, killed before the first rename", "end\n", false, {"new a", "new b"}, "finished a save"},
        {"journal cut short", "", false, {"old a", "old b"}, "had changed nothing"},
        {"killed while undoing a failure", "end\nrollback\n", true, {"old a", "old b"}, "undid a save"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        const auto file = [&](const std::string &Name) { return dir.File(Name); };
        WriteFile(file("a"), "old a");
        WriteFile(file("b"), "old b");
        WriteFile(file(".morvane-1.tmp"), "new a");
        WriteFile(file(".morvane-2.tmp"), "new b");
        std::string journal = "morvane save journal 1\n" + Field(file(".morvane-1.tmp")) + Field(file("a")) +
                              Field(file(".morvane-1.old")) + Field(file(".morvane-2.tmp")) + Field(file("b")) +
                              Field(file(".morvane-2.old"));
        if (c.FirstPlaced) {
            fs::rename(file("a"), file(".morvane-1.old"));
            fs::rename(file(".morvane-1.tmp"), file("a"));
        }
        WriteFile(file(".morvane-3.journal"), c.Tail.empty() ? journal.substr(0, journal.size() - 5) : journal + c.Tail);
        // An older leftover backup, and a temporary file of a save that another
        // program is still writing (it holds the lock): the first goes, the
        // second stays.
        WriteFile(file(".morvane-7.old"), "an older map");
        WriteFile(file("other.tmp"), "busy");
        fs::rename(file("other.tmp"), file(".morvane-9.tmp"));
        Platform::TFile busy;
        ASSERT_FALSE(busy.Open(file(".morvane-9.tmp"), Platform::TFile::TOpen::ReadExisting));
        ASSERT_FALSE(busy.TryLock());

        const std::vector<std::string> lines = RecoverInterruptedSaves({file("a")});
        EXPECT_EQ(ReadFile(file("a")), c.Result[0]);
        EXPECT_EQ(ReadFile(file("b")), c.Result[1]);
        EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{".morvane-9.tmp", "a", "b"}));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NE(lines[0].find(c.Line), std::string::npos) << lines[0];
        EXPECT_NE(lines.back().find(".morvane-7.old, an earlier file kept by an interrupted save"), std::string::npos)
            << lines.back();
        busy.Close();
        const std::vector<std::string> later = RecoverInterruptedSaves({file("b")});
        ASSERT_EQ(later.size(), 1u);
        EXPECT_NE(later[0].find(".morvane-9.tmp, a temporary file of an interrupted save"), std::string::npos);
        EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a", "b"}));
    }
}

// A journal made by hand (say, unpacked with a map) must not have the next
// run rename or remove files that no save of ours wrote: files elsewhere,
// names not our own, relative names. It is left as it is, and said.
TEST(AtomicSave, AJournalNamingOtherFilesChangesNothing)
{
    TTempDir dir;
    fs::create_directory(dir.File("maps"));
    fs::create_directory(dir.File("victim"));
    const auto victim = [&](const std::string &Name) { return dir.File("victim/" + Name); };
    const auto maps = [&](const std::string &Name) { return dir.File("maps/" + Name); };
    for (const char *name : {"important.txt", "other.txt", "payload.txt", ".morvane-5.tmp"})
        WriteFile(victim(name), name);
    const std::string header = "morvane save journal 1\n";
    struct TCase
    {
        const char *Name;
        std::string Journal;
    };
    const std::vector<TCase> cases = {
        {"files elsewhere, not ours",
         header + Field(victim("payload.txt")) + Field(victim("other.txt")) + Field(victim("important.txt")) + "end\n"},
        {"a relative name, cut short", header + Field("../victim/important.txt") + Field("x") + Field("")},
        {"our names, but the first file is not beside the journal",
         header + Field(victim(".morvane-5.tmp")) + Field(victim("other.txt")) + Field(victim(".morvane-6.old")) +
             "end\n"},
        {"a temporary name in another folder than its file",
         header + Field(victim(".morvane-5.tmp")) + Field(maps("map0.mul")) + Field("") + "end\n"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(maps(".morvane-3.journal"), c.Journal);
        const std::vector<std::string> lines = RecoverInterruptedSaves({maps("map0.mul")});
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("left ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(".morvane-3.journal alone: it names files that a save of this program does not write"),
                  std::string::npos)
            << lines[0];
        EXPECT_EQ(ListDir(dir.File("victim")),
                  (std::vector<std::string>{".morvane-5.tmp", "important.txt", "other.txt", "payload.txt"}));
        for (const char *name : {"important.txt", "other.txt", "payload.txt"})
            EXPECT_EQ(ReadFile(victim(name)), name);
        EXPECT_EQ(ListDir(dir.File("maps")), (std::vector<std::string>{".morvane-3.journal"}));
    }
    // A journal of ours that also names a file in another folder (a preview
    // saved elsewhere) is undone, but a file there that had no earlier
    // version is left rather than removed on the journal's word.
    WriteFile(maps("map0.mul"), "new map");
    WriteFile(maps(".morvane-1.old"), "old map");
    WriteFile(maps(".morvane-3.journal"), header + Field(maps(".morvane-1.tmp")) + Field(maps("map0.mul")) +
                                              Field(maps(".morvane-1.old")) + Field(victim(".morvane-2.tmp")) +
                                              Field(victim("important.txt")) + Field("") + "end\nrollback\n");
    const std::vector<std::string> lines = RecoverInterruptedSaves({maps("map0.mul")});
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("undid a save"), std::string::npos) << lines[0];
    EXPECT_EQ(ReadFile(maps("map0.mul")), "old map");
    EXPECT_EQ(ReadFile(victim("important.txt")), "important.txt");
    EXPECT_EQ(ListDir(dir.File("maps")), (std::vector<std::string>{"map0.mul"}));
}

TEST(AtomicSave, ASaveStillRunningIsLeftAlone)
{
    TTempDir dir;
    WriteFile(dir.File("a"), "old a");
    TAtomicSave running({dir.File("a"), dir.File("b")});
    running.Write(0, "new a", 5);
    const auto during = ListDir(dir.Path());
    // Another program (here: another save in this one) recovers the folder
    // and saves into it meanwhile.
    EXPECT_TRUE(RecoverInterruptedSaves({dir.File("a")}).empty());
    Save({dir.File("c")}, {"new c"});
    EXPECT_EQ(ListDir(dir.Path()).size(), during.size() + 1);
    running.Write(1, "new b", 5);
    running.Commit();
    EXPECT_EQ(ReadFile(dir.File("a")), "new a");
    EXPECT_EQ(ReadFile(dir.File("b")), "new b");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a", "b", "c"}));
}
