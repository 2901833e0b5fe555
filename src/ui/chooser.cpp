#include "ui/chooser.h"

#include "app/state.h"
#include "resources/resource.h"

#include <commdlg.h>
#include <string.h>

void CutExtension(char *path)
{
    char *name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    char *dot = strrchr(name, '.');
    // An extension is a dot followed by at least one character. A name that is nothing but an
    // extension (".old") keeps it, so that the cut never leaves the parent folder as the choice.
    if (dot && dot[1] != '\0' && dot != name)
        *dot = '\0';
}

void BrowseForInstallDir(HWND dialog)
{
    char file[DIR_SIZE] = "Velmarin";
    OPENFILENAMEA chooser;
    ZeroMemory(&chooser, sizeof chooser);
    chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A; // the layout every Windows accepts
    chooser.hwndOwner = dialog;
    chooser.lpstrFile = file;
    chooser.nMaxFile = sizeof file;
    chooser.lpstrInitialDir = "c:\\Program Files";
    chooser.lpstrTitle = "Installation Directory";
    if (!GetSaveFileNameA(&chooser))
        return;
    CutExtension(file);
    lstrcpynA(g_paths.install, file, DIR_SIZE);
    SetDlgItemTextA(dialog, IDC_INSTALL_DIR, g_paths.install);
}
