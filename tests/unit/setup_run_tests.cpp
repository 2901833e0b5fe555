// The real setup.exe, copied into a distribution folder and started from another working folder:
// the file list beside the installer is the one it installs, and a completed run ends with 0.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// Installs the program files only, into install, as a user would after choosing the directory.
DWORD InstallProgramFiles(const std::string &exe, const std::string &workingFolder,
                          const std::string &install)
{
    RunningSetup running = StartSetup(exe, workingFolder);
    if (!running.dialog)
        return 997;
    SendDlgItemMessageA(running.dialog, 1002, WM_SETTEXT, 0, (LPARAM)install.c_str());
    for (int box : {202, 203, 204})
        SendDlgItemMessageA(running.dialog, box, BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageA(GetDlgItem(running.dialog, IDOK), BM_CLICK, 0, 0);
    return WaitForSetupExit(running);
}

class SetupRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string built = WindowsPath(EnvValue("ZELNAR_SETUP_EXE"));
        ASSERT_FALSE(built.empty()) << "run through ctest, which names setup.exe";
        setup_ = dist_ / "setup.exe";
        ASSERT_TRUE(CopyFileA(built.c_str(), setup_.c_str(), FALSE));
        WriteTree(dist_.path(), {{"BESIDE.TXT", "from the list beside the installer"},
                                 {"WORKING.TXT", "from the list in the working folder"}});
        WriteFileBytes(working_ / "Velmarin.lst", "WORKING.TXT,working.txt,P\r\n");
    }
    TempDir dist_, working_, target_;
    std::string setup_;
};

TEST_F(SetupRunTest, ListBesideTheInstallerWinsOverTheWorkingFolders)
{
    WriteFileBytes(dist_ / "Velmarin.lst", "BESIDE.TXT,beside.txt,P\r\n");
    std::string install = target_ / "Zelnar";
    EXPECT_EQ(InstallProgramFiles(setup_, working_.path(), install), 0u);
    EXPECT_EQ(FolderNames(install), (std::vector<std::string>{"Data", "beside.txt"}));
}

TEST_F(SetupRunTest, ListInTheWorkingFolderServesWhenNoneLiesBesideTheInstaller)
{
    std::string install = target_ / "Zelnar";
    EXPECT_EQ(InstallProgramFiles(setup_, working_.path(), install), 0u);
    EXPECT_EQ(FolderNames(install), (std::vector<std::string>{"Data", "working.txt"}));
    EXPECT_EQ(ReadFileBytes(install + "\\working.txt"), "from the list in the working folder");
}

} // namespace
