#include "install/expanding_copy.h"

#include "ui/status.h"

#include <windows.h>
#include <lzexpand.h>
#include <string.h>

// The identity of the file or folder at path; 0 when there is none.
static int FileInfo(const char *path, BY_HANDLE_FILE_INFORMATION *info)
{
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BOOL ok = GetFileInformationByHandle(file, info);
    CloseHandle(file);
    return ok != 0;
}

static const char *LastName(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// Reports 1 when the open source is the existing destination, as when the install directory is
// the distribution folder itself: creating the destination would then empty the source.
static int IsSameFile(HANDLE source, const char *sourcePath, const char *dest)
{
    // Only a file of the same name can be the same file; asking files for their identity costs
    // milliseconds under Wine, so the usual copy does not.
    if (lstrcmpiA(LastName(sourcePath), LastName(dest)) != 0)
        return 0;
    BY_HANDLE_FILE_INFORMATION a, b;
    return GetFileInformationByHandle(source, &a) && FileInfo(dest, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The installed copy takes over the source's last-write time, so that a later run compares
// distribution times with distribution times. It is set through the handle that wrote the
// destination rather than by opening the file once more.
static void CopyWriteTime(const char *source, HANDLE dest)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(source, GetFileExInfoStandard, &data))
        SetFileTime(dest, NULL, NULL, &data.ftLastWriteTime);
}

// Copies with expansion and checks that the destination got the source's whole expanded size.
// Reports 1, or 0 after showing why.
static int CopyContents(INT from, HFILE to, const char *source, const char *dest)
{
    // Seeking to the end tells the expanded size; for a plain file it is the file's size.
    LONG expected = LZSeek(from, 0, 2);
    if (expected < 0 || LZSeek(from, 0, 0) != 0) {
        ShowStatus("Can't read source", source);
        return 0;
    }
    LONG copied = LZCopy(from, to);
    if (copied == LZERROR_WRITE || copied == LZERROR_BADOUTHANDLE) {
        ShowStatus("Can't write destination", dest);
        return 0;
    }
    if (copied != expected) {
        ShowStatus("Can't read source", source);
        return 0;
    }
    return 1;
}

// The files are opened by the kernel rather than through LZOpenFileA and OpenFile: those keep the
// path in an open-file record of 128 bytes and fail on every longer path.
static HANDLE OpenSource(const char *source)
{
    return CreateFileA(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

// Creates the destination, empty, by its exact name (no compressed-style name is tried in its
// place).
static HANDLE CreateDestination(const char *dest)
{
    return CreateFileA(dest, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

int ExpandingCopyFormed(int sourceFits, const char *source, int destFits, const char *dest)
{
    HANDLE file = sourceFits ? OpenSource(source) : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        ShowStatus("Can't open source", source);
        return 0;
    }
    // A compressed source is expanded as it is read, any other is read as it is; a compressed
    // header that cannot be read or names an unknown method is a source that cannot be read.
    INT from = LZInit((HFILE)HandleToLong(file));
    if (from < 0) {
        CloseHandle(file);
        ShowStatus("Can't read source", source);
        return 0;
    }
    DWORD existing = destFits ? GetFileAttributesA(dest) : INVALID_FILE_ATTRIBUTES;
    int exists = existing != INVALID_FILE_ATTRIBUTES;
    // The file is already where it is to go: there is nothing to copy, and nothing to lose.
    if (exists && IsSameFile(file, source, dest)) {
        LZClose(from);
        return 1;
    }
    // An installed file that is read-only is not replaced, on any file system: Windows refuses
    // it, and so must a disk whose owner may write anything (Wine run by root).
    int readOnly = exists && (existing & FILE_ATTRIBUTE_READONLY);
    HANDLE to = destFits && !readOnly ? CreateDestination(dest) : INVALID_HANDLE_VALUE;
    if (to == INVALID_HANDLE_VALUE) {
        ShowStatus("Can't open destination", dest);
        LZClose(from);
        return 0;
    }
    int ok = CopyContents(from, (HFILE)HandleToLong(to), source, dest);
    if (ok)
        CopyWriteTime(source, to);
    SetFileAttributesA(dest, FILE_ATTRIBUTE_NORMAL);
    LZClose(from);
    CloseHandle(to);
    if (!ok) {
        // A part-written file would pass for installed on the next run.
        DeleteFileA(dest);
        return 0;
    }
    return 1;
}

int ExpandingCopy(const char *source, const char *dest)
{
    return ExpandingCopyFormed(1, source, 1, dest);
}
