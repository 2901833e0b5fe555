#include "ui/status.h"

#include "app/state.h"
#include "app/text.h"
#include "resources/resource.h"

void SetStatusText(const char *text)
{
    HWND status = GetDlgItem(g_dialog, IDC_STATUS);
    SetWindowTextA(status, text);
    // The installation does not return to the message loop between its steps: paint now.
    UpdateWindow(status);
}

void ShowStatus(const char *message, const char *detail)
{
    char text[STATUS_SIZE];
    FormatText(text, sizeof text, "%s:\n%s", message, detail);
    SetStatusText(text);
}
