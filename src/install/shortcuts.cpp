#include "install/shortcuts.h"

#include "app/state.h"
#include "app/text.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <string.h>

static const char kShellFolders[] =
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

struct LinkSpec {
    const char *target; // file in the install directory
    const char *description;
    int workingFolder; // 1: starts in the install directory
    int onDesktop;     // 1: on the desktop as well as in the programs folder
    const char *name;  // link file name without ".lnk"
};

static const LinkSpec kLinks[] = {
    {"velmarin.exe", "Shortcut to Zelnar", 1, 1, "Zelnar"},
    {"ZelnarUser.pdf", "Zelnar Manual", 0, 1, "Zelnar Help"},
    {"Dorventa.exe", "Shortcut to Dorventa", 1, 1, "Reprocessing"},
    {"dorventa.hlp", "Shortcut to Dorventa Help", 0, 0, "Reprocessing Help"},
};

// Reads a folder path value; the folder stays empty (unknown) when the value is missing, not a
// string, or too long for the buffer with its terminator.
static void ReadFolder(HKEY key, const char *value, char *folder)
{
    folder[0] = '\0';
    DWORD type = 0;
    DWORD size = DIR_SIZE;
    if (RegQueryValueExA(key, value, NULL, &type, (BYTE *)folder, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        folder[0] = '\0';
        return;
    }
    if (size == 0 || (size == DIR_SIZE && folder[DIR_SIZE - 1] != '\0')) {
        folder[0] = '\0';
        return;
    }
    folder[size < DIR_SIZE ? size : DIR_SIZE - 1] = '\0';
}

void FindFolders(void)
{
    HKEY root = g_isNt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const char *desktopValue = g_isNt ? "Common Desktop" : "Desktop";
    const char *programsValue = g_isNt ? "Common Programs" : "Programs";
    g_paths.desktop[0] = '\0';
    g_paths.programs[0] = '\0';

    HKEY key;
    if (RegOpenKeyExA(root, kShellFolders, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    ReadFolder(key, desktopValue, g_paths.desktop);
    ReadFolder(key, programsValue, g_paths.programs);
    RegCloseKey(key);

    // A programs folder with no room for the subfolder stays unknown rather than cut.
    if (g_paths.programs[0] != '\0') {
        char programs[DIR_SIZE];
        if (FormatText(programs, sizeof programs, "%s\\Moldar", g_paths.programs))
            lstrcpyA(g_paths.programs, programs);
        else
            g_paths.programs[0] = '\0';
    }
}

static void SaveLink(IPersistFile *file, const char *folder, const char *name)
{
    char path[PATH_SIZE];
    if (folder[0] == '\0' || !FormatText(path, sizeof path, "%s\\%s.lnk", folder, name))
        return;
    WCHAR widePath[PATH_SIZE];
    MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, PATH_SIZE);
    file->Save(widePath, FALSE);
}

static void CreateLink(const LinkSpec *shortcut)
{
    char target[PATH_SIZE];
    if (!FormatText(target, sizeof target, "%s\\%s", g_paths.install, shortcut->target))
        return;
    IShellLinkA *link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&link)))
        return;
    link->SetPath(target);
    link->SetDescription(shortcut->description);
    if (shortcut->workingFolder)
        link->SetWorkingDirectory(g_paths.install);
    IPersistFile *file;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        if (shortcut->onDesktop)
            SaveLink(file, g_paths.desktop, shortcut->name);
        SaveLink(file, g_paths.programs, shortcut->name);
        file->Release();
    }
    link->Release();
}

void CreateShortcuts(void)
{
    for (const LinkSpec &shortcut : kLinks)
        CreateLink(&shortcut);
}
