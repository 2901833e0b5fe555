// The real setup.exe, copied into a distribution folder and started from another working folder:
// the file list beside the installer is the one it installs, and a completed run ends with 0.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct Running {
    PROCESS_INFORMATION process;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    Running *running = (Running *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char caption[64];
    if (pid == running->process.dwProcessId && GetWindowTextA(window, caption, sizeof caption) &&
        lstrcmpA(caption, "Zelnar Installer") == 0) {
        running->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// Starts exe with workingFolder as its current directory and waits for its dialog.
Running Start(const std::string &exe, const std::string &workingFolder)
{
    Running running = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    EXPECT_TRUE(CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL,
                               workingFolder.c_str(), &startup, &running.process))
        << exe;
    for (int i = 0; i < 300 && !running.dialog; ++i) {
        EnumWindows(FindDialog, (LPARAM)&running);
        if (!running.dialog)
            Sleep(50);
    }
    EXPECT_NE(running.dialog, (HWND)NULL) << "the dialog did not appear";
    // The dialog shows before start-up sets its choices; the UV port list is filled last.
    for (int i = 0; i < 300 && running.dialog; ++i) {
        if (SendDlgItemMessageA(running.dialog, 1017, LB_GETCURSEL, 0, 0) == 2)
            break;
        Sleep(20);
    }
    return running;
}

DWORD WaitForExit(Running &running)
{
    DWORD code = 999;
    if (WaitForSingleObject(running.process.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(running.process.hProcess, 998);
        ADD_FAILURE() << "setup.exe did not end";
    }
    GetExitCodeProcess(running.process.hProcess, &code);
    CloseHandle(running.process.hProcess);
    CloseHandle(running.process.hThread);
    return code;
}

// Installs the program files only, into install, as a user would after choosing the directory.
DWORD InstallProgramFiles(const std::string &exe, const std::string &workingFolder,
                          const std::string &install)
{
    Running running = Start(exe, workingFolder);
    if (!running.dialog)
        return 997;
    SendDlgItemMessageA(running.dialog, 1002, WM_SETTEXT, 0, (LPARAM)install.c_str());
    for (int box : {202, 203, 204})
        SendDlgItemMessageA(running.dialog, box, BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageA(GetDlgItem(running.dialog, IDOK), BM_CLICK, 0, 0);
    return WaitForExit(running);
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
