#include "install/program_files.h"

#include "app/state.h"
#include "app/text.h"
#include "install/expanding_copy.h"
#include "install/file_list.h"
#include "ui/status.h"

static const ULONGLONG kTicksPerSecond = 10000000ULL;
static const ULONGLONG kUnixEpochTicks = 116444736000000000ULL; // 1 January 1970

long FileTimeSeconds(const FILETIME *time)
{
    ULONGLONG ticks = ((ULONGLONG)time->dwHighDateTime << 32) | time->dwLowDateTime;
    if (ticks < kUnixEpochTicks)
        return -1;
    ULONGLONG seconds = (ticks - kUnixEpochTicks) / kTicksPerSecond;
    if (seconds == 0 || seconds > 0x7FFFFFFFULL)
        return -1;
    return (long)seconds;
}

// The last-write time that a search for the exact path reports; 0 when nothing is found.
static int FindWriteTime(const char *path, long *seconds)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    *seconds = FileTimeSeconds(&found.ftLastWriteTime);
    return 1;
}

// Copy unless the installed file is at least as new as the source. A missing source is copied
// too, so that the copy reports it.
static int NeedsCopy(const char *source, const char *dest)
{
    long destTime, sourceTime;
    if (!FindWriteTime(dest, &destTime))
        return 1;
    if (!FindWriteTime(source, &sourceTime))
        return 1;
    return sourceTime > destTime;
}

int CopyProgramFiles(void)
{
    for (int i = 0; i < g_entryCount; ++i) {
        const ListEntry *entry = &g_entries[i];
        char source[PATH_SIZE], dest[PATH_SIZE];
        int sourceFits = FormatText(source, sizeof source, "%s%s", g_paths.source, entry->source);
        int destFits = FormatText(dest, sizeof dest, "%s\\%s", EntryDirectory(entry), entry->dest);
        if (sourceFits && destFits && !NeedsCopy(source, dest))
            continue;
        ShowStatus("Copying", entry->source);
        if (!ExpandingCopyFormed(sourceFits, source, destFits, dest))
            return 0;
    }
    return 1;
}
