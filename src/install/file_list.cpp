#include "install/file_list.h"

#include "app/state.h"
#include "app/text.h"
#include "ui/status.h"

ListEntry g_entries[LIST_MAX_ENTRIES];
int g_entryCount;

static int IsListAlphaNumeric(char c)
{
    return IsCharAlphaNumericA(c);
}

const char *EntryDirectory(const ListEntry *entry)
{
    switch (entry->location) {
    case 'D':
        return g_paths.drivers;
    case 'S':
        return g_paths.system;
    case 'W':
        return g_paths.windows;
    default:
        return g_paths.install;
    }
}

// Opens the list for reading where the platform's search for the bare name finds it, the
// installer's own folder first. There it is opened by its full path: OpenFile keeps the path in an
// open-file record of 128 bytes and would miss a list in a deeper folder.
static HFILE OpenList(const char *name)
{
    char beside[PATH_SIZE];
    if (FormatText(beside, sizeof beside, "%s%s", g_paths.source, name) &&
        GetFileAttributesA(beside) != INVALID_FILE_ATTRIBUTES) {
        HANDLE file = CreateFileA(beside, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        return file == INVALID_HANDLE_VALUE ? HFILE_ERROR : (HFILE)HandleToLong(file);
    }
    OFSTRUCT opened;
    return OpenFile(name, &opened, OF_READ);
}

int LoadFileList(const char *name)
{
    // Every load starts afresh: the text is read again and the entries pointed into the old one.
    g_entryCount = 0;

    HFILE file = OpenList(name);
    if (file == HFILE_ERROR) {
        MessageBoxA(NULL, "Can't open LST file", "Error", MB_ICONHAND | MB_OK);
        return 0;
    }
    UINT length = _lread(file, g_listText, LIST_TEXT_SIZE);
    // One byte more tells whether the list goes on past what is read.
    char probe;
    UINT more = length == LIST_TEXT_SIZE ? _lread(file, &probe, 1) : 0;
    _lclose(file);
    // A list that cannot be read fails like one that cannot be opened, without the box.
    if (length == (UINT)HFILE_ERROR)
        return 0;

    int count = 0;
    int ok = ParseListText(g_listText, length, more == 1, IsListAlphaNumeric, g_entries, &count);
    g_entryCount = count;
    if (!ok) {
        ShowStatus("Error in file", name);
        return 0;
    }
    return 1;
}
