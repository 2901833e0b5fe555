#include "install/demos_recipes.h"

#include "app/state.h"
#include "app/text.h"
#include "install/expanding_copy.h"
#include "ui/status.h"

#include <string.h>

static int IsDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Copies every file of the source folder `from` into the install directory's `to` (which starts
// with a backslash). Subfolders are not descended into; their copies fail like unopenable files.
static void CopyFolder(const char *from, const char *to, const char *message)
{
    char folder[PATH_SIZE];
    if (FormatText(folder, sizeof folder, "%s%s", g_paths.install, to))
        CreateDirectoryA(folder, NULL);
    ShowStatus(message, folder);

    char pattern[PATH_SIZE];
    if (!FormatText(pattern, sizeof pattern, "%s%s\\*.*", g_paths.source, from))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsDotEntry(found.cFileName))
            continue;
        char source[PATH_SIZE], dest[PATH_SIZE];
        int sourceFits =
            FormatText(source, sizeof source, "%s%s\\%s", g_paths.source, from, found.cFileName);
        int destFits =
            FormatText(dest, sizeof dest, "%s%s\\%s", g_paths.install, to, found.cFileName);
        ExpandingCopyFormed(sourceFits, source, destFits, dest);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

int CopyDemos(void)
{
    CopyFolder("Demos", "\\Data\\Demos", "Copying Demos");
    return 1;
}

int CopyRecipes(void)
{
    CopyFolder("Recipes", "\\Recipes", "Copying Recipes");
    return 1;
}
