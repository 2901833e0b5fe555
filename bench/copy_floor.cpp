// Benchmark floor: the same files copied inside one Wine process by the plainest Win32 means,
// timed from inside the process, so that the installer's time can be split between its own work,
// the copy path and Wine. Reads a manifest of tab-separated lines:
//   M <folder>                 create a folder
//   P <source> <destination>   a program file
//   F <source> <destination>   a demo or recipe file
// Modes: "lz" copies every file as the installer's copy does at its core (LZOpenFileA for both
// ends, LZCopy, SetFileAttributesA, LZClose); "copyfile" uses CopyFileA for every plain source
// and the LZ calls only where a source is compressed; "program" calls the installer's own
// expanding copy, with all its checks, outside the dialog.
// Reports one line: programs_ms=... folders_ms=... files=N failed=N
#include "install/expanding_copy.h"

#include <windows.h>
#include <lzexpand.h>

#include <stdio.h>
#include <string.h>

namespace
{

LARGE_INTEGER g_frequency;

double Elapsed(const LARGE_INTEGER &from)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)(now.QuadPart - from.QuadPart) * 1000.0 / (double)g_frequency.QuadPart;
}

int LzCopyFile(const char *source, const char *dest)
{
    OFSTRUCT sourceRecord, destRecord;
    INT from = LZOpenFileA((LPSTR)source, &sourceRecord, OF_READ);
    if (from < 0)
        return 0;
    INT to = LZOpenFileA((LPSTR)dest, &destRecord, OF_CREATE);
    if (to < 0) {
        LZClose(from);
        return 0;
    }
    LONG copied = LZCopy(from, to);
    SetFileAttributesA(dest, FILE_ATTRIBUTE_NORMAL);
    LZClose(from);
    LZClose(to);
    return copied >= 0;
}

int IsCompressed(const char *source)
{
    size_t length = strlen(source);
    return length > 0 && source[length - 1] == '_';
}

enum Mode { MODE_LZ, MODE_COPYFILE, MODE_PROGRAM };

int CopyOne(Mode mode, const char *source, const char *dest)
{
    if (mode == MODE_PROGRAM)
        return ExpandingCopy(source, dest);
    if (mode == MODE_COPYFILE && !IsCompressed(source))
        return CopyFileA(source, dest, FALSE) != 0;
    return LzCopyFile(source, dest);
}

} // namespace

int main(int argc, char **argv)
{
    static const char *const kModes[] = {"lz", "copyfile", "program"};
    int mode = -1;
    for (int i = 0; argc == 3 && i < 3; ++i)
        if (strcmp(argv[1], kModes[i]) == 0)
            mode = i;
    if (mode < 0) {
        fprintf(stderr, "usage: copy_floor lz|copyfile|program MANIFEST\n");
        return 2;
    }
    FILE *manifest = fopen(argv[2], "r");
    if (!manifest) {
        fprintf(stderr, "copy_floor: cannot read %s\n", argv[2]);
        return 2;
    }
    QueryPerformanceFrequency(&g_frequency);

    double programs = 0, folders = 0;
    int files = 0, failed = 0;
    char line[1024];
    while (fgets(line, sizeof line, manifest)) {
        line[strcspn(line, "\r\n")] = '\0';
        char *source = strchr(line, '\t');
        if (!source)
            continue;
        *source++ = '\0';
        char *dest = strchr(source, '\t');
        if (dest)
            *dest++ = '\0';
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        if (line[0] == 'M') {
            CreateDirectoryA(source, NULL);
            programs += Elapsed(start);
            continue;
        }
        if (!dest)
            continue;
        int ok = CopyOne((Mode)mode, source, dest);
        (line[0] == 'P' ? programs : folders) += Elapsed(start);
        ++files;
        failed += !ok;
    }
    fclose(manifest);
    printf("programs_ms=%.3f folders_ms=%.3f files=%d failed=%d\n", programs, folders, files,
           failed);
    return failed ? 1 : 0;
}
