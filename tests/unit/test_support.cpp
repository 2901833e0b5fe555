#include "test_support.h"

#include "app/startup.h"
#include "app/state.h"

#include <gtest/gtest.h>

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
    long long ticks = secondsSince1970 * 10000000LL + kEpochTicks;
    FILETIME time;
    time.dwLowDateTime = (DWORD)ticks;
    time.dwHighDateTime = (DWORD)(ticks >> 32);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    SetFileTime(file, NULL, NULL, &time);
    CloseHandle(file);
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
