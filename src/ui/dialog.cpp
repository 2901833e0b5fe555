#include "ui/dialog.h"

#include "app/state.h"
#include "install/install_command.h"
#include "resources/resource.h"
#include "ui/chooser.h"

static const COLORREF kStatusColour = RGB(0, 128, 0);

static INT_PTR OnCommand(HWND dialog, WPARAM command)
{
    // The whole parameter is compared: only a click or its keyboard equivalent counts.
    switch (command) {
    case IDOK:
        RunInstall();
        return TRUE;
    case IDCANCEL:
        PostQuitMessage(0);
        return TRUE;
    case IDC_BROWSE:
        BrowseForInstallDir(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR OnStaticColour(HDC dc, HWND control)
{
    if (GetDlgCtrlID(control) != IDC_STATUS)
        return FALSE;
    SetTextColor(dc, kStatusColour);
    return (INT_PTR)GetStockObject(WHITE_BRUSH);
}

INT_PTR CALLBACK InstallerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_INSTALL_DIR, g_paths.install);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return OnStaticColour((HDC)wParam, (HWND)lParam);
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    default:
        return FALSE;
    }
}
