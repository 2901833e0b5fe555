#include "install/install_command.h"

#include "app/state.h"
#include "app/text.h"
#include "install/demos_recipes.h"
#include "install/file_list.h"
#include "install/program_files.h"
#include "install/settings_file.h"
#include "install/shortcuts.h"
#include "resources/resource.h"
#include "ui/status.h"

#include <objbase.h>

static const char kListName[] = "Velmarin.lst";

static int IsTicked(int box)
{
    return IsDlgButtonChecked(g_dialog, box) == BST_CHECKED;
}

static void MakeDirectories(void)
{
    SetStatusText("Making Directories");
    CreateDirectoryA(g_paths.install, NULL);
    char data[PATH_SIZE];
    if (FormatText(data, sizeof data, "%s\\Data", g_paths.install))
        CreateDirectoryA(data, NULL);
}

static void MakeShortcuts(void)
{
    ShowStatus("Creating Shortcuts", "");
    CoInitialize(NULL);
    FindFolders();
    if (g_paths.programs[0] != '\0')
        CreateDirectoryA(g_paths.programs, NULL);
    CreateShortcuts();
    CoUninitialize();
}

// Returns 1 when the run completed, 0 when it stopped.
static int Install(void)
{
    GetDlgItemTextA(g_dialog, IDC_INSTALL_DIR, g_paths.install, DIR_SIZE);
    ShowWindow(GetDlgItem(g_dialog, IDOK), SW_HIDE);
    SetDlgItemTextA(g_dialog, IDCANCEL, "Close");

    if (!LoadFileList(kListName)) {
        ShowStatus("Can't read file list", kListName);
        return 0;
    }
    if (IsTicked(IDC_PROGRAM_FILES)) {
        MakeDirectories();
        if (!CopyProgramFiles())
            return 0;
    }
    if (IsTicked(IDC_RECIPES_DEMOS)) {
        CopyDemos();
        CopyRecipes();
    }
    if (IsTicked(IDC_SETTINGS) && !CreateSettingsFile())
        return 0;
    if (IsTicked(IDC_DESKTOP_ICONS))
        MakeShortcuts();
    return 1;
}

void RunInstall(void)
{
    // The list's message box has no owner, so command 1 can arrive again while a run is under
    // way; it is ignored until that run returns.
    static int running;
    if (running)
        return;
    running = 1;
    if (Install())
        PostQuitMessage(0);
    running = 0;
}
