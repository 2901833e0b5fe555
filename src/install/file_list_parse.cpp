#include "install/file_list_parse.h"

// Returns the index of c in text[from, end) or end when it is not there.
static size_t FindChar(const char *text, size_t from, size_t end, char c)
{
    while (from < end && text[from] != c)
        ++from;
    return from;
}

static int IsLocation(char c)
{
    return c == 'D' || c == 'P' || c == 'S' || c == 'W';
}

int ParseListText(char *text, size_t length, int cut, CharTest isAlphaNumeric, ListEntry *entries,
                  int *count)
{
    *count = 0;
    text[length] = '\0';
    size_t line = 0;
    // A zero byte at the start of a line ends the list there.
    while (line < length && text[line] != '\0' && *count < LIST_MAX_ENTRIES) {
        size_t feed = FindChar(text, line, length, '\n');
        if (isAlphaNumeric(text[line])) {
            // Each part of an entry must lie within its own line, before any zero byte in it.
            size_t end = FindChar(text, line, feed, '\0');
            size_t comma1 = FindChar(text, line, end, ',');
            size_t comma2 = comma1 < end ? FindChar(text, comma1 + 1, end, ',') : end;
            if (comma2 + 1 >= end || !IsLocation(text[comma2 + 1]))
                return 0;
            // A list cut inside this line lost the line's end.
            if (cut && feed == length)
                return 0;
            text[comma1] = '\0';
            text[comma2] = '\0';
            ListEntry *entry = &entries[*count];
            entry->source = text + line;
            entry->dest = text + comma1 + 1;
            entry->location = text[comma2 + 1];
            ++*count;
        }
        line = feed + 1;
    }
    return 1;
}
