// The program files step: which listed files are copied by their last-write times, what each copy
// announces, where the step stops, and paths too long for their buffers.
#include "test_support.h"

#include "app/state.h"
#include "install/file_list.h"
#include "install/program_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const unsigned long long kEpoch = 116444736000000000ULL; // 1970 in ticks since 1601
const unsigned long long kSecond = 10000000ULL;

unsigned long long Ticks(long long seconds, unsigned long long fraction = 0)
{
    return kEpoch + seconds * (long long)kSecond + fraction;
}

FILETIME FileTime(unsigned long long ticks)
{
    FILETIME time;
    time.dwLowDateTime = (DWORD)ticks;
    time.dwHighDateTime = (DWORD)(ticks >> 32);
    return time;
}

TEST(FileTimeSeconds, WholeSecondsSince1970OrMinusOne)
{
    struct {
        const char *what;
        unsigned long long ticks;
        long expected;
    } cases[] = {
        {"zero file time", 0, -1},
        {"1601 plus a tick", 1, -1},
        {"a second before 1970", Ticks(-1), -1},
        {"1970 itself: zero seconds", Ticks(0), -1},
        {"a fraction into 1970 is still zero", Ticks(0, kSecond - 1), -1},
        {"one second", Ticks(1), 1},
        {"fractions are dropped", Ticks(1000000000, kSecond - 1), 1000000000},
        {"the last second a signed 32-bit count holds", Ticks(0x7FFFFFFF), 0x7FFFFFFF},
        {"one second later in 2038", Ticks(0x80000000LL), -1},
        {"2100", Ticks(4102444800LL), -1},
        {"the largest file time", 0x7FFFFFFFFFFFFFFFULL, -1},
    };
    for (auto &c : cases) {
        FILETIME time = FileTime(c.ticks);
        EXPECT_EQ(FileTimeSeconds(&time), c.expected) << c.what;
    }
}

class ProgramFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        lstrcpynA(g_paths.source, (dist_.path() + "\\").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.install, install_.path().c_str(), DIR_SIZE);
        // The system, drivers and Windows directories of a test machine are left alone.
        for (const char *name : {"system", "system\\Drivers", "windows"})
            CreateDirectoryA((other_ / name).c_str(), NULL);
        lstrcpynA(g_paths.system, (other_ / "system").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.drivers, (other_ / "system\\Drivers").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.windows, (other_ / "windows").c_str(), DIR_SIZE);
        g_entryCount = 0;
    }
    void TearDown() override
    {
        g_entryCount = 0;
        CloseInstaller();
    }
    // Fills the entry table; the names live as long as the test.
    void SetEntries(std::vector<std::vector<std::string>> entries)
    {
        names_.clear();
        names_.reserve(entries.size() * 2);
        g_entryCount = 0;
        for (auto &entry : entries) {
            names_.push_back(entry[0]);
            const char *source = names_.back().c_str();
            names_.push_back(entry[1]);
            g_entries[g_entryCount].source = source;
            g_entries[g_entryCount].dest = names_.back().c_str();
            g_entries[g_entryCount].location = entry[2][0];
            ++g_entryCount;
        }
    }

    TempDir dist_, install_, other_;
    std::vector<std::string> names_;
};

std::string Fixture(const char *name)
{
    return ReadFileBytes(WindowsPath(EnvValue("ZELNAR_FIXTURES")) + "\\" + name);
}

TEST_F(ProgramFilesTest, FirstInstallationCopiesEveryEntryAnnouncingItsListedName)
{
    std::string text = Fixture("text.txt");
    ASSERT_NE(text, "<missing>") << "run through ctest, which names the fixtures folder";
    WriteTree(dist_.path(), {{"APP.EX_", Fixture("text.txt_")},
                             {"User Guide.pdf", "manual"},
                             {"sub\\LIB.DL_", Fixture("binary.bin_")},
                             {"PORT.SYS", "driver"},
                             {"app.fon", "font"},
                             {"MACHINE.CFG", "config"}});
    CreateDirectoryA((install_ / "Data").c_str(), NULL);
    SetEntries({{"APP.EX_", "app.exe", "P"},
                {"User Guide.pdf", "User Guide.pdf", "P"},
                {"sub\\LIB.DL_", "lib.dll", "S"},
                {"PORT.SYS", "port.sys", "D"},
                {"app.fon", "app.fon", "W"},
                {"MACHINE.CFG", "Data\\machine.cfg", "P"}});
    {
        StatusRecorder status;
        EXPECT_EQ(CopyProgramFiles(), 1);
        EXPECT_EQ(status.texts(),
                  (std::vector<std::string>{"Copying:\nAPP.EX_", "Copying:\nUser Guide.pdf",
                                            "Copying:\nsub\\LIB.DL_", "Copying:\nPORT.SYS",
                                            "Copying:\napp.fon", "Copying:\nMACHINE.CFG"}));
    }
    EXPECT_EQ(ReadFileBytes(install_ / "app.exe"), text);
    EXPECT_EQ(ReadFileBytes(install_ / "User Guide.pdf"), "manual");
    EXPECT_EQ(ReadFileBytes(other_ / "system\\lib.dll"), Fixture("binary.bin"));
    EXPECT_EQ(ReadFileBytes(other_ / "system\\Drivers\\port.sys"), "driver");
    EXPECT_EQ(ReadFileBytes(other_ / "windows\\app.fon"), "font");
    EXPECT_EQ(ReadFileBytes(install_ / "Data\\machine.cfg"), "config");

    // A second run finds every copy as new as its source.
    StatusRecorder again;
    EXPECT_EQ(CopyProgramFiles(), 1);
    EXPECT_TRUE(again.texts().empty());
}

TEST_F(ProgramFilesTest, CopiesOnlyWhenTheSourceIsStrictlyNewer)
{
    const unsigned long long kNone = 0; // no installed copy
    struct {
        const char *what;
        unsigned long long source, dest;
        bool copied;
    } cases[] = {
        {"not installed", Ticks(1000), kNone, true},
        {"source newer", Ticks(2000), Ticks(1000), true},
        {"same second", Ticks(1000), Ticks(1000), false},
        {"same second, later fraction", Ticks(1000, 9000000), Ticks(1000, 1000000), false},
        {"source older", Ticks(1000), Ticks(2000), false},
        {"installed at zero", Ticks(1000), Ticks(0), true},
        {"installed before 1970", Ticks(1000), Ticks(-86400 * 365), true},
        {"installed after 2038", Ticks(1000), Ticks(4102444800LL), true},
        {"source at zero", Ticks(0), Ticks(1000), false},
        {"both at zero", Ticks(0), Ticks(0), false},
        {"source before 1970, not installed", Ticks(-86400), kNone, true},
        {"source at the last 32-bit second", Ticks(0x7FFFFFFF), Ticks(2000000000), true},
        {"source after 2038", Ticks(4102444800LL), Ticks(1000), false},
    };
    std::vector<std::vector<std::string>> entries;
    int n = 0;
    for (auto &c : cases) {
        std::string name = "F" + std::to_string(++n) + ".DAT";
        WriteFileBytes(dist_ / name, std::string("new ") + c.what);
        SetWriteTicks(dist_ / name, c.source);
        if (c.dest != kNone) {
            WriteFileBytes(install_ / name, "old");
            SetWriteTicks(install_ / name, c.dest);
        }
        entries.push_back({name, name, "P"});
    }
    SetEntries(entries);
    StatusRecorder status;
    EXPECT_EQ(CopyProgramFiles(), 1);
    n = 0;
    for (auto &c : cases) {
        std::string name = "F" + std::to_string(++n) + ".DAT";
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadFileBytes(install_ / name), c.copied ? std::string("new ") + c.what : "old");
        EXPECT_EQ(status.Saw("Copying:\n" + name), c.copied);
    }
}

TEST_F(ProgramFilesTest, FailedFifthOfTwentyStopsTheStep)
{
    std::vector<std::vector<std::string>> entries;
    for (int i = 1; i <= 20; ++i) {
        std::string name = "FILE" + std::to_string(i) + ".DAT";
        if (i != 5)
            WriteFileBytes(dist_ / name, name);
        entries.push_back({name, name, "P"});
    }
    SetEntries(entries);
    StatusRecorder status;
    EXPECT_EQ(CopyProgramFiles(), 0);
    for (int i = 1; i <= 20; ++i) {
        std::string name = "FILE" + std::to_string(i) + ".DAT";
        EXPECT_EQ(FileExists(install_ / name), i < 5) << name;
        EXPECT_EQ(status.Saw("Copying:\n" + name), i <= 5) << name;
    }
    EXPECT_EQ(ControlText(1003), "Can't open source:\n" + dist_ / "FILE5.DAT");
}

TEST_F(ProgramFilesTest, FailedCopiesEndTheStepWithTheirMessage)
{
    struct {
        const char *what;
        bool source, installed;
        const char *dest;
        std::string status;
    } cases[] = {
        {"installed but no source", false, true, "A.DAT", "Can't open source:\n" + dist_ / "A.DAT"},
        {"neither source nor installed copy", false, false, "A.DAT",
         "Can't open source:\n" + dist_ / "A.DAT"},
        {"destination subfolder missing", true, false, "Missing\\A.DAT",
         "Can't open destination:\n" + install_ / "Missing\\A.DAT"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA((dist_ / "A.DAT").c_str());
        DeleteFileA((install_ / "A.DAT").c_str());
        if (c.source)
            WriteFileBytes(dist_ / "A.DAT", "new");
        if (c.installed)
            WriteFileBytes(install_ / "A.DAT", "old");
        SetEntries({{"A.DAT", c.dest, "P"}});
        EXPECT_EQ(CopyProgramFiles(), 0);
        EXPECT_EQ(ControlText(1003), c.status);
        EXPECT_EQ(ReadFileBytes(install_ / "A.DAT"), c.installed ? "old" : "<missing>");
    }
}

TEST_F(ProgramFilesTest, EmptyTableSucceedsAtOnce)
{
    StatusRecorder status;
    EXPECT_EQ(CopyProgramFiles(), 1);
    EXPECT_TRUE(status.texts().empty());
}

// A path that does not fit its 260-byte buffer is never used cut: the cut names exist here, so a
// cut path would be found and written.
TEST_F(ProgramFilesTest, OverlongPathsFailInsteadOfUsingCutOnes)
{
    // An install directory of 255 characters: "\ABCDEFGH.TXT" takes the path past 259.
    std::string longInstall = MakeLongFolder(install_.path(), 255);
    lstrcpynA(g_paths.install, longInstall.c_str(), DIR_SIZE);
    ASSERT_EQ(strlen(g_paths.install), 255u);
    WriteFileBytes(dist_ / "ABCDEFGH.TXT", "source");
    SetEntries({{"ABCDEFGH.TXT", "ABCDEFGH.TXT", "P"}});
    EXPECT_EQ(CopyProgramFiles(), 0);
    EXPECT_EQ(ControlText(1003).substr(0, 24), "Can't open destination:\n");
    EXPECT_FALSE(FileExists(longInstall + "\\ABC")) << "the cut path was written";

    // A source directory of 250 characters and its trailing backslash.
    std::string longSource = MakeLongFolder(dist_.path(), 250);
    lstrcpynA(g_paths.source, (longSource + "\\").c_str(), DIR_SIZE);
    lstrcpynA(g_paths.install, install_.path().c_str(), DIR_SIZE);
    WriteFileBytes(longSource + "\\LONGSOUR", "the cut source");
    SetEntries({{"LONGSOURCE.TXT", "long.txt", "P"}});
    EXPECT_EQ(CopyProgramFiles(), 0);
    EXPECT_EQ(ControlText(1003).substr(0, 19), "Can't open source:\n");
    EXPECT_FALSE(FileExists(install_ / "long.txt")) << "the cut source was copied";
}

} // namespace
