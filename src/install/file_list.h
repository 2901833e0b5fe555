// Loads the file list "Velmarin.lst" into the entry table, found by the platform's search for a
// bare file name. Reports 1/0; a list that cannot be opened gets a box, a bad line "Error in file".
#pragma once

#include "install/file_list_parse.h"

extern ListEntry g_entries[LIST_MAX_ENTRIES];
extern int g_entryCount;

int LoadFileList(const char *name);
// The directory of the path set that an entry's location letter names.
const char *EntryDirectory(const ListEntry *entry);
