// The real setup.exe ends with exit code 0 however its dialog is left.
#include "test_support.h"

#include <gtest/gtest.h>

namespace
{

std::string SetupExe()
{
    return WindowsPath(EnvValue("ZELNAR_SETUP_EXE"));
}

TEST(SetupExit, EscEndsWithZero)
{
    RunningSetup running = StartSetup(SetupExe(), "");
    ASSERT_NE(running.dialog, (HWND)NULL);
    // The key goes to the control with the focus, as the keyboard would send it.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(running.process.dwThreadId, &info);
    HWND target = info.hwndFocus ? info.hwndFocus : GetDlgItem(running.dialog, IDOK);
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    EXPECT_EQ(WaitForSetupExit(running), 0u);
}

TEST(SetupExit, CancelEndsWithZero)
{
    RunningSetup running = StartSetup(SetupExe(), "");
    ASSERT_NE(running.dialog, (HWND)NULL);
    PostMessageA(GetDlgItem(running.dialog, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForSetupExit(running), 0u);
}

TEST(SetupExit, SystemMenuCloseEndsWithZero)
{
    RunningSetup running = StartSetup(SetupExe(), "");
    ASSERT_NE(running.dialog, (HWND)NULL);
    PostMessageA(running.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForSetupExit(running), 0u);
}

} // namespace
