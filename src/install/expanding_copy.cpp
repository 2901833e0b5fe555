#include "install/expanding_copy.h"

#include "ui/status.h"

#include <windows.h>
#include <lzexpand.h>
#include <string.h>

static int FileIdentity(const char *path, BY_HANDLE_FILE_INFORMATION *info)
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

// Size and times of a file as its folder entry gives them; 0 when there is no such file.
static int FileStamp(const char *path, WIN32_FILE_ATTRIBUTE_DATA *stamp)
{
    return GetFileAttributesExA(path, GetFileExInfoStandard, stamp) != 0;
}

static int SameStamp(const WIN32_FILE_ATTRIBUTE_DATA *a, const WIN32_FILE_ATTRIBUTE_DATA *b)
{
    return a->nFileSizeHigh == b->nFileSizeHigh && a->nFileSizeLow == b->nFileSizeLow &&
           CompareFileTime(&a->ftCreationTime, &b->ftCreationTime) == 0 &&
           CompareFileTime(&a->ftLastWriteTime, &b->ftLastWriteTime) == 0;
}

// Reports 1 when both paths name one existing file, as when the install directory is the
// distribution folder itself: creating the destination would then empty the source.
static int IsSameFile(const char *source, const char *dest)
{
    // Only a file of the same name can be the same file; that keeps the usual copy cheap.
    if (lstrcmpiA(LastName(source), LastName(dest)) != 0)
        return 0;
    // One file seen through two paths shows one size and one set of times, so a missing
    // destination, or an installed copy made at another moment, is told apart without opening
    // either file: asking an open file for its identity costs milliseconds under Wine.
    WIN32_FILE_ATTRIBUTE_DATA destStamp, sourceStamp;
    if (!FileStamp(dest, &destStamp) || !FileStamp(source, &sourceStamp) ||
        !SameStamp(&sourceStamp, &destStamp))
        return 0;
    BY_HANDLE_FILE_INFORMATION a, b;
    return FileIdentity(source, &a) && FileIdentity(dest, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The installed copy takes over the source's last-write time, so that a later run compares
// distribution times with distribution times. It is set through the handle that wrote the
// destination rather than by opening the file once more, which costs as much again under Wine as
// the copy of a small file.
static void CopyWriteTime(const char *source, INT dest)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(source, GetFileExInfoStandard, &data))
        SetFileTime((HANDLE)(INT_PTR)dest, NULL, NULL, &data.ftLastWriteTime);
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

int ExpandingCopyFormed(int sourceFits, const char *source, int destFits, const char *dest)
{
    OFSTRUCT sourceRecord;
    INT from = sourceFits ? LZOpenFileA((LPSTR)source, &sourceRecord, OF_READ) : -1;
    if (from == -1) {
        ShowStatus("Can't open source", source);
        return 0;
    }
    // The file is already where it is to go: there is nothing to copy, and nothing to lose.
    if (destFits && IsSameFile(source, dest)) {
        LZClose(from);
        return 1;
    }
    // The destination is created by its exact name only: LZOpenFileA would fall back to a
    // compressed-style name ("app.ex_") when the name itself cannot be created, and the copy
    // would then land there.
    OFSTRUCT destRecord;
    HFILE to = destFits ? OpenFile(dest, &destRecord, OF_CREATE) : HFILE_ERROR;
    if (to == HFILE_ERROR) {
        ShowStatus("Can't open destination", dest);
        LZClose(from);
        return 0;
    }
    int ok = CopyContents(from, to, source, dest);
    if (ok)
        CopyWriteTime(source, to);
    SetFileAttributesA(dest, FILE_ATTRIBUTE_NORMAL);
    LZClose(from);
    _lclose(to);
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
