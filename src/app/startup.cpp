#include "app/startup.h"

#include "app/state.h"
#include "app/text.h"
#include "resources/resource.h"
#include "ui/dialog.h"

#include <string.h>

static const char *const kPorts[] = {"COM2", "COM3", "COM4"};

void InitPaths(void)
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version; // 148 bytes
    GetVersionExA(&version);
    g_isNt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;

    // The installer's folder, with its trailing backslash.
    DWORD length = GetModuleFileNameA(NULL, g_paths.source, DIR_SIZE);
    g_paths.source[length < DIR_SIZE ? length : DIR_SIZE - 1] = '\0';
    char *slash = strrchr(g_paths.source, '\\');
    if (slash)
        slash[1] = '\0';

    GetSystemDirectoryA(g_paths.system, DIR_SIZE);
    FormatText(g_paths.drivers, DIR_SIZE, "%s\\Drivers", g_paths.system);
    GetWindowsDirectoryA(g_paths.windows, DIR_SIZE);

    lstrcpynA(g_paths.install, "c:\\Zelnar", DIR_SIZE);
    g_paths.desktop[0] = '\0';
    g_paths.programs[0] = '\0';
}

static void FillPortList(HWND dialog, int id, int selected)
{
    for (const char *port : kPorts)
        SendDlgItemMessageA(dialog, id, LB_ADDSTRING, 0, (LPARAM)port);
    SendDlgItemMessageA(dialog, id, LB_SETCURSEL, (WPARAM)selected, 0);
}

void SetDefaultChoices(HWND dialog)
{
    CheckDlgButton(dialog, IDC_PROGRAM_FILES, BST_CHECKED);
    CheckDlgButton(dialog, IDC_SETTINGS, BST_CHECKED);
    CheckDlgButton(dialog, IDC_RECIPES_DEMOS, BST_CHECKED);
    CheckDlgButton(dialog, IDC_DESKTOP_ICONS, BST_CHECKED);
    CheckRadioButton(dialog, IDC_CAMERA_A50, IDC_CAMERA_NONE, IDC_CAMERA_A1);
    FillPortList(dialog, IDC_CAMERA_PORT, 1);
    FillPortList(dialog, IDC_UV_PORT, 2);
}

int StartInstaller(HINSTANCE instance)
{
    InitPaths();
    g_listText = (char *)HeapAlloc(GetProcessHeap(), 0, LIST_TEXT_SIZE + 1);
    if (!g_listText)
        return 0;
    g_dialog = CreateDialogParamA(instance, IDD_INSTALLER, NULL, InstallerDialogProc, 0);
    if (!g_dialog) {
        StopInstaller();
        return 0;
    }
    SetDefaultChoices(g_dialog);
    return 1;
}

int RunMessageLoop(void)
{
    MSG message;
    BOOL fetched;
    // Only the quit message ends the loop; an error from the fetch is passed over.
    while ((fetched = GetMessageA(&message, NULL, 0, 0)) != 0) {
        if (fetched == -1)
            continue;
        if (!IsDialogMessageA(g_dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return (int)message.wParam;
}

void StopInstaller(void)
{
    if (g_dialog) {
        DestroyWindow(g_dialog);
        g_dialog = NULL;
    }
    if (g_listText) {
        HeapFree(GetProcessHeap(), 0, g_listText);
        g_listText = NULL;
    }
}

int RunInstaller(HINSTANCE instance)
{
    // A dialog or buffer that cannot be had leaves nothing that could end a loop: exit at once.
    if (!StartInstaller(instance))
        return 0;
    int exitCode = RunMessageLoop();
    StopInstaller();
    return exitCode;
}
