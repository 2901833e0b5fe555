// Benchmark launcher: starts a dialog program, times process start to its dialog visible and to
// the program idle in its message loop, optionally fills the install directory, sets the
// installation boxes and presses Install, then waits for the exit. Reports one line of key=value
// pairs on stdout (times in milliseconds, memory in bytes); exit code 0 when all went as asked.
//
//   bench_launch [--install] [--dir WINDOWS_PATH] [--boxes 201,203,...] [--timeout MS] EXE
//
// Without --install the dialog is closed with command 2 (Cancel) once it is idle.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{

const int kBoxes[] = {201, 202, 203, 204};
const int kInstallDirControl = 1002;

struct Options {
    const char *exe = NULL;
    const char *dir = NULL;
    int install = 0;
    int boxesGiven = 0;
    int boxes[4] = {0, 0, 0, 0}; // 1: tick the box of kBoxes at the same index
    DWORD timeout = 120000;
};

struct Search {
    DWORD pid;
    HWND found;
};

LARGE_INTEGER g_frequency;

double Milliseconds(const LARGE_INTEGER &from, const LARGE_INTEGER &to)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)g_frequency.QuadPart;
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

int ParseBoxes(const char *text, Options *options)
{
    options->boxesGiven = 1;
    while (*text) {
        char *end;
        long id = strtol(text, &end, 10);
        if (end == text)
            return 0;
        int known = 0;
        for (int i = 0; i < 4; ++i) {
            if (kBoxes[i] == id) {
                options->boxes[i] = 1;
                known = 1;
            }
        }
        if (!known)
            return 0;
        text = *end == ',' ? end + 1 : end;
    }
    return 1;
}

int ParseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--install") == 0)
            options->install = 1;
        else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            options->dir = argv[++i];
        else if (strcmp(argv[i], "--boxes") == 0 && i + 1 < argc) {
            if (!ParseBoxes(argv[++i], options))
                return 0;
        } else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            options->timeout = (DWORD)strtoul(argv[++i], NULL, 10);
        else if (argv[i][0] != '-' && !options->exe)
            options->exe = argv[i];
        else
            return 0;
    }
    return options->exe != NULL;
}

// The child's peak working set as the system reports it; 0 when it cannot be read.
SIZE_T PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof counters);
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

// Waits for the child to end, sampling its peak working set every few milliseconds (the last
// sample before the exit holds the peak of the whole run). Returns 1 when it ended in time.
int WaitSampling(HANDLE process, DWORD timeout, SIZE_T *peak, LARGE_INTEGER *ended)
{
    DWORD start = GetTickCount();
    for (;;) {
        SIZE_T now = PeakWorkingSet(process);
        if (now > *peak)
            *peak = now;
        if (WaitForSingleObject(process, 5) == WAIT_OBJECT_0) {
            *ended = Now();
            return 1;
        }
        if (GetTickCount() - start > timeout)
            return 0;
    }
}

int Run(const Options &options)
{
    char command[MAX_PATH + 3];
    snprintf(command, sizeof command, "\"%s\"", options.exe);
    char folder[MAX_PATH];
    lstrcpynA(folder, options.exe, sizeof folder);
    char *slash = strrchr(folder, '\\');
    if (slash)
        *slash = '\0';

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child;
    LARGE_INTEGER started = Now();
    if (!CreateProcessA(options.exe, command, NULL, NULL, FALSE, 0, NULL, slash ? folder : NULL,
                        &startup, &child)) {
        fprintf(stderr, "bench_launch: cannot start %s (error %lu)\n", options.exe, GetLastError());
        return 1;
    }
    CloseHandle(child.hThread);

    // Process start to the dialog visible: polled every millisecond.
    Search search = {child.dwProcessId, NULL};
    DWORD waited = 0;
    while (!search.found) {
        EnumWindows(FindVisibleWindow, (LPARAM)&search);
        if (search.found)
            break;
        if (WaitForSingleObject(child.hProcess, 1) == WAIT_OBJECT_0 || ++waited > options.timeout) {
            fprintf(stderr, "bench_launch: no dialog appeared\n");
            TerminateProcess(child.hProcess, 1);
            CloseHandle(child.hProcess);
            return 1;
        }
    }
    LARGE_INTEGER visible = Now();
    // The dialog drawn and the program waiting in its message loop.
    WaitForInputIdle(child.hProcess, options.timeout);
    LARGE_INTEGER ready = Now();
    SIZE_T peak = PeakWorkingSet(child.hProcess);
    HWND dialog = search.found;

    LARGE_INTEGER pressed = ready, ended = ready;
    int ok = 1;
    if (options.install) {
        if (options.dir)
            SendMessageA(GetDlgItem(dialog, kInstallDirControl), WM_SETTEXT, 0,
                         (LPARAM)options.dir);
        if (options.boxesGiven)
            for (int i = 0; i < 4; ++i)
                SendMessageA(GetDlgItem(dialog, kBoxes[i]), BM_SETCHECK,
                             options.boxes[i] ? BST_CHECKED : BST_UNCHECKED, 0);
        pressed = Now();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDOK));
    } else {
        pressed = Now();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDCANCEL));
    }
    if (!WaitSampling(child.hProcess, options.timeout, &peak, &ended)) {
        fprintf(stderr, "bench_launch: the program did not end\n");
        TerminateProcess(child.hProcess, 1);
        ok = 0;
    }
    DWORD code = 999;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);

    printf("visible_ms=%.3f ready_ms=%.3f run_ms=%.3f peak_ws=%lu exit=%lu\n",
           Milliseconds(started, visible), Milliseconds(started, ready),
           Milliseconds(pressed, ended), (unsigned long)peak, (unsigned long)code);
    fflush(stdout);
    return ok && code == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: bench_launch [--install] [--dir PATH] [--boxes 201,203,...] "
                        "[--timeout MS] EXE\n");
        return 2;
    }
    QueryPerformanceFrequency(&g_frequency);
    return Run(options);
}
