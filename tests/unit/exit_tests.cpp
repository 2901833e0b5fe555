// The real setup.exe ends with exit code 0 however its dialog is left.
#include "test_support.h"

#include <gtest/gtest.h>

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

Running StartSetup()
{
    Running running = {};
    std::string exe = WindowsPath(EnvValue("ZELNAR_SETUP_EXE"));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    EXPECT_TRUE(CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &running.process))
        << exe;
    for (int i = 0; i < 300 && !running.dialog; ++i) {
        EnumWindows(FindDialog, (LPARAM)&running);
        if (!running.dialog)
            Sleep(50);
    }
    EXPECT_NE(running.dialog, (HWND)NULL) << "the dialog did not appear";
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

TEST(SetupExit, EscEndsWithZero)
{
    Running running = StartSetup();
    ASSERT_NE(running.dialog, (HWND)NULL);
    // The key goes to the control with the focus, as the keyboard would send it.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(running.process.dwThreadId, &info);
    HWND target = info.hwndFocus ? info.hwndFocus : GetDlgItem(running.dialog, IDOK);
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_EQ(WaitForExit(running), 0u);
}

TEST(SetupExit, CancelEndsWithZero)
{
    Running running = StartSetup();
    ASSERT_NE(running.dialog, (HWND)NULL);
    PostMessageA(GetDlgItem(running.dialog, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(running), 0u);
}

TEST(SetupExit, SystemMenuCloseEndsWithZero)
{
    Running running = StartSetup();
    ASSERT_NE(running.dialog, (HWND)NULL);
    PostMessageA(running.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForExit(running), 0u);
}

} // namespace
