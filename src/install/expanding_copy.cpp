#include "install/expanding_copy.h"

#include "ui/status.h"

#include <windows.h>
#include <lzexpand.h>

// The installed copy takes over the source's last-write time, so that a later run compares
// distribution times with distribution times.
static void CopyWriteTime(const char *source, const char *dest)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(source, GetFileExInfoStandard, &data))
        return;
    HANDLE file = CreateFileA(dest, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(file, NULL, NULL, &data.ftLastWriteTime);
    CloseHandle(file);
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
    SetFileAttributesA(dest, FILE_ATTRIBUTE_NORMAL);
    LZClose(from);
    _lclose(to);
    if (!ok) {
        // A part-written file would pass for installed on the next run.
        DeleteFileA(dest);
        return 0;
    }
    CopyWriteTime(source, dest);
    return 1;
}

int ExpandingCopy(const char *source, const char *dest)
{
    return ExpandingCopyFormed(1, source, 1, dest);
}
