// Loaded into setup.exe by the end-to-end driver as two hooks of its one thread. They only watch:
// - every text given to the status line (control 1003) is appended to the file named by
//   ZELNAR_E2E_STATUS_LOG, each text followed by a record separator (0x1E), so that a scenario
//   sees the whole sequence of messages, even those that the next one replaces at once;
// - every mouse button or key released that setup.exe takes from its queue is counted in the
//   shared memory named by ZELNAR_E2E_INPUT, so that the driver knows when its input was taken;
// - with ZELNAR_E2E_HOLD set, the program is held for a moment when its dialog is about to
//   disappear, so that the driver can save the dialog as it looked at the very end of the run.
#include <windows.h>

#include <string.h>

namespace
{

const int kStatusId = 1003;
const DWORD kHoldLimitMs = 20000;

bool IsInstallerDialog(HWND window)
{
    char caption[64];
    return GetParent(window) == NULL && GetWindowTextA(window, caption, sizeof caption) > 0 &&
           strcmp(caption, "Zelnar Installer") == 0;
}

void AppendStatus(const char *text)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ZELNAR_E2E_STATUS_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    WriteFile(file, "\x1e", 1, &written, NULL);
    CloseHandle(file);
}

// Tells the driver that the dialog is about to go and waits until it has been saved.
void HoldBeforeClosing(HWND dialog)
{
    static bool held;
    char name[MAX_PATH - 16];
    DWORD length = GetEnvironmentVariableA("ZELNAR_E2E_HOLD", name, sizeof name);
    if (held || length == 0 || length >= sizeof name)
        return;
    held = true;
    RedrawWindow(dialog, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    char eventName[MAX_PATH];
    lstrcpyA(eventName, name);
    lstrcatA(eventName, ".held");
    HANDLE heldEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
    lstrcpyA(eventName, name);
    lstrcatA(eventName, ".release");
    HANDLE releaseEvent = OpenEventA(SYNCHRONIZE, FALSE, eventName);
    if (heldEvent && releaseEvent) {
        SetEvent(heldEvent);
        WaitForSingleObject(releaseEvent, kHoldLimitMs);
    }
    if (heldEvent)
        CloseHandle(heldEvent);
    if (releaseEvent)
        CloseHandle(releaseEvent);
}

void CountInput()
{
    static volatile LONG *counter;
    if (!counter) {
        char name[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("ZELNAR_E2E_INPUT", name, sizeof name);
        if (length == 0 || length >= sizeof name)
            return;
        HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
        if (!mapping)
            return;
        // Kept for the life of the process, like the hook itself.
        counter = (volatile LONG *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG));
        CloseHandle(mapping);
        if (!counter)
            return;
    }
    InterlockedIncrement(counter);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ZelnarE2EInputHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        UINT message = ((const MSG *)lParam)->message;
        if (message == WM_LBUTTONUP || message == WM_NCLBUTTONUP || message == WM_KEYUP ||
            message == WM_SYSKEYUP)
            CountInput();
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ZelnarE2EHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT *message = (const CWPSTRUCT *)lParam;
        if (message->message == WM_SETTEXT && message->lParam &&
            GetDlgCtrlID(message->hwnd) == kStatusId && IsInstallerDialog(GetParent(message->hwnd)))
            AppendStatus((const char *)message->lParam);
        else if (message->message == WM_WINDOWPOSCHANGING && message->lParam &&
                 (((const WINDOWPOS *)message->lParam)->flags & SWP_HIDEWINDOW) &&
                 IsInstallerDialog(message->hwnd))
            HoldBeforeClosing(message->hwnd);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
