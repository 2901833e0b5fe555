// The end-to-end driver: starts the real setup.exe and uses it as a person would, with the mouse
// and the keyboard (real input through SendInput), following a script of one step per line.
//
//   e2e_driver.exe SCRIPT
//
// The installer runs on a desktop of the driver's own, so that no other program's windows take
// its input. (X has one keyboard focus per display, and Wine follows it: the runner gives each
// scenario a display of its own as well.) Every wait is bounded: a window that does not
// appear or a program that does not end fails the script with a message naming the step. On any
// failure setup.exe is ended and the driver exits with 1; a script that runs through exits with
// 0. Steps (ID is a control of the installer dialog; text arguments may be "quoted", with the
// escapes \n, \" and a doubled backslash):
//
//   status-log PATH         before start: record every status line text in PATH
//   hold-close              before start: hold the program as its dialog is about to close
//   start EXE [WORKDIR]     start EXE in WORKDIR and wait until its dialog is ready for input
//   click ID                move the mouse onto control ID of the dialog and click it
//   click-item ID INDEX     click item INDEX of list box ID
//   tick ID 0|1             click check box ID if it is not already as asked
//   key KEY...              press keys: ENTER ESC TAB SPACE UP DOWN LEFT RIGHT HOME END F1-F12,
//                           letters and digits, with SHIFT+, CTRL+ and ALT+ prefixes
//   type TEXT               type the text, character by character
//   wait-window CAPTION     wait for a window of setup.exe with that caption and make it the
//                           window that the next window steps look at
//   wait-no-window CAPTION  wait until no window of setup.exe has that caption
//   expect-window-text TEXT a control of the window last waited for shows TEXT
//   expect-window-item ID TEXT   control ID of that window shows TEXT
//   expect-text ID TEXT     control ID of the dialog shows TEXT (waits up to the step limit)
//   expect-visible ID 0|1   expect-checked ID 0|1   expect-selected ID INDEX   expect-focus ID
//   copy-file FROM TO       copy a file (to change the distribution between two steps)
//   hold-file PATH          open an existing file for reading and writing with no sharing and
//                           keep it open, as another program that has it locked would
//   release-file PATH       close a file held by hold-file
//   set-attributes PATH RHS set a file's attributes: any of the letters r (read-only), h
//                           (hidden) and s (system), or - for none (normal)
//   expect-attributes PATH RHS   the file's read-only, hidden and system attributes are
//                           exactly those letters (- for none); other attributes are not looked at
//   screenshot PATH         ask the runner to save the dialog as PATH (a PNG): writes
//                           PATH.request with the dialog's X window id and the status line's
//                           place in it, then waits for PATH
//   wait-held               (after hold-close) wait until the program holds before closing
//   release                 let a held program close
//   wait-exit CODE          wait until setup.exe ends; its exit code must be CODE
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{

const DWORD kStepLimitMs = 10000;  // any one wait
const DWORD kStartLimitMs = 30000; // the dialog's appearance, a run, the program's end
const DWORD kPollMs = 10;

struct Driver {
    int line = 0;
    std::string step;
    std::string desktopName;
    HDESK desktop = NULL;
    HANDLE job = NULL;
    PROCESS_INFORMATION process = {};
    bool started = false;
    HWND dialog = NULL;
    HWND front = NULL; // the window that the window steps look at
    std::string statusLog;
    std::string holdName;
    HANDLE heldEvent = NULL;
    HANDLE releaseEvent = NULL;
    volatile LONG *inputsTaken = NULL; // counted by the hook: buttons and keys released
    std::vector<std::pair<std::string, HANDLE>> heldFiles;
};

Driver g;

[[noreturn]] void Fail(const char *format, ...)
{
    char message[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    printf("FAIL line %d (%s): %s\n", g.line, g.step.c_str(), message);
    fflush(stdout);
    if (g.started) {
        TerminateProcess(g.process.hProcess, 255);
        WaitForSingleObject(g.process.hProcess, 5000);
    }
    exit(1);
}

// Shows control characters the way the scripts write them.
std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

// Splits a script line into words; "quoted" words keep their spaces and know \n, \\ and \".
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size() || line[i] == '#')
            break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    char next = line[++i];
                    word += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
                } else {
                    word += line[i];
                }
                ++i;
            }
            if (i >= line.size())
                Fail("unterminated quotation");
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

int Number(const std::string &word)
{
    char *end;
    long value = strtol(word.c_str(), &end, 10);
    if (word.empty() || *end)
        Fail("not a number: %s", word.c_str());
    return (int)value;
}

void NeedArgs(const std::vector<std::string> &words, size_t count)
{
    if (words.size() != count + 1)
        Fail("expects %u argument(s)", (unsigned)count);
}

void NeedStarted()
{
    if (!g.started)
        Fail("setup.exe has not been started");
}

bool Exited()
{
    return WaitForSingleObject(g.process.hProcess, 0) == WAIT_OBJECT_0;
}

// Polls until test() holds; false once the limit has passed.
template <typename Test> bool WaitFor(DWORD limitMs, Test test)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (test())
            return true;
        if (GetTickCount() - start >= limitMs)
            return false;
        Sleep(kPollMs);
    }
}

// --- Windows of setup.exe -------------------------------------------------------------------

struct WindowSearch {
    DWORD pid;
    const char *caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch *search = (WindowSearch *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char caption[256];
    if (pid == search->pid && IsWindowVisible(window) &&
        GetWindowTextA(window, caption, sizeof caption) >= 0 &&
        strcmp(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSetupWindow(const char *caption)
{
    WindowSearch search = {g.process.dwProcessId, caption, NULL};
    EnumDesktopWindows(g.desktop, MatchWindow, (LPARAM)&search);
    return search.found;
}

HWND Control(int id)
{
    HWND control = GetDlgItem(g.dialog, id);
    if (!control)
        Fail("the dialog has no control %d", id);
    return control;
}

// The text as the window manager holds it: readable even while setup.exe is busy.
std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The text as the control itself gives it (edit controls), through a message.
std::string ControlMessageText(HWND window)
{
    char text[1024] = "";
    DWORD_PTR result;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG,
                             kStepLimitMs, &result))
        Fail("no answer to WM_GETTEXT");
    return text;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kStepLimitMs,
                             &result))
        Fail("setup.exe did not answer message 0x%x within %lu ms", message, kStepLimitMs);
    return (LRESULT)result;
}

bool Responds(DWORD limitMs)
{
    DWORD_PTR result;
    return SendMessageTimeoutA(g.dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, limitMs, &result) != 0;
}

bool Held()
{
    return g.heldEvent && WaitForSingleObject(g.heldEvent, 0) == WAIT_OBJECT_0;
}

// Waits until setup.exe has taken the input sent after `before` releases were counted (`count`
// more), and has done with it: it is back at a message loop (its own, or a modal one), or it has
// ended, or it holds before closing.
void Settle(LONG before = 0, LONG count = 0)
{
    auto gone = [] { return Exited() || !IsWindow(g.dialog) || Held(); };
    if (count > 0 &&
        !WaitFor(kStepLimitMs, [&] { return gone() || *g.inputsTaken - before >= count; }))
        Fail("setup.exe took %ld of %ld input events within %lu ms", *g.inputsTaken - before, count,
             kStepLimitMs);
    if (!WaitFor(kStartLimitMs, [&] { return gone() || Responds(100); }))
        Fail("setup.exe is still busy after %lu ms", kStartLimitMs);
}

DWORD SetupThreadFocusId(HWND *focus)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(g.process.dwThreadId, &info))
        return 0;
    *focus = info.hwndFocus;
    return info.hwndFocus ? (DWORD)GetDlgCtrlID(info.hwndFocus) : 0;
}

HWND SetupActiveWindow()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(g.process.dwThreadId, &info) ? info.hwndActive : NULL;
}

// Makes a window of setup.exe the foreground window and waits until setup.exe has activated it
// itself: input that arrives while it is still being activated can lose a click.
void Activate(HWND window)
{
    bool ok = WaitFor(kStepLimitMs, [&] {
        if (GetForegroundWindow() != window) {
            SetForegroundWindow(window);
            return false;
        }
        return SetupActiveWindow() == window;
    });
    if (!ok)
        Fail("could not bring %s to the foreground", Quoted(WindowText(window)).c_str());
    Settle();
}

// Input goes to the foreground window: make it what the user would be looking at (the window
// waited for last, else the dialog).
void BringSetupForward()
{
    NeedStarted();
    Activate(g.front && IsWindow(g.front) && IsWindowVisible(g.front) ? g.front : g.dialog);
}

// --- Input ----------------------------------------------------------------------------------

void SendInputs(std::vector<INPUT> &inputs)
{
    if (inputs.empty())
        return;
    UINT sent = SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        Fail("SendInput took %u of %u events", sent, (unsigned)inputs.size());
}

INPUT KeyInput(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_HOME ||
        vk == VK_END)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

WORD VirtualKey(const std::string &name)
{
    static const struct {
        const char *name;
        WORD vk;
    } kNames[] = {{"ENTER", VK_RETURN}, {"ESC", VK_ESCAPE},    {"TAB", VK_TAB},
                  {"SPACE", VK_SPACE},  {"UP", VK_UP},         {"DOWN", VK_DOWN},
                  {"LEFT", VK_LEFT},    {"RIGHT", VK_RIGHT},   {"HOME", VK_HOME},
                  {"END", VK_END},      {"BACKSPACE", VK_BACK}};
    for (const auto &known : kNames)
        if (name == known.name)
            return known.vk;
    if (name.size() >= 2 && name[0] == 'F' && atoi(name.c_str() + 1) >= 1 &&
        atoi(name.c_str() + 1) <= 12)
        return (WORD)(VK_F1 + atoi(name.c_str() + 1) - 1);
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        return (WORD)name[0];
    Fail("unknown key %s", name.c_str());
}

// Presses a key with its modifiers; returns how many keys were released.
LONG PressKey(const std::string &chord)
{
    std::vector<WORD> modifiers;
    std::string rest = chord;
    for (;;) {
        size_t plus = rest.find('+');
        if (plus == std::string::npos || plus == 0)
            break;
        std::string modifier = rest.substr(0, plus);
        if (modifier == "SHIFT")
            modifiers.push_back(VK_SHIFT);
        else if (modifier == "CTRL")
            modifiers.push_back(VK_CONTROL);
        else if (modifier == "ALT")
            modifiers.push_back(VK_MENU);
        else
            Fail("unknown modifier %s", modifier.c_str());
        rest = rest.substr(plus + 1);
    }
    WORD vk = VirtualKey(rest);
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    for (size_t i = modifiers.size(); i-- > 0;)
        inputs.push_back(KeyInput(modifiers[i], true));
    SendInputs(inputs);
    return (LONG)modifiers.size() + 1;
}

// Types the text; returns how many keys were released.
LONG TypeText(const std::string &text)
{
    std::vector<INPUT> inputs;
    for (unsigned char c : text) {
        for (int up = 0; up < 2; ++up) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    SendInputs(inputs);
    return (LONG)text.size();
}

INPUT MouseInput(DWORD flags, int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // Absolute positions count 65536 steps across the screen; rounding up lands on the pixel.
    input.mi.dx = (LONG)(((long long)x * 65536 + width - 1) / width);
    input.mi.dy = (LONG)(((long long)y * 65536 + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// Clicks the screen point on `target`, once no other window covers the point. (Which child the
// click lands on is setup.exe's own hit testing: a group box lets clicks through to the boxes
// inside it, although it lies above them.) Returns how many buttons were released.
LONG ClickAt(POINT point, HWND target)
{
    HWND top = GetAncestor(target, GA_ROOT);
    Activate(top);
    if (!WaitFor(kStepLimitMs, [&] { return GetAncestor(WindowFromPoint(point), GA_ROOT) == top; }))
        Fail("the point %ld,%ld is covered by %s", point.x, point.y,
             Quoted(WindowText(WindowFromPoint(point))).c_str());
    std::vector<INPUT> inputs = {MouseInput(MOUSEEVENTF_MOVE, point.x, point.y)};
    SendInputs(inputs);
    if (!WaitFor(kStepLimitMs, [&] {
            POINT at;
            GetCursorPos(&at);
            return at.x == point.x && at.y == point.y;
        }))
        Fail("the mouse did not reach %ld,%ld", point.x, point.y);
    // The press and the release carry the point too: a pointer motion that the X server reports
    // late (say, from where the pointer was when the dialog appeared) cannot move the click.
    inputs = {MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, point.x, point.y),
              MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, point.x, point.y)};
    SendInputs(inputs);
    return 1;
}

LONG ClickControl(int id)
{
    HWND control = Control(id);
    if (!IsWindowVisible(control))
        Fail("control %d is hidden", id);
    RECT rect;
    GetWindowRect(control, &rect);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    // A check box or radio button is clicked on its box, at the left end of the control.
    char className[32] = "";
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (lstrcmpiA(className, "Button") == 0 &&
        (style == BS_AUTOCHECKBOX || style == BS_CHECKBOX || style == BS_AUTORADIOBUTTON ||
         style == BS_RADIOBUTTON))
        centre.x = rect.left + 6;
    return ClickAt(centre, control);
}

LONG ClickListItem(int id, int index)
{
    HWND list = Control(id);
    int count = (int)Ask(list, LB_GETCOUNT);
    if (index < 0 || index >= count)
        Fail("list %d has %d items, no item %d", id, count, index);
    int top = (int)Ask(list, LB_GETTOPINDEX);
    int height = (int)Ask(list, LB_GETITEMHEIGHT, 0);
    RECT client;
    GetClientRect(list, &client);
    POINT point = {client.left + 8, (index - top) * height + height / 2};
    if (point.y >= client.bottom)
        Fail("item %d of list %d is scrolled out of view", index, id);
    ClientToScreen(list, &point);
    return ClickAt(point, list);
}

// --- Steps ----------------------------------------------------------------------------------

std::string WindowsPathOfThisProgram(const char *name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        Fail("cannot find the driver's own folder");
    char *slash = strrchr(path, '\\');
    if (slash)
        slash[1] = '\0';
    return std::string(path) + name;
}

void CreateOwnDesktop()
{
    char name[64];
    snprintf(name, sizeof name, "zelnar-e2e-%lu", GetCurrentProcessId());
    g.desktopName = name;
    g.desktop = CreateDesktopA(name, NULL, NULL, 0, GENERIC_ALL, NULL);
    if (!g.desktop || !SetThreadDesktop(g.desktop))
        Fail("cannot create a desktop of the driver's own (error %lu)", GetLastError());
}

void Start(const std::string &exe, const std::string &workDir)
{
    if (g.started)
        Fail("setup.exe was already started");
    CreateOwnDesktop();

    // setup.exe ends with the driver, whatever happens to the driver.
    g.job = CreateJobObjectA(NULL, NULL);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (g.job)
        SetInformationJobObject(g.job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    SetEnvironmentVariableA("ZELNAR_E2E_STATUS_LOG",
                            g.statusLog.empty() ? NULL : g.statusLog.c_str());
    SetEnvironmentVariableA("ZELNAR_E2E_HOLD", g.holdName.empty() ? NULL : g.holdName.c_str());

    // The counter of input taken, shared with the hook in setup.exe.
    char inputName[64];
    snprintf(inputName, sizeof inputName, "zelnar-e2e-input-%lu", GetCurrentProcessId());
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LONG), inputName);
    g.inputsTaken =
        mapping ? (volatile LONG *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG))
                : NULL;
    if (!g.inputsTaken)
        Fail("cannot share the input counter (error %lu)", GetLastError());
    SetEnvironmentVariableA("ZELNAR_E2E_INPUT", inputName);

    std::string hookPath = WindowsPathOfThisProgram("e2e_status_hook.dll");
    HMODULE hookModule = LoadLibraryA(hookPath.c_str());
    HOOKPROC hook =
        hookModule ? (HOOKPROC)(void *)GetProcAddress(hookModule, "ZelnarE2EHook") : NULL;
    HOOKPROC inputHook =
        hookModule ? (HOOKPROC)(void *)GetProcAddress(hookModule, "ZelnarE2EInputHook") : NULL;
    if (!hook || !inputHook)
        Fail("cannot load %s", hookPath.c_str());

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string desktopPath = "WinSta0\\" + g.desktopName;
    startup.lpDesktop = &desktopPath[0];
    std::string command = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                        workDir.empty() ? NULL : workDir.c_str(), &startup, &g.process))
        Fail("cannot start %s in %s (error %lu)", exe.c_str(), workDir.c_str(), GetLastError());
    g.started = true;
    if (g.job)
        AssignProcessToJobObject(g.job, g.process.hProcess);
    if (!SetWindowsHookExA(WH_CALLWNDPROC, hook, hookModule, g.process.dwThreadId) ||
        !SetWindowsHookExA(WH_GETMESSAGE, inputHook, hookModule, g.process.dwThreadId))
        Fail("cannot hook setup.exe's thread (error %lu)", GetLastError());
    ResumeThread(g.process.hThread);

    if (!WaitFor(kStartLimitMs,
                 [] {
                     g.dialog = FindSetupWindow("Zelnar Installer");
                     return g.dialog != NULL || Exited();
                 }) ||
        !g.dialog)
        Fail(Exited() ? "setup.exe ended without showing its dialog"
                      : "the dialog \"Zelnar Installer\" did not appear within %lu ms",
             kStartLimitMs);
    if (WaitForInputIdle(g.process.hProcess, kStartLimitMs) != 0)
        Fail("setup.exe did not become ready for input");
    g.front = g.dialog;
    BringSetupForward();
}

void Screenshot(const std::string &png)
{
    NeedStarted();
    // The runner takes the picture with ImageMagick from the X window that shows the dialog.
    HANDLE xWindow = GetPropA(g.dialog, "__wine_x11_whole_window");
    if (!xWindow)
        Fail("the dialog has no X window");
    // The request names the window and where the status line lies in it.
    RECT rect, status;
    GetWindowRect(g.dialog, &rect);
    GetWindowRect(Control(1003), &status);
    DeleteFileA(png.c_str());
    // Written under another name and then renamed, so that the runner never reads it half done.
    std::string request = png + ".request";
    std::string partial = request + ".part";
    FILE *file = fopen(partial.c_str(), "w");
    if (!file)
        Fail("cannot write %s", partial.c_str());
    fprintf(file, "0x%lx status %ld %ld %ld %ld\n", (unsigned long)(ULONG_PTR)xWindow,
            status.left - rect.left, status.top - rect.top, status.right - status.left,
            status.bottom - status.top);
    fclose(file);
    if (!MoveFileExA(partial.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING))
        Fail("cannot write %s", request.c_str());
    bool done = WaitFor(kStartLimitMs, [&] {
        return GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesA(png.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    DeleteFileA(request.c_str());
    if (!done)
        Fail("no screenshot was saved as %s (is the runner watching?)", png.c_str());
}

bool ChildWithText(HWND parent, const std::string &text)
{
    struct Search {
        const std::string *text;
        bool found;
    } search = {&text, false};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            Search *s = (Search *)param;
            if (WindowText(child) == *s->text) {
                s->found = true;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&search);
    return search.found;
}

const struct {
    char letter;
    DWORD attribute;
} kAttributeLetters[] = {
    {'r', FILE_ATTRIBUTE_READONLY}, {'h', FILE_ATTRIBUTE_HIDDEN}, {'s', FILE_ATTRIBUTE_SYSTEM}};

DWORD AttributesOfLetters(const std::string &letters)
{
    DWORD attributes = 0;
    if (letters == "-")
        return 0;
    for (char c : letters) {
        bool known = false;
        for (const auto &a : kAttributeLetters)
            if (c == a.letter) {
                attributes |= a.attribute;
                known = true;
            }
        if (!known)
            Fail("unknown attribute letter %c (r, h, s or -)", c);
    }
    return attributes;
}

std::string LettersOfAttributes(DWORD attributes)
{
    std::string letters;
    for (const auto &a : kAttributeLetters)
        if (attributes & a.attribute)
            letters += a.letter;
    return letters.empty() ? "-" : letters;
}

// Waits for a condition on the dialog; reports what was seen instead when it does not come.
template <typename Read> void Expect(const char *what, const std::string &wanted, Read read)
{
    NeedStarted();
    std::string seen;
    if (!WaitFor(kStepLimitMs, [&] {
            seen = read();
            return seen == wanted;
        }))
        Fail("%s: expected %s, found %s", what, Quoted(wanted).c_str(), Quoted(seen).c_str());
}

void WaitExit(int code)
{
    NeedStarted();
    if (WaitForSingleObject(g.process.hProcess, kStartLimitMs) != WAIT_OBJECT_0) {
        std::string status = IsWindow(g.dialog) ? WindowText(Control(1003)) : "";
        Fail("setup.exe did not end within %lu ms (status line %s)", kStartLimitMs,
             Quoted(status).c_str());
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(g.process.hProcess, &exitCode);
    if ((int)exitCode != code)
        Fail("setup.exe ended with exit code %lu, expected %d", exitCode, code);
    CloseHandle(g.process.hProcess);
    CloseHandle(g.process.hThread);
    g.started = false;
}

void RunStep(const std::vector<std::string> &w)
{
    const std::string &name = w[0];
    if (name == "status-log") {
        NeedArgs(w, 1);
        g.statusLog = w[1];
    } else if (name == "hold-close") {
        NeedArgs(w, 0);
        char holdName[64];
        snprintf(holdName, sizeof holdName, "zelnar-e2e-hold-%lu", GetCurrentProcessId());
        g.holdName = holdName;
        g.heldEvent = CreateEventA(NULL, TRUE, FALSE, (g.holdName + ".held").c_str());
        g.releaseEvent = CreateEventA(NULL, TRUE, FALSE, (g.holdName + ".release").c_str());
        if (!g.heldEvent || !g.releaseEvent)
            Fail("cannot create the hold events");
    } else if (name == "start") {
        if (w.size() != 2 && w.size() != 3)
            Fail("expects EXE [WORKDIR]");
        Start(w[1], w.size() == 3 ? w[2] : "");
    } else if (name == "click") {
        NeedArgs(w, 1);
        NeedStarted();
        LONG before = *g.inputsTaken;
        Settle(before, ClickControl(Number(w[1])));
    } else if (name == "click-item") {
        NeedArgs(w, 2);
        NeedStarted();
        LONG before = *g.inputsTaken;
        Settle(before, ClickListItem(Number(w[1]), Number(w[2])));
    } else if (name == "tick") {
        NeedArgs(w, 2);
        NeedStarted();
        int id = Number(w[1]), wanted = Number(w[2]);
        if ((Ask(Control(id), BM_GETCHECK) == BST_CHECKED) != (wanted != 0)) {
            LONG before = *g.inputsTaken;
            Settle(before, ClickControl(id));
        }
        Expect("check state", w[2], [&] {
            return std::to_string(Ask(Control(id), BM_GETCHECK) == BST_CHECKED ? 1 : 0);
        });
    } else if (name == "key") {
        if (w.size() < 2)
            Fail("expects at least one key");
        BringSetupForward();
        for (size_t i = 1; i < w.size(); ++i) {
            LONG before = *g.inputsTaken;
            Settle(before, PressKey(w[i]));
        }
    } else if (name == "type") {
        NeedArgs(w, 1);
        BringSetupForward();
        LONG before = *g.inputsTaken;
        Settle(before, TypeText(w[1]));
    } else if (name == "wait-window") {
        NeedArgs(w, 1);
        NeedStarted();
        HWND found = NULL;
        if (!WaitFor(kStepLimitMs, [&] { return (found = FindSetupWindow(w[1].c_str())) != NULL; }))
            Fail("no window %s appeared within %lu ms", Quoted(w[1]).c_str(), kStepLimitMs);
        g.front = found;
        // The window is ready once its thread is back at a message loop.
        Settle();
    } else if (name == "wait-no-window") {
        NeedArgs(w, 1);
        NeedStarted();
        if (!WaitFor(kStepLimitMs, [&] { return FindSetupWindow(w[1].c_str()) == NULL; }))
            Fail("the window %s is still there after %lu ms", Quoted(w[1]).c_str(), kStepLimitMs);
        g.front = g.dialog;
        Settle();
    } else if (name == "expect-window-text") {
        NeedArgs(w, 1);
        if (!g.front || g.front == g.dialog || !IsWindow(g.front))
            Fail("no window waited for");
        if (!WaitFor(kStepLimitMs, [&] { return ChildWithText(g.front, w[1]); }))
            Fail("the window %s shows no text %s", Quoted(WindowText(g.front)).c_str(),
                 Quoted(w[1]).c_str());
    } else if (name == "expect-window-item") {
        NeedArgs(w, 2);
        if (!g.front || !IsWindow(g.front))
            Fail("no window waited for");
        HWND item = GetDlgItem(g.front, Number(w[1]));
        if (!item)
            Fail("the window %s has no control %s", Quoted(WindowText(g.front)).c_str(),
                 w[1].c_str());
        Expect("window control text", w[2], [&] { return ControlMessageText(item); });
    } else if (name == "expect-text") {
        NeedArgs(w, 2);
        NeedStarted();
        HWND control = Control(Number(w[1]));
        Expect("control text", w[2], [&] { return WindowText(control); });
    } else if (name == "expect-visible") {
        NeedArgs(w, 2);
        NeedStarted();
        HWND control = Control(Number(w[1]));
        Expect("visibility", w[2],
               [&] { return std::string(IsWindowVisible(control) ? "1" : "0"); });
    } else if (name == "expect-checked") {
        NeedArgs(w, 2);
        NeedStarted();
        HWND control = Control(Number(w[1]));
        Expect("check state", w[2],
               [&] { return std::to_string(Ask(control, BM_GETCHECK) == BST_CHECKED ? 1 : 0); });
    } else if (name == "expect-selected") {
        NeedArgs(w, 2);
        NeedStarted();
        HWND control = Control(Number(w[1]));
        Expect("selected item", w[2],
               [&] { return std::to_string((int)Ask(control, LB_GETCURSEL)); });
    } else if (name == "expect-focus") {
        NeedArgs(w, 1);
        NeedStarted();
        Expect("focus", w[1], [&] {
            HWND focus = NULL;
            DWORD id = SetupThreadFocusId(&focus);
            return focus ? std::to_string((int)id) : std::string("none");
        });
    } else if (name == "copy-file") {
        NeedArgs(w, 2);
        if (!CopyFileA(w[1].c_str(), w[2].c_str(), FALSE))
            Fail("cannot copy %s to %s (error %lu)", w[1].c_str(), w[2].c_str(), GetLastError());
    } else if (name == "hold-file") {
        NeedArgs(w, 1);
        HANDLE file = CreateFileA(w[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            Fail("cannot open %s without sharing (error %lu)", w[1].c_str(), GetLastError());
        g.heldFiles.push_back({w[1], file});
    } else if (name == "release-file") {
        NeedArgs(w, 1);
        bool found = false;
        for (size_t i = 0; i < g.heldFiles.size() && !found; ++i)
            if (g.heldFiles[i].first == w[1]) {
                CloseHandle(g.heldFiles[i].second);
                g.heldFiles.erase(g.heldFiles.begin() + (long)i);
                found = true;
            }
        if (!found)
            Fail("%s is not held", w[1].c_str());
    } else if (name == "set-attributes") {
        NeedArgs(w, 2);
        DWORD attributes = AttributesOfLetters(w[2]);
        if (!SetFileAttributesA(w[1].c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
            Fail("cannot set the attributes of %s (error %lu)", w[1].c_str(), GetLastError());
    } else if (name == "expect-attributes") {
        NeedArgs(w, 2);
        DWORD attributes = GetFileAttributesA(w[1].c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            Fail("cannot read the attributes of %s (error %lu)", w[1].c_str(), GetLastError());
        std::string seen = LettersOfAttributes(attributes);
        if (seen != LettersOfAttributes(AttributesOfLetters(w[2])))
            Fail("%s has the attributes %s, expected %s", w[1].c_str(), seen.c_str(), w[2].c_str());
    } else if (name == "screenshot") {
        NeedArgs(w, 1);
        Screenshot(w[1]);
    } else if (name == "wait-held") {
        NeedArgs(w, 0);
        NeedStarted();
        if (!g.heldEvent)
            Fail("hold-close was not asked for before start");
        if (WaitForSingleObject(g.heldEvent, kStartLimitMs) != WAIT_OBJECT_0)
            Fail("setup.exe did not come to close its dialog within %lu ms", kStartLimitMs);
    } else if (name == "release") {
        NeedArgs(w, 0);
        if (!g.releaseEvent)
            Fail("hold-close was not asked for before start");
        SetEvent(g.releaseEvent);
    } else if (name == "wait-exit") {
        NeedArgs(w, 1);
        WaitExit(Number(w[1]));
    } else {
        Fail("unknown step");
    }
}

} // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc != 2) {
        fprintf(stderr, "usage: e2e_driver SCRIPT\n");
        return 2;
    }
    FILE *script = fopen(argv[1], "rb");
    if (!script) {
        fprintf(stderr, "e2e_driver: cannot open %s\n", argv[1]);
        return 2;
    }
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, script)) {
        ++g.line;
        std::string text = buffer;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        g.step = text;
        std::vector<std::string> words = Words(text);
        if (words.empty())
            continue;
        DWORD start = GetTickCount();
        RunStep(words);
        printf("ok %4lu ms  %s\n", GetTickCount() - start, text.c_str());
    }
    fclose(script);
    g.step = "end of script";
    if (g.started && !Exited())
        Fail("setup.exe is still running at the end of the script");
    return 0;
}
