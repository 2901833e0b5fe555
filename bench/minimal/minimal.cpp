// The start-up reference of the benchmark: the least a Win32 program does to show a dialog. It
// opens an empty modeless dialog from its resource and runs a message loop until Cancel or Esc.
// Built a second time with the installer's own template (MINIMAL_TEMPLATE "DIAL"), it tells the
// cost of that template apart from the installer's own start-up work.
#include <windows.h>

#ifndef MINIMAL_TEMPLATE
#define MINIMAL_TEMPLATE "MINIMAL"
#endif

static INT_PTR CALLBACK MinimalDialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && wParam == IDCANCEL) {
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HWND dialog = CreateDialogParamA(instance, MINIMAL_TEMPLATE, NULL, MinimalDialogProc, 0);
    if (!dialog)
        return 1;
    MSG message;
    BOOL fetched;
    while ((fetched = GetMessageA(&message, NULL, 0, 0)) != 0) {
        if (fetched == -1)
            continue;
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    DestroyWindow(dialog);
    return (int)message.wParam;
}
