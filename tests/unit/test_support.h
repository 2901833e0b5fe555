// Helpers shared by the test programs: temporary folders, small files, Unix-to-Windows paths and
// the installer dialog opened in the test process.
#pragma once

#include <windows.h>

#include <string>

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
