// Helpers shared by the test programs: temporary folders, small files, Unix-to-Windows paths and
// the installer dialog opened in the test process.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

// A fresh, empty folder under the Windows temporary folder; removed with its contents at the end.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void WriteFileBytes(const std::string &path, const std::string &bytes);
std::string ReadFileBytes(const std::string &path);
bool FileExists(const std::string &path);
void RemoveTree(const std::string &path);
void SetWriteTime(const std::string &path, long long secondsSince1970);
long long GetWriteTimeSeconds(const std::string &path);

// A path from the Unix side (/a/b) as Windows sees it (Z:\a\b); others are returned as they are.
std::string WindowsPath(const std::string &path);
// The value of an environment variable, or "" when it is not set.
std::string EnvValue(const char *name);

// Opens the installer dialog in this process as start-up does; closes it again.
void OpenInstaller();
void CloseInstaller();
std::string ControlText(int id);

// Files of a fixture folder: each name (which may hold subfolders, created as needed) and its
// bytes.
struct FixtureFile {
    const char *name;
    std::string bytes;
};
void WriteTree(const std::string &folder, std::initializer_list<FixtureFile> files);
// Sets the last-write time in 100 ns ticks since 1601, as the file system keeps it.
void SetWriteTicks(const std::string &path, unsigned long long ticks);
// A folder below base whose full path is exactly `length` characters long, created level by level.
std::string MakeLongFolder(const std::string &base, size_t length);

// Records every text given to the status line (control 1003 of g_dialog) while it lives.
class StatusRecorder
{
public:
    StatusRecorder();
    ~StatusRecorder();
    const std::vector<std::string> &texts() const { return texts_; }
    bool Saw(const std::string &text) const;
    // The index of the first text that starts with prefix, or -1.
    int IndexOf(const std::string &prefix) const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static StatusRecorder *active_;
    HWND status_;
    WNDPROC previous_;
    std::vector<std::string> texts_;
};

// Watches, on a thread of its own, for message boxes captioned "Error" of this process: notes each
// one's text and owner, runs whileUp while it is up and then presses its OK button.
class ErrorBoxWatcher
{
public:
    explicit ErrorBoxWatcher(std::function<void()> whileUp = std::function<void()>());
    ~ErrorBoxWatcher();
    // Stops watching; returns the number of boxes seen.
    int Finish();
    std::vector<std::string> texts;
    std::vector<HWND> owners;

private:
    void Watch();
    std::function<void()> whileUp_;
    std::atomic<bool> stop_;
    std::thread thread_;
};

// Points a root key (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) of this process at a scratch key
// under HKCU\Software\ZelnarTests while it lives, so that tests never touch the real values.
class RegistryRedirect
{
public:
    explicit RegistryRedirect(HKEY root);
    ~RegistryRedirect();
    // Creates the shell folders key below the scratch key (or returns it when it exists).
    HKEY ShellFolders();
    void SetString(const char *value, const std::string &text, DWORD type = REG_SZ);
    void SetDword(const char *value, DWORD number);
    // The scratch key itself, which stands for the root.
    HKEY scratch() const { return scratch_; }

private:
    HKEY root_;
    HKEY scratch_;
    HKEY folders_;
    std::string name_;
};

// What a saved shell link holds, read back through the shell's link object (COM initialised by
// the caller); found is false when the file cannot be loaded.
struct LinkInfo {
    bool found;
    std::string target, description, workingFolder;
};
LinkInfo ReadLink(const std::string &path);
// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> FolderNames(const std::string &folder);

// The real setup.exe started as a user would start it, with its dialog found by the caption.
struct RunningSetup {
    PROCESS_INFORMATION process;
    HWND dialog; // NULL when the dialog did not appear
};

// Starts exe with workingFolder ("" for the caller's) as its current directory and waits until
// its dialog shows its default choices.
RunningSetup StartSetup(const std::string &exe, const std::string &workingFolder);
// Waits for the program to end (ending it after 20 s) and reports its exit code.
DWORD WaitForSetupExit(RunningSetup &running);

// Points both families' shell-folder values at the folders "Desktop", "Programs", "User Desktop"
// and "User Programs" of root, through a redirected registry, and looks the folders up.
void FindFoldersIn(const TempDir &root);
