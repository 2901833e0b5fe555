// The expanding copy: plain and LZ-compressed sources arrive byte for byte, with normal
// attributes and the source's write time; every failure is reported and leaves no half file.
#include "test_support.h"

#include "app/state.h"
#include "install/expanding_copy.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::string Fixture(const char *name)
{
    std::string folder = WindowsPath(EnvValue("ZELNAR_FIXTURES"));
    EXPECT_FALSE(folder.empty()) << "run through ctest, which names the fixtures folder";
    return folder + "\\" + name;
}

class ExpandingCopyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        SetDlgItemTextA(g_dialog, 1003, "before");
    }
    void TearDown() override { CloseInstaller(); }
    TempDir dir_;
};

TEST_F(ExpandingCopyTest, PlainAndCompressedSourcesArriveByteForByte)
{
    struct {
        const char *source, *expected;
    } cases[] = {
        {"text.txt", "text.txt"},      {"text.txt_", "text.txt"},  {"binary.bin", "binary.bin"},
        {"binary.bin_", "binary.bin"}, {"empty.txt", "empty.txt"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.source);
        std::string expected = ReadFileBytes(Fixture(c.expected));
        ASSERT_NE(expected, "<missing>");
        std::string dest = dir_ / "installed.dat";
        EXPECT_EQ(ExpandingCopy(Fixture(c.source).c_str(), dest.c_str()), 1);
        EXPECT_EQ(ReadFileBytes(dest), expected);
        EXPECT_EQ(ControlText(1003), "before") << "a copy that succeeds shows nothing";
    }
    EXPECT_NE(ReadFileBytes(Fixture("text.txt_")), ReadFileBytes(Fixture("text.txt")))
        << "the compressed fixture is not compressed";
}

TEST_F(ExpandingCopyTest, MarkedSourceArrivesNormalWithTheSourceWriteTime)
{
    for (const char *name : {"text.txt", "binary.bin_"}) {
        SCOPED_TRACE(name);
        std::string source = dir_ / name;
        WriteFileBytes(source, ReadFileBytes(Fixture(name)));
        // 2001-09-09 01:46:40 and a fraction of a second.
        SetWriteTicks(source, 116444736000000000ULL + 1000000000ULL * 10000000ULL + 1234567ULL);
        ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY));
        std::string dest = dir_ / "dest.dat";
        EXPECT_EQ(ExpandingCopy(source.c_str(), dest.c_str()), 1);
        EXPECT_EQ(GetFileAttributesA(dest.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_EQ(GetFileAttributesA(source.c_str()) & FILE_ATTRIBUTE_READONLY,
                  (DWORD)FILE_ATTRIBUTE_READONLY);
        WIN32_FILE_ATTRIBUTE_DATA from, to;
        ASSERT_TRUE(GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &from));
        ASSERT_TRUE(GetFileAttributesExA(dest.c_str(), GetFileExInfoStandard, &to));
        EXPECT_EQ(CompareFileTime(&from.ftLastWriteTime, &to.ftLastWriteTime), 0);
        SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(ExpandingCopyTest, ExistingDestinationIsReplaced)
{
    std::string dest = dir_ / "installed.txt";
    WriteFileBytes(dest, std::string(20000, 'o')); // longer than the new contents
    SetWriteTime(dest, 2000000000LL);              // and newer
    EXPECT_EQ(ExpandingCopy(Fixture("text.txt_").c_str(), dest.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(dest), ReadFileBytes(Fixture("text.txt")));
}

TEST_F(ExpandingCopyTest, FilesThatCannotBeOpenedAreReported)
{
    const std::string existing = dir_ / "existing.txt";
    WriteFileBytes(existing, "installed before");
    const std::string readOnly = dir_ / "readonly.txt";
    WriteFileBytes(readOnly, "installed before");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((dir_ / "folder").c_str(), NULL);
    struct {
        const char *what;
        std::string source, dest, status;
    } cases[] = {
        {"missing source", dir_ / "missing.txt", dir_ / "new.txt", "Can't open source"},
        {"missing source, existing destination untouched", dir_ / "missing.txt", existing,
         "Can't open source"},
        {"missing source and destination folder", dir_ / "missing.txt", dir_ / "no folder\\new.txt",
         "Can't open source"},
        {"a folder as source", dir_ / "folder", dir_ / "new.txt", "Can't open source"},
        {"missing destination folder", Fixture("text.txt"), dir_ / "no folder\\new.txt",
         "Can't open destination"},
        {"a folder as destination", Fixture("text.txt"), dir_ / "folder", "Can't open destination"},
        // Not replaced even where the disk would let it be written (Wine run by root).
        {"a read-only destination", Fixture("text.txt"), readOnly, "Can't open destination"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExpandingCopy(c.source.c_str(), c.dest.c_str()), 0);
        const std::string &detail = c.status == "Can't open source" ? c.source : c.dest;
        EXPECT_EQ(ControlText(1003), c.status + ":\n" + detail);
        EXPECT_FALSE(FileExists(dir_ / "new.txt"));
        EXPECT_EQ(ReadFileBytes(existing), "installed before");
        EXPECT_EQ(ReadFileBytes(readOnly), "installed before");
        // Nor does the copy land under a compressed-style name of the destination.
        EXPECT_FALSE(FileExists(dir_ / "folder._"));
        EXPECT_FALSE(FileExists(dir_ / "readonly.tx_"));
    }
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ExpandingCopyTest, PathsThatDidNotFitAreNeverUsed)
{
    // The caller's formatter cut these paths; both files are there under the cut names.
    std::string source = dir_ / "source.txt", dest = dir_ / "dest.txt";
    WriteFileBytes(source, "source");
    EXPECT_EQ(ExpandingCopyFormed(0, source.c_str(), 1, dest.c_str()), 0);
    EXPECT_EQ(ControlText(1003), "Can't open source:\n" + source);
    EXPECT_FALSE(FileExists(dest));
    EXPECT_EQ(ExpandingCopyFormed(1, source.c_str(), 0, dest.c_str()), 0);
    EXPECT_EQ(ControlText(1003), "Can't open destination:\n" + dest);
    EXPECT_FALSE(FileExists(dest));
}

TEST_F(ExpandingCopyTest, TruncatedCompressedSourceFailsAndLeavesNoDestination)
{
    std::string whole = ReadFileBytes(Fixture("binary.bin_"));
    ASSERT_GT(whole.size(), 100u);
    struct {
        const char *what;
        size_t length;
    } cases[] = {
        {"the header only", 14},
        {"cut in the middle", whole.size() / 2},
        {"the last byte missing", whole.size() - 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string source = dir_ / "TRUNC.BI_", dest = dir_ / "trunc.bin";
        WriteFileBytes(source, whole.substr(0, c.length));
        WriteFileBytes(dest, "an older installed copy");
        EXPECT_EQ(ExpandingCopy(source.c_str(), dest.c_str()), 0);
        EXPECT_EQ(ControlText(1003), "Can't read source:\n" + source);
        EXPECT_FALSE(FileExists(dest)) << "a half file would pass for installed";
    }
}

// Paths up to the 259 characters that a path buffer holds are copied, far past the 128 bytes of
// the open-file record that LZOpenFileA and OpenFile keep a path in.
TEST_F(ExpandingCopyTest, LongPathsAreCopied)
{
    std::string sources = MakeLongFolder(dir_ / "s", 200);
    std::string dests = MakeLongFolder(dir_ / "d", 247);
    struct {
        const char *source, *expected;
    } cases[] = {{"text.txt_", "text.txt"}, {"binary.bin", "binary.bin"}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.source);
        std::string source = sources + "\\" + c.source;
        WriteFileBytes(source, ReadFileBytes(Fixture(c.source)));
        std::string dest = dests + "\\install.dat";
        ASSERT_EQ(dest.size(), 259u);
        EXPECT_EQ(ExpandingCopy(source.c_str(), dest.c_str()), 1);
        EXPECT_EQ(ControlText(1003), "before");
        EXPECT_EQ(ReadFileBytes(dest), ReadFileBytes(Fixture(c.expected)));
    }
}

// A compressed header that names a method other than the one the library knows is a source that
// cannot be read, not a plain file to copy as it is.
TEST_F(ExpandingCopyTest, UnknownCompressionMethodIsASourceThatCannotBeRead)
{
    std::string packed = ReadFileBytes(Fixture("text.txt_"));
    ASSERT_EQ(packed.substr(0, 4), "SZDD");
    ASSERT_EQ(packed[8], 'A');
    packed[8] = 'Q';
    std::string source = dir_ / "METHOD.TX_", dest = dir_ / "method.txt";
    WriteFileBytes(source, packed);
    EXPECT_EQ(ExpandingCopy(source.c_str(), dest.c_str()), 0);
    EXPECT_EQ(ControlText(1003), "Can't read source:\n" + source);
    EXPECT_FALSE(FileExists(dest));
}

TEST_F(ExpandingCopyTest, DestinationOnAFullDiskFailsWithAWriteError)
{
    // A link to /dev/full on the Linux side, made by the test set-up: every write fails. Wine
    // cannot delete a device, so the link outlives the copy's clean-up; that a part-written
    // destination is removed is shown by the truncated sources above.
    std::string dest = WindowsPath(EnvValue("ZELNAR_FULL_DISK"));
    ASSERT_FALSE(dest.empty()) << "run through ctest, which makes the full-disk link";
    for (const char *source : {"text.txt_", "binary.bin"}) {
        SCOPED_TRACE(source);
        SetDlgItemTextA(g_dialog, 1003, "before");
        EXPECT_EQ(ExpandingCopy(Fixture(source).c_str(), dest.c_str()), 0);
        EXPECT_EQ(ControlText(1003), "Can't write destination:\n" + dest);
    }
}

} // namespace
