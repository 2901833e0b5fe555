#include "install/settings_file.h"

#include "app/state.h"
#include "app/text.h"
#include "install/expanding_copy.h"
#include "resources/resource.h"
#include "ui/status.h"

enum { PORT_SIZE = 8 };

static const char kAttachments[] = "ATTACHMENTS";

static const char *CameraValue(void)
{
    // Both are read; "A1" wins should both read as selected.
    int a50 = IsDlgButtonChecked(g_dialog, IDC_CAMERA_A50) == BST_CHECKED;
    int a1 = IsDlgButtonChecked(g_dialog, IDC_CAMERA_A1) == BST_CHECKED;
    if (a1)
        return "1";
    return a50 ? "50" : "0";
}

// Writes the selected port of a port list under key; nothing when no item fits PORT_SIZE.
static void WritePort(int list, const char *key, const char *file)
{
    char port[PORT_SIZE];
    LRESULT index = SendDlgItemMessageA(g_dialog, list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;
    LRESULT length = SendDlgItemMessageA(g_dialog, list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length == LB_ERR || length >= PORT_SIZE)
        return;
    SendDlgItemMessageA(g_dialog, list, LB_GETTEXT, (WPARAM)index, (LPARAM)port);
    WritePrivateProfileStringA(kAttachments, key, port, file);
}

int CreateSettingsFile(void)
{
    char template_[PATH_SIZE], file[PATH_SIZE];
    int templateFits = FormatText(template_, sizeof template_, "%sVelmarin.ini", g_paths.source);
    int fileFits = FormatText(file, sizeof file, "%s\\Velmarin.ini", g_paths.install);
    ShowStatus("Creating Ini File", file);
    if (!ExpandingCopyFormed(templateFits, template_, fileFits, file))
        return 0;

    WritePrivateProfileStringA(kAttachments, "CellCamera", CameraValue(), file);
    if (IsDlgButtonChecked(g_dialog, IDC_CAPTION_BAR) == BST_CHECKED)
        WritePrivateProfileStringA("FRAME", "TitleBar", "1", file);
    WritePort(IDC_CAMERA_PORT, "CameraCom", file);
    if (IsDlgButtonChecked(g_dialog, IDC_UV_UNIT) == BST_CHECKED) {
        WritePrivateProfileStringA(kAttachments, "Wideband", "1", file);
        WritePort(IDC_UV_PORT, "UVCom", file);
    }
    return 1;
}
