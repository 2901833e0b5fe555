// The Windows 95 family branch as Wine presents it to this program (its name is set to report
// Windows 98 in the test prefix): the platform flag and the per-user shell folders.
#include "test_support.h"

#include "app/startup.h"
#include "app/state.h"
#include "install/shortcuts.h"

#include <objbase.h>

#include <gtest/gtest.h>

namespace
{

TEST(Windows95Family, VersionIsTheWindows95Platform)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_WINDOWS)
        << "the prefix does not report Windows 98 for win9x_tests.exe";
    g_isNt = 1;
    InitPaths();
    EXPECT_EQ(g_isNt, 0);
}

TEST(Windows95Family, LinksGoToTheUsersFolders)
{
    OpenInstaller();
    ASSERT_EQ(g_isNt, 0);
    CoInitialize(NULL);
    TempDir install, folders;
    lstrcpynA(g_paths.install, install.path().c_str(), DIR_SIZE);
    for (const char *name : {"Desktop", "Programs", "User Desktop", "User Programs"})
        CreateDirectoryA((folders / name).c_str(), NULL);
    FindFoldersIn(folders);
    CreateDirectoryA(g_paths.programs, NULL);
    CreateShortcuts();

    EXPECT_EQ(FolderNames(folders / "User Desktop"),
              (std::vector<std::string>{"Reprocessing.lnk", "Zelnar Help.lnk", "Zelnar.lnk"}));
    EXPECT_EQ(FolderNames(folders / "User Programs\\Moldar"),
              (std::vector<std::string>{"Reprocessing Help.lnk", "Reprocessing.lnk",
                                        "Zelnar Help.lnk", "Zelnar.lnk"}));
    EXPECT_TRUE(FolderNames(folders / "Desktop").empty());
    EXPECT_TRUE(FolderNames(folders / "Programs").empty());
    LinkInfo link = ReadLink(folders / "User Desktop\\Zelnar.lnk");
    EXPECT_TRUE(link.found);
    EXPECT_STRCASEEQ(link.target.c_str(), (install / "velmarin.exe").c_str());
    EXPECT_EQ(link.description, "Shortcut to Zelnar");
    EXPECT_EQ(link.workingFolder, install.path());
    CoUninitialize();
    CloseInstaller();
}

} // namespace
