// The shortcut step: the shell folders read from the registry (redirected here to a scratch key,
// never the machine's own values), and the four links read back from the saved files.
#include "test_support.h"

#include "app/state.h"
#include "install/shortcuts.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const std::vector<std::string> kDesktopLinks = {"Reprocessing.lnk", "Zelnar Help.lnk",
                                                "Zelnar.lnk"};
const std::vector<std::string> kProgramsLinks = {"Reprocessing Help.lnk", "Reprocessing.lnk",
                                                 "Zelnar Help.lnk", "Zelnar.lnk"};

class ShortcutsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        CoInitialize(NULL);
        lstrcpynA(g_paths.install, install_.path().c_str(), DIR_SIZE);
        for (const char *name : {"Desktop", "Programs", "User Desktop", "User Programs"})
            CreateDirectoryA((folders_ / name).c_str(), NULL);
        // The drive root of a wrongly formed link path is the working folder's.
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(install_.path().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous_);
        CoUninitialize();
        CloseInstaller();
    }
    // As the Install command does it: the lookup, the programs subfolder, the links.
    void MakeShortcuts()
    {
        if (g_paths.programs[0] != '\0')
            CreateDirectoryA(g_paths.programs, NULL);
        CreateShortcuts();
    }
    void ExpectLinks(const std::string &desktop, const std::string &programs)
    {
        EXPECT_EQ(FolderNames(desktop), kDesktopLinks);
        EXPECT_EQ(FolderNames(programs), kProgramsLinks);
        struct {
            const char *name, *target, *description;
            bool workingFolder;
        } links[] = {
            {"Zelnar", "velmarin.exe", "Shortcut to Zelnar", true},
            {"Zelnar Help", "ZelnarUser.pdf", "Zelnar Manual", false},
            {"Reprocessing", "Dorventa.exe", "Shortcut to Dorventa", true},
            {"Reprocessing Help", "dorventa.hlp", "Shortcut to Dorventa Help", false},
        };
        for (auto &expected : links) {
            for (const std::string &folder : {desktop, programs}) {
                if (folder == desktop && std::string(expected.name) == "Reprocessing Help")
                    continue;
                std::string path = folder + "\\" + expected.name + ".lnk";
                SCOPED_TRACE(path);
                LinkInfo link = ReadLink(path);
                ASSERT_TRUE(link.found);
                EXPECT_STRCASEEQ(link.target.c_str(),
                                 (std::string(g_paths.install) + "\\" + expected.target).c_str());
                EXPECT_EQ(link.description, expected.description);
                EXPECT_EQ(link.workingFolder,
                          expected.workingFolder ? std::string(g_paths.install) : "");
            }
        }
    }
    void ExpectNothingAtTheDriveRoot()
    {
        std::string root = install_.path().substr(0, 3);
        for (const char *name : {"Moldar", "Zelnar.lnk", "Zelnar Help.lnk", "Reprocessing.lnk"}) {
            EXPECT_FALSE(FileExists(root + name)) << root + name;
            RemoveTree(root + name); // so that the next run starts clean
            DeleteFileA((root + name).c_str());
        }
    }

    TempDir install_, folders_;
    char previous_[MAX_PATH];
};

TEST_F(ShortcutsTest, NtFamilyUsesTheMachineWideFolders)
{
    g_isNt = 1;
    FindFoldersIn(folders_);
    EXPECT_EQ(std::string(g_paths.desktop), folders_ / "Desktop");
    EXPECT_EQ(std::string(g_paths.programs), folders_ / "Programs\\Moldar");
    MakeShortcuts();
    ExpectLinks(folders_ / "Desktop", folders_ / "Programs\\Moldar");
    EXPECT_TRUE(FolderNames(folders_ / "User Desktop").empty());
    EXPECT_TRUE(FolderNames(folders_ / "User Programs").empty());

    // A second installation saves the links again, now for another install directory.
    std::string other = install_ / "Other";
    lstrcpynA(g_paths.install, other.c_str(), DIR_SIZE);
    MakeShortcuts();
    ExpectLinks(folders_ / "Desktop", folders_ / "Programs\\Moldar");
}

TEST_F(ShortcutsTest, Windows95FamilyUsesTheUsersFolders)
{
    g_isNt = 0;
    FindFoldersIn(folders_);
    MakeShortcuts();
    ExpectLinks(folders_ / "User Desktop", folders_ / "User Programs\\Moldar");
    EXPECT_TRUE(FolderNames(folders_ / "Desktop").empty());
    EXPECT_TRUE(FolderNames(folders_ / "Programs").empty());
}

// A folder whose value cannot be read stays unknown: no link is saved for it and no "\Moldar"
// is made at the root of the drive.
TEST_F(ShortcutsTest, UnreadableFoldersGetNoLinks)
{
    g_isNt = 1;
    const std::string desktop = folders_ / "Desktop", programs = folders_ / "Programs";
    std::string longFolder = MakeLongFolder(folders_ / "Long", 250);
    enum { NoKey, Empty, Set, OnRoot };
    struct {
        const char *what;
        int key;
        DWORD desktopType;
        std::string desktopValue;
        DWORD programsType;
        std::string programsValue;
        bool desktopKnown, programsKnown;
    } cases[] = {
        {"no key", NoKey, 0, "", 0, "", false, false},
        {"no key, the values on the root key itself", OnRoot, REG_SZ, desktop, REG_SZ, programs,
         false, false},
        {"no values", Empty, 0, "", 0, "", false, false},
        {"desktop value only", Set, REG_SZ, desktop, 0, "", true, false},
        {"programs value only", Set, 0, "", REG_SZ, programs, false, true},
        {"numbers, not paths", Set, REG_DWORD, "", REG_DWORD, "", false, false},
        {"values too long for 256 bytes", Set, REG_SZ, desktop + "\\" + std::string(300, 'x'),
         REG_SZ, programs + "\\" + std::string(300, 'x'), false, false},
        {"no room for \\Moldar", Set, REG_SZ, desktop, REG_SZ, longFolder, true, false},
        {"expandable strings", Set, REG_EXPAND_SZ, desktop, REG_EXPAND_SZ, programs, true, true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(desktop);
        RemoveTree(programs);
        RemoveTree(longFolder + "\\Moldar");
        CreateDirectoryA(desktop.c_str(), NULL);
        CreateDirectoryA(programs.c_str(), NULL);
        lstrcpynA(g_paths.desktop, "stale", DIR_SIZE);
        lstrcpynA(g_paths.programs, "stale", DIR_SIZE);
        {
            RegistryRedirect machine(HKEY_LOCAL_MACHINE);
            if (c.key == OnRoot) {
                RegSetValueExA(machine.scratch(), "Common Desktop", 0, REG_SZ,
                               (const BYTE *)desktop.c_str(), (DWORD)desktop.size() + 1);
                RegSetValueExA(machine.scratch(), "Common Programs", 0, REG_SZ,
                               (const BYTE *)programs.c_str(), (DWORD)programs.size() + 1);
            } else if (c.key != NoKey) {
                machine.ShellFolders();
                if (c.desktopType == REG_DWORD)
                    machine.SetDword("Common Desktop", 1);
                else if (c.desktopType)
                    machine.SetString("Common Desktop", c.desktopValue, c.desktopType);
                if (c.programsType == REG_DWORD)
                    machine.SetDword("Common Programs", 1);
                else if (c.programsType)
                    machine.SetString("Common Programs", c.programsValue, c.programsType);
            }
            FindFolders();
        }
        EXPECT_EQ(std::string(g_paths.desktop), c.desktopKnown ? c.desktopValue : "");
        EXPECT_EQ(std::string(g_paths.programs),
                  c.programsKnown ? c.programsValue + "\\Moldar" : "");
        MakeShortcuts();
        EXPECT_EQ(FolderNames(desktop),
                  c.desktopKnown ? kDesktopLinks : std::vector<std::string>());
        std::vector<std::string> inPrograms = FolderNames(programs);
        if (c.programsKnown)
            EXPECT_EQ(inPrograms, std::vector<std::string>{"Moldar"});
        else
            EXPECT_TRUE(inPrograms.empty());
        EXPECT_FALSE(FileExists(longFolder + "\\Moldar"));
        ExpectNothingAtTheDriveRoot();
    }
}

TEST_F(ShortcutsTest, LinkPathsThatDoNotFitAreNotSaved)
{
    // A desktop of 250 characters: "\Zelnar Help.lnk" does not fit; the programs folder is fine.
    std::string longDesktop = MakeLongFolder(folders_ / "Long", 250);
    lstrcpynA(g_paths.desktop, longDesktop.c_str(), DIR_SIZE);
    lstrcpynA(g_paths.programs, (folders_ / "Programs\\Moldar").c_str(), DIR_SIZE);
    MakeShortcuts();
    EXPECT_TRUE(FolderNames(longDesktop).empty());
    EXPECT_EQ(FolderNames(folders_ / "Programs\\Moldar"), kProgramsLinks);

    // An install directory of 255 characters leaves no room for any target: no link at all.
    RemoveTree(folders_ / "Programs\\Moldar");
    lstrcpynA(g_paths.install, MakeLongFolder(install_.path(), 255).c_str(), DIR_SIZE);
    lstrcpynA(g_paths.desktop, (folders_ / "Desktop").c_str(), DIR_SIZE);
    MakeShortcuts();
    EXPECT_TRUE(FolderNames(folders_ / "Desktop").empty());
    EXPECT_TRUE(FolderNames(folders_ / "Programs\\Moldar").empty());
}

} // namespace
