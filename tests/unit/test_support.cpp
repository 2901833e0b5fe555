#include "test_support.h"

#include "app/startup.h"
#include "app/state.h"
#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

TempDir::TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static int serial;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%szelnar-%lu-%d-%lu", base, GetCurrentProcessId(), ++serial,
             GetTickCount());
    path_ = name;
    CreateDirectoryA(path_.c_str(), NULL);
}

TempDir::~TempDir()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::string ReadFileBytes(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static const long long kEpochTicks = 116444736000000000LL;

void SetWriteTime(const std::string &path, long long secondsSince1970)
{
    SetWriteTicks(path, (unsigned long long)(secondsSince1970 * 10000000LL + kEpochTicks));
}

long long GetWriteTimeSeconds(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    long long ticks =
        ((long long)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
    return (ticks - kEpochTicks) / 10000000LL;
}

std::string WindowsPath(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    for (char &c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

std::string EnvValue(const char *name)
{
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

void OpenInstaller()
{
    ASSERT_EQ(StartInstaller(GetModuleHandleA(NULL)), 1);
    ASSERT_NE(g_dialog, (HWND)NULL);
}

void CloseInstaller()
{
    StopInstaller();
    // Drop a quit message that the code under test may have posted.
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    }
}

std::string ControlText(int id)
{
    char text[1024];
    GetDlgItemTextA(g_dialog, id, text, sizeof text);
    return text;
}

void WriteTree(const std::string &folder, std::initializer_list<FixtureFile> files)
{
    for (const FixtureFile &file : files) {
        std::string name = file.name;
        for (size_t slash = name.find('\\'); slash != std::string::npos;
             slash = name.find('\\', slash + 1))
            CreateDirectoryA((folder + "\\" + name.substr(0, slash)).c_str(), NULL);
        WriteFileBytes(folder + "\\" + name, file.bytes);
    }
}

void SetWriteTicks(const std::string &path, unsigned long long ticks)
{
    FILETIME time;
    time.dwLowDateTime = (DWORD)ticks;
    time.dwHighDateTime = (DWORD)(ticks >> 32);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    EXPECT_TRUE(SetFileTime(file, NULL, NULL, &time)) << path;
    CloseHandle(file);
}

std::string MakeLongFolder(const std::string &base, size_t length)
{
    EXPECT_GE(length, base.size() + 2);
    CreateDirectoryA(base.c_str(), NULL);
    std::string path = base;
    while (path.size() + 2 <= length) {
        size_t room = length - path.size() - 1; // characters after the next backslash
        size_t take = room > 100 ? 100 : room;
        if (room - take == 1)
            --take; // leave room for one more level rather than a lone backslash
        path += "\\" + std::string(take, 'd');
        CreateDirectoryA(path.c_str(), NULL);
    }
    EXPECT_EQ(path.size(), length);
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    return path;
}

StatusRecorder *StatusRecorder::active_;

StatusRecorder::StatusRecorder()
{
    status_ = NULL;
    previous_ = NULL;
    if (active_) {
        ADD_FAILURE() << "status recorders cannot be nested";
        return;
    }
    status_ = GetDlgItem(g_dialog, 1003);
    active_ = this;
    previous_ = (WNDPROC)SetWindowLongPtrA(status_, GWLP_WNDPROC, (LONG_PTR)Proc);
}

StatusRecorder::~StatusRecorder()
{
    if (active_ != this)
        return;
    if (IsWindow(status_))
        SetWindowLongPtrA(status_, GWLP_WNDPROC, (LONG_PTR)previous_);
    active_ = NULL;
}

LRESULT CALLBACK StatusRecorder::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT && lParam)
        active_->texts_.push_back((const char *)lParam);
    return CallWindowProcA(active_->previous_, window, message, wParam, lParam);
}

bool StatusRecorder::Saw(const std::string &text) const
{
    for (const std::string &seen : texts_)
        if (seen == text)
            return true;
    return false;
}

int StatusRecorder::IndexOf(const std::string &prefix) const
{
    for (size_t i = 0; i < texts_.size(); ++i)
        if (texts_[i].compare(0, prefix.size(), prefix) == 0)
            return (int)i;
    return -1;
}

ErrorBoxWatcher::ErrorBoxWatcher(std::function<void()> whileUp)
    : whileUp_(whileUp), stop_(false), thread_(&ErrorBoxWatcher::Watch, this)
{
}

ErrorBoxWatcher::~ErrorBoxWatcher()
{
    Finish();
}

int ErrorBoxWatcher::Finish()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return (int)texts.size();
}

static BOOL CALLBACK FindErrorBox(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    // The caption is read without a message: the window's thread may be waiting for this one.
    WCHAR caption[32];
    char className[32];
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) && lstrcmpA(className, "#32770") == 0 &&
        InternalGetWindowText(window, caption, 32) && lstrcmpW(caption, L"Error") == 0) {
        *(HWND *)param = window;
        return FALSE;
    }
    return TRUE;
}

void ErrorBoxWatcher::Watch()
{
    while (!stop_) {
        HWND box = NULL;
        EnumWindows(FindErrorBox, (LPARAM)&box);
        if (!box) {
            Sleep(10);
            continue;
        }
        char text[256] = "";
        // The message box's text is its static control 0xFFFF.
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        texts.push_back(text);
        owners.push_back(GetWindow(box, GW_OWNER));
        if (whileUp_)
            whileUp_();
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 500 && IsWindow(box); ++i)
            Sleep(10);
    }
}

static const char kScratchRoot[] = "Software\\ZelnarTests";
static const char kShellFoldersKey[] =
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

static void DeleteKeyTree(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char child[256];
        DWORD size = sizeof child;
        while (RegEnumKeyExA(key, 0, child, &size, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
            DeleteKeyTree(key, child);
            size = sizeof child;
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(parent, name);
}

RegistryRedirect::RegistryRedirect(HKEY root) : root_(root), scratch_(NULL), folders_(NULL)
{
    static int serial;
    name_ = std::string(kScratchRoot) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &scratch_, NULL),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(root_, scratch_), ERROR_SUCCESS);
}

RegistryRedirect::~RegistryRedirect()
{
    RegOverridePredefKey(root_, NULL);
    if (folders_)
        RegCloseKey(folders_);
    RegCloseKey(scratch_);
    DeleteKeyTree(HKEY_CURRENT_USER, name_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratchRoot); // only once it is empty
}

HKEY RegistryRedirect::ShellFolders()
{
    if (!folders_) {
        EXPECT_EQ(RegCreateKeyExA(scratch_, kShellFoldersKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                  &folders_, NULL),
                  ERROR_SUCCESS);
    }
    return folders_;
}

void RegistryRedirect::SetString(const char *value, const std::string &text, DWORD type)
{
    EXPECT_EQ(RegSetValueExA(ShellFolders(), value, 0, type, (const BYTE *)text.c_str(),
                             (DWORD)text.size() + 1),
              ERROR_SUCCESS);
}

void RegistryRedirect::SetDword(const char *value, DWORD number)
{
    EXPECT_EQ(
        RegSetValueExA(ShellFolders(), value, 0, REG_DWORD, (const BYTE *)&number, sizeof number),
        ERROR_SUCCESS);
}

LinkInfo ReadLink(const std::string &path)
{
    LinkInfo info = {false, "", "", ""};
    IShellLinkA *link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&link)))
        return info;
    IPersistFile *file = NULL;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        WCHAR widePath[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
        if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
            char text[MAX_PATH] = "";
            info.found = true;
            link->GetPath(text, sizeof text, NULL, SLGP_RAWPATH);
            info.target = text;
            text[0] = '\0';
            link->GetDescription(text, sizeof text);
            info.description = text;
            text[0] = '\0';
            link->GetWorkingDirectory(text, sizeof text);
            info.workingFolder = text;
        }
        file->Release();
    }
    link->Release();
    return info;
}

std::vector<std::string> FolderNames(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

static BOOL CALLBACK FindSetupDialog(HWND window, LPARAM param)
{
    RunningSetup *running = (RunningSetup *)param;
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

RunningSetup StartSetup(const std::string &exe, const std::string &workingFolder)
{
    RunningSetup running = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    EXPECT_TRUE(CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL,
                               workingFolder.empty() ? NULL : workingFolder.c_str(), &startup,
                               &running.process))
        << exe;
    for (int i = 0; i < 300 && !running.dialog; ++i) {
        EnumWindows(FindSetupDialog, (LPARAM)&running);
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

DWORD WaitForSetupExit(RunningSetup &running)
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

void FindFoldersIn(const TempDir &root)
{
    RegistryRedirect machine(HKEY_LOCAL_MACHINE), user(HKEY_CURRENT_USER);
    machine.SetString("Common Desktop", root / "Desktop");
    machine.SetString("Common Programs", root / "Programs");
    user.SetString("Desktop", root / "User Desktop");
    user.SetString("Programs", root / "User Programs");
    FindFolders();
}
