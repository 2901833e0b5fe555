// Loading the file list "Velmarin.lst" by its bare name: the format's lines, letters and limits,
// the box for a list that cannot be opened, and the lines that must never be read past.
#include "test_support.h"

#include "app/state.h"
#include "install/file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const char kList[] = "Velmarin.lst";
const char kErrorInFile[] = "Error in file:\nVelmarin.lst";

struct Entry {
    std::string source, dest;
    char location;
    bool operator==(const Entry &other) const
    {
        return source == other.source && dest == other.dest && location == other.location;
    }
};

std::ostream &operator<<(std::ostream &out, const Entry &entry)
{
    return out << "{" << entry.source << "|" << entry.dest << "|" << entry.location << "}";
}

std::vector<Entry> LoadedEntries()
{
    std::vector<Entry> entries;
    for (int i = 0; i < g_entryCount; ++i)
        entries.push_back({g_entries[i].source, g_entries[i].dest, g_entries[i].location});
    return entries;
}

// The bare name is looked for beside the executable first: there must be no list there, so that
// the one in the working folder (a fresh temporary folder) is the one found.
class FileListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        ASSERT_FALSE(FileExists(std::string(g_paths.source) + kList))
            << "a file list lies beside the test program";
        GetCurrentDirectoryA(sizeof previous_, previous_);
        ASSERT_TRUE(SetCurrentDirectoryA(dir_.path().c_str()));
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous_);
        CloseInstaller();
    }
    int Load(const std::string &text)
    {
        WriteFileBytes(dir_ / kList, text);
        SetDlgItemTextA(g_dialog, 1003, "before");
        return LoadFileList(kList);
    }

    TempDir dir_;
    char previous_[MAX_PATH];
};

std::string Lines(int count, const std::string &tail = "")
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text +=
            "FILE" + std::to_string(i) + ".EX_,file" + std::to_string(i) + ".exe,P" + tail + "\n";
    return text;
}

std::vector<Entry> Entries(int count)
{
    std::vector<Entry> entries;
    for (int i = 1; i <= count; ++i)
        entries.push_back(
            {"FILE" + std::to_string(i) + ".EX_", "file" + std::to_string(i) + ".exe", 'P'});
    return entries;
}

// Text that fills the list up to `size` bytes with a comment line ending in a line feed.
std::string PadTo(const std::string &text, size_t size)
{
    std::string padded = text + "; " + std::string(size - text.size() - 3, '-') + "\n";
    EXPECT_EQ(padded.size(), size);
    return padded;
}

TEST_F(FileListTest, GoodListsLoadTheirEntriesInFileOrder)
{
    const std::string head = PadTo("A.DL_,a.dll,S\n", 1000);
    const std::string cutComment = PadTo("A.DL_,a.dll,S\n", 990) + "; a comment that is cut\n";
    struct {
        const char *what;
        std::string text;
        std::vector<Entry> expected;
    } cases[] = {
        {"comment lines between entries",
         "VELMARIN.EX_,velmarin.exe,P\n; drivers\nZELPORT.SY_,zelport.sys,D\n\n# fonts\n"
         "zelnar.fon,zelnar.fon,W\n",
         {{"VELMARIN.EX_", "velmarin.exe", 'P'},
          {"ZELPORT.SY_", "zelport.sys", 'D'},
          {"zelnar.fon", "zelnar.fon", 'W'}}},
        {"CRLF line ends",
         "A.EX_,a.exe,P\r\nB.DL_,b.dll,S\r\n",
         {{"A.EX_", "a.exe", 'P'}, {"B.DL_", "b.dll", 'S'}}},
        {"spaces kept in names",
         "User Guide.pd_,User Guide.pdf,P\n",
         {{"User Guide.pd_", "User Guide.pdf", 'P'}}},
        {"subfolders in names",
         "Data\\MACHINE.CF_,Data\\machine.cfg,P\n",
         {{"Data\\MACHINE.CF_", "Data\\machine.cfg", 'P'}}},
        {"a line starting with a space, tab, dot or comma is skipped",
         " A,a,P\n\tB,b,P\n.C,c,P\n,D,d,P\n7Z.DL_,7z.dll,S\n",
         {{"7Z.DL_", "7z.dll", 'S'}}},
        {"anything after the letter", "A,a,Pxyz, more\n", {{"A", "a", 'P'}}},
        {"last line without a line feed", "A,a,P\nB,b,W", {{"A", "a", 'P'}, {"B", "b", 'W'}}},
        {"a zero byte starting a line ends the list",
         std::string("A,a,P\n\0B,b,P\n", 13),
         {{"A", "a", 'P'}}},
        {"a zero byte after the letter",
         std::string("A,a,P\0junk\nB,b,S\n", 17),
         {{"A", "a", 'P'}, {"B", "b", 'S'}}},
        {"empty file", "", {}},
        {"25 entries load the first 20; the rest is not looked at",
         Lines(20) + "BAD21,bad,x\nBAD22\n" + Lines(3), Entries(20)},
        {"over 1000 bytes, the table full before the cut", Lines(40, " -- padding text"),
         Entries(20)},
        {"1001 bytes whose 1000th is a line feed",
         head + "Z.DL_,z.dll,S\n",
         {{"A.DL_", "a.dll", 'S'}}},
        {"over 1000 bytes cut inside a comment line",
         cutComment + "Z,z,P\n",
         {{"A.DL_", "a.dll", 'S'}}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Load(c.text), 1);
        EXPECT_EQ(LoadedEntries(), c.expected);
        EXPECT_EQ(ControlText(1003), "before") << "a good list shows nothing";
    }
}

TEST_F(FileListTest, BadListsFailWithErrorInFileKeepingTheEntriesBefore)
{
    const std::string head = PadTo("A.DL_,a.dll,S\n", 990);
    struct {
        const char *what;
        std::string text;
        int count;
    } cases[] = {
        {"a bad letter after a good line", "A,B,P\nA,B,X\n", 1},
        {"a lower-case letter", "A,a,p\n", 0},
        {"a lower-case letter before CRLF", "A,a,P\r\nB,b,p\r\n", 1},
        {"a space in place of the letter", "A,a, P\n", 0},
        {"a carriage return in place of the letter", "A,a,\r\n", 0},
        {"a line feed in place of the letter", "A,a,\nP,p,P\n", 0},
        {"the text ends after the second comma", "A,a,", 0},
        // Each part of an entry must lie within its own line.
        {"a line without commas", "A.DL_ a.dll P\nB,b,P\n", 0},
        {"a line with one comma", "A.DL_,a.dll P\nB,W,P\n", 0},
        {"a last line without commas", "A,a,P\nABC", 1},
        {"a zero byte before the letter", std::string("A,a\0,P\nB,b,P\n", 13), 0},
        {"a zero byte between the names", std::string("A\0,a,P\n", 7), 0},
        {"over 1000 bytes cut inside a name", head + "LONGNAME.DL_,longname.dll,S\n", 1},
        {"over 1000 bytes cut after the letter", PadTo("A,a,P\n", 995) + "B,b,P\r\n", 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Load(c.text), 0);
        EXPECT_EQ(g_entryCount, c.count);
        EXPECT_EQ(ControlText(1003), kErrorInFile);
    }
}

TEST_F(FileListTest, EveryLoadStartsFromAnEmptyTable)
{
    // A full table, then a shorter list: only the new list's entries, pointing into its text.
    ASSERT_EQ(Load(Lines(20)), 1);
    ASSERT_EQ(g_entryCount, 20);
    ASSERT_EQ(Load("NEW.EX_,new.exe,W\nTWO,two,D\n"), 1);
    EXPECT_EQ(LoadedEntries(),
              (std::vector<Entry>{{"NEW.EX_", "new.exe", 'W'}, {"TWO", "two", 'D'}}));

    // A failed load leaves only its own good lines.
    ASSERT_EQ(Load("LONGER.EX_,longer.exe,P\nB,b,P\n"), 1);
    EXPECT_EQ(Load("X,x,P\nY,y,?\n"), 0);
    EXPECT_EQ(LoadedEntries(), (std::vector<Entry>{{"X", "x", 'P'}}));
    EXPECT_EQ(Load(""), 1);
    EXPECT_EQ(g_entryCount, 0);
}

TEST_F(FileListTest, LettersPickTheDirectoriesOfThePathSet)
{
    ASSERT_EQ(Load("D,d,D\nP,p,P\nS,s,S\nW,w,W\n"), 1);
    ASSERT_EQ(g_entryCount, 4);
    const char *expected[] = {g_paths.drivers, g_paths.install, g_paths.system, g_paths.windows};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(EntryDirectory(&g_entries[i]), expected[i]) << g_entries[i].location;
}

TEST_F(FileListTest, MissingListShowsItsBoxWithNoOwnerAndFails)
{
    ASSERT_EQ(Load("A,a,P\n"), 1);
    DeleteFileA((dir_ / kList).c_str());
    ErrorBoxWatcher watcher;
    EXPECT_EQ(LoadFileList(kList), 0);
    ASSERT_EQ(watcher.Finish(), 1);
    EXPECT_EQ(watcher.texts[0], "Can't open LST file");
    EXPECT_EQ(watcher.owners[0], (HWND)NULL);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(ControlText(1003), "before") << "the caller reports the failure";
}

TEST_F(FileListTest, ListThatCannotBeReadFailsWithoutTheBox)
{
    // A list that opens but whose every read fails: a link to /proc/self/mem on the Linux side,
    // made by the test set-up, whose first page is never mapped.
    std::string unreadable = WindowsPath(EnvValue("ZELNAR_UNREADABLE_DIR"));
    ASSERT_FALSE(unreadable.empty()) << "run through ctest, which makes the unreadable list";
    ASSERT_TRUE(SetCurrentDirectoryA(unreadable.c_str()));
    SetDlgItemTextA(g_dialog, 1003, "before");
    ErrorBoxWatcher watcher;
    EXPECT_EQ(LoadFileList(kList), 0);
    EXPECT_EQ(watcher.Finish(), 0);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(ControlText(1003), "before");
}

} // namespace
