// The file list's text format, free of any Windows header so that it also builds for the host.
// Cuts the text in place into entries; reports 1 for a good list, 0 for an error in the file.
#pragma once

#include <stddef.h>

enum { LIST_MAX_ENTRIES = 20 };

struct ListEntry {
    const char *source; // relative to the source directory
    const char *dest;   // relative to the destination directory
    char location;      // 'D', 'P', 'S' or 'W'
};

typedef int (*CharTest)(char c);

// text holds length bytes and one more for a terminator; cut is non-zero when the file went on
// past them. Fills entries (room for LIST_MAX_ENTRIES) from the first and sets *count.
int ParseListText(char *text, size_t length, int cut, CharTest isAlphaNumeric, ListEntry *entries,
                  int *count);
