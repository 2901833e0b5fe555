// Fuzz target of the file list's parsing core. Each input is a list file: the core gets its
// first 1000 bytes as the loader reads them, with the cut flag set when the file goes on.
#include "ansi_alnum.h"
#include "install/file_list_parse.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace
{

const size_t kReadLimit = 1000; // the loader's read

void Require(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "file list parse: %s\n", what);
        abort();
    }
}

// Where each entry line of the file starts, in file order: the lines before a line that begins
// with a zero byte whose first character is a letter or digit.
std::vector<size_t> EntryLineStarts(const uint8_t *data, size_t length)
{
    std::vector<size_t> starts;
    size_t line = 0;
    while (line < length && data[line] != 0) {
        if (IsAnsiAlphaNumeric((char)data[line]))
            starts.push_back(line);
        const void *feed = memchr(data + line, '\n', length - line);
        line = feed ? (size_t)((const uint8_t *)feed - data) + 1 : length;
    }
    return starts;
}

void CheckEntry(const ListEntry &entry, size_t lineStart, const char *text, const uint8_t *data,
                size_t length, int ok, int cut)
{
    Require(entry.source == text + lineStart, "an entry does not start at its line");
    // The source name ends where the line's first comma was, the destination name starts after
    // it and ends at the second; the location letter follows, still inside the text.
    size_t sourceEnd = lineStart + strnlen(entry.source, length - lineStart);
    Require(sourceEnd < length && data[sourceEnd] == ',', "source name not cut at a comma");
    Require(entry.dest == text + sourceEnd + 1, "destination name not right after the source");
    size_t destEnd = sourceEnd + 1 + strnlen(entry.dest, length - sourceEnd - 1);
    Require(destEnd + 1 < length && data[destEnd] == ',', "destination name not cut at a comma");
    for (size_t i = lineStart; i < destEnd; ++i)
        Require(data[i] != '\n' && (data[i] != ',' || i == sourceEnd),
                "name holds a feed or comma");
    Require(entry.location == (char)data[destEnd + 1],
            "location is not the letter after the comma");
    Require(strchr("DPSW", entry.location) && entry.location != 0, "location is not D, P, S or W");
    // A list cut at the read never loads the line the cut split.
    if (ok && cut)
        Require(memchr(data + destEnd, '\n', length - destEnd) != nullptr, "a cut line loaded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t length = size < kReadLimit ? size : kReadLimit;
    int cut = size > kReadLimit;
    // Exactly what was read and its terminator, on the heap so that one byte past is reported.
    char *text = (char *)malloc(length + 1);
    memcpy(text, data, length);
    text[length] = 'x'; // the core puts the terminator itself
    ListEntry *entries = (ListEntry *)malloc(sizeof(ListEntry) * LIST_MAX_ENTRIES);
    int count = -1;

    int ok = ParseListText(text, length, cut, IsAnsiAlphaNumeric, entries, &count);

    Require(ok == 0 || ok == 1, "result is not 1 or 0");
    Require(count >= 0 && count <= LIST_MAX_ENTRIES, "count out of range");
    Require(text[length] == '\0', "text not terminated");
    // Only commas are overwritten, and only with terminators.
    for (size_t i = 0; i < length; ++i)
        Require(text[i] == (char)data[i] || (data[i] == ',' && text[i] == '\0'),
                "text changed other than a comma cut");
    // The entries are the file's first entry lines, in file order; a good list loads all of them
    // up to the table's size, a bad one stops at an entry line that it could not load.
    std::vector<size_t> starts = EntryLineStarts(data, length);
    Require((size_t)count <= starts.size(), "more entries than entry lines");
    if (ok)
        Require((size_t)count ==
                    (starts.size() < LIST_MAX_ENTRIES ? starts.size() : (size_t)LIST_MAX_ENTRIES),
                "a good list left entry lines out");
    else
        Require(count < LIST_MAX_ENTRIES, "a full table failed");
    for (int i = 0; i < count; ++i)
        CheckEntry(entries[i], starts[i], text, data, length, ok, cut);

    free(entries);
    free(text);
    return 0;
}
