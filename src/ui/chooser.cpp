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

typedef BOOL(WINAPI *SaveFileNameProc)(LPOPENFILENAMEA);

// Shows the common save-file dialog. The library is loaded only for this: linked at start-up it
// brings the shell, the common controls and the print spooler into every run, which slows the
// dialog's appearance and costs megabytes for a button that most users never press.
static int ShowSaveFileDialog(OPENFILENAMEA *chooser)
{
    HMODULE library = LoadLibraryA("comdlg32.dll");
    if (!library)
        return 0;
    SaveFileNameProc save =
        (SaveFileNameProc)(void (*)(void))GetProcAddress(library, "GetSaveFileNameA");
    int chosen = save && save(chooser);
    FreeLibrary(library);
    return chosen;
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
    if (!ShowSaveFileDialog(&chooser))
        return;
    CutExtension(file);
    lstrcpynA(g_paths.install, file, DIR_SIZE);
    SetDlgItemTextA(dialog, IDC_INSTALL_DIR, g_paths.install);
}
