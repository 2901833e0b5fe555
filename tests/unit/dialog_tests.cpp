// The installer dialog as start-up opens it: template, defaults, path set, status line and the
// directory chooser's extension cut.
#include "test_support.h"

#include "app/state.h"
#include "resource.h"
#include "ui/chooser.h"
#include "ui/dialog.h"
#include "ui/status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct ControlSpec {
    int id; // -1 for the controls without one
    const char *className;
    const char *text;
    int x, y, w, h;
    DWORD style; // as the template gives it, besides WS_CHILD and WS_VISIBLE
};

const DWORD kList = LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_TABSTOP;

// The template in its order, which is also the Tab order.
const ControlSpec kControls[] = {
    {1, "Button", "Install", 262, 150, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {2, "Button", "Cancel", 262, 167, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "Static", "Install in Directory:", 16, 18, 73, 8, SS_LEFT | WS_GROUP},
    {1002, "Static", "", 4, 29, 319, 10, SS_LEFT | SS_SUNKEN | WS_GROUP},
    {1001, "Button", "Browse for Dir...", 246, 13, 65, 15, BS_PUSHBUTTON | WS_TABSTOP},
    {1003, "Static", "Complete the parameters shown above\nThen press Install", 46, 156, 172, 35,
     SS_CENTER | WS_BORDER | WS_GROUP},
    {-1, "Button", "Partial Installation", 238, 55, 82, 61, BS_GROUPBOX},
    {201, "Button", "Program Files", 247, 68, 62, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {203, "Button", "Recipes && Demos", 247, 90, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {204, "Button", "Desktop Icons", 247, 102, 62, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {202, "Button", "Settings", 247, 79, 43, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {1007, "Button", "With Caption Bar", 132, 48, 71, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {1011, "Button", "UV Wide Bandgap System", 132, 74, 99, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {-1, "Button", "Camera Type", 14, 51, 102, 44, BS_GROUPBOX},
    {1009, "Button", "A50", 24, 61, 28, 10, BS_AUTORADIOBUTTON},
    {1010, "Button", "A1", 24, 72, 24, 10, BS_AUTORADIOBUTTON},
    {1012, "Button", "None", 24, 83, 33, 10, BS_AUTORADIOBUTTON},
    {1016, "ListBox", "", 65, 60, 43, 29, kList},
    {1017, "ListBox", "", 153, 85, 43, 29, kList},
    {-1, "Static", "Zelnar circuit board must be on COM1", 8, 104, 126, 8, SS_LEFT | WS_GROUP},
};
const size_t kControlCount = sizeof kControls / sizeof kControls[0];

// The style bits that tell a control's kind, by its class.
DWORD KindMask(const char *className)
{
    if (lstrcmpiA(className, "Button") == 0)
        return 0x0F;
    if (lstrcmpiA(className, "Static") == 0)
        return 0x1F | SS_SUNKEN;
    return LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL |
           LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE | WS_VSCROLL | WS_HSCROLL;
}

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override { OpenInstaller(); }
    void TearDown() override { CloseInstaller(); }
};

RECT DialogUnits(int x, int y, int w, int h)
{
    RECT rect = {x, y, x + w, y + h};
    MapDialogRect(g_dialog, &rect);
    return rect;
}

TEST_F(DialogTest, ControlsMatchTheTemplateInOrder)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(g_dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(children.size(), kControlCount);

    for (size_t i = 0; i < children.size(); ++i) {
        const ControlSpec &want = kControls[i];
        HWND control = children[i];
        SCOPED_TRACE(std::string("control ") + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ((WORD)GetDlgCtrlID(control), (WORD)want.id);
        char className[64], text[256];
        GetClassNameA(control, className, sizeof className);
        EXPECT_STRCASEEQ(className, want.className);
        GetWindowTextA(control, text, sizeof text);
        // The directory display shows the install directory from the start.
        EXPECT_STREQ(text, want.id == 1002 ? "c:\\Zelnar" : want.text);

        DWORD style = (DWORD)GetWindowLongPtrA(control, GWL_STYLE);
        DWORD kind = KindMask(want.className);
        EXPECT_EQ(style & kind, want.style & kind);
        EXPECT_EQ(style & WS_GROUP, want.style & WS_GROUP);
        EXPECT_TRUE(style & WS_VISIBLE);
        EXPECT_FALSE(style & WS_DISABLED);

        // Each of x, y, width and height is converted from dialog units on its own.
        RECT units = {want.x, want.y, want.w, want.h};
        MapDialogRect(g_dialog, &units);
        RECT actual;
        GetWindowRect(control, &actual);
        MapWindowPoints(NULL, g_dialog, (POINT *)&actual, 2);
        EXPECT_EQ(actual.left, units.left);
        EXPECT_EQ(actual.top, units.top);
        EXPECT_EQ(actual.right - actual.left, units.right);
        EXPECT_EQ(actual.bottom - actual.top, units.bottom);
    }
}

TEST_F(DialogTest, FrameHasCaptionSizeAndStyles)
{
    char caption[64];
    GetWindowTextA(g_dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Zelnar Installer");

    DWORD style = (DWORD)GetWindowLongPtrA(g_dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              (DWORD)(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    EXPECT_FALSE(style & (WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
    EXPECT_EQ(GetWindow(g_dialog, GW_OWNER), (HWND)NULL);

    RECT client, expected = DialogUnits(0, 0, 326, 195);
    GetClientRect(g_dialog, &client);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
}

// The template resource itself: its name, language, frame style, control count and font.
TEST(DialogTemplate, IsNamedDialInBritishEnglishWithTheSystemFont)
{
    HRSRC found = FindResourceExA(NULL, MAKEINTRESOURCEA(5) /* RT_DIALOG */, "DIAL",
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
    ASSERT_NE(found, (HRSRC)NULL);
    const WORD *words = (const WORD *)LockResource(LoadResource(NULL, found));
    ASSERT_NE(words, (const WORD *)NULL);
    const DLGTEMPLATE *frame = (const DLGTEMPLATE *)words;
    EXPECT_EQ(frame->style, (DWORD)(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                    DS_CENTER | DS_SETFONT));
    EXPECT_EQ(frame->cdit, 20);
    EXPECT_EQ(frame->cx, 326);
    EXPECT_EQ(frame->cy, 195);
    // After the fixed header: menu, class and title (each a string here), then the font.
    const WORD *p = words + sizeof(DLGTEMPLATE) / sizeof(WORD);
    EXPECT_EQ(*p++, 0); // no menu
    EXPECT_EQ(*p++, 0); // the standard dialog class
    std::wstring title;
    while (*p)
        title += (wchar_t)*p++;
    ++p;
    EXPECT_EQ(title, L"Zelnar Installer");
    EXPECT_EQ(*p++, 8);
    std::wstring font;
    while (*p)
        font += (wchar_t)*p++;
    ++p;
    EXPECT_EQ(font, L"System");

    // The items, each aligned on a DWORD: exact styles, ids, places, classes and texts.
    const std::pair<WORD, const char *> atoms[] = {
        {0x80, "Button"}, {0x82, "Static"}, {0x83, "ListBox"}};
    for (size_t i = 0; i < kControlCount; ++i) {
        const ControlSpec &want = kControls[i];
        SCOPED_TRACE(std::string("item ") + std::to_string(i) + " \"" + want.text + "\"");
        p = (const WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
        const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)p;
        EXPECT_EQ(item->style, WS_CHILD | WS_VISIBLE | want.style);
        EXPECT_EQ(item->dwExtendedStyle, 0u);
        EXPECT_EQ(item->id, (WORD)want.id);
        EXPECT_EQ(item->x, want.x);
        EXPECT_EQ(item->y, want.y);
        EXPECT_EQ(item->cx, want.w);
        EXPECT_EQ(item->cy, want.h);
        p += sizeof(DLGITEMTEMPLATE) / sizeof(WORD);
        // The class comes as a predefined atom or by name, as the resource compiler wrote it.
        std::string className = "?";
        if (*p == 0xFFFF) {
            WORD atom = p[1];
            p += 2;
            for (auto &known : atoms)
                if (known.first == atom)
                    className = known.second;
        } else {
            className.clear();
            while (*p)
                className += (char)*p++;
            ++p;
        }
        EXPECT_STRCASEEQ(className.c_str(), want.className);
        std::string text;
        while (*p)
            text += (char)*p++;
        ++p;
        EXPECT_EQ(text, want.text);
        WORD extra = *p++;
        p = (const WORD *)((const BYTE *)p + extra);
    }
}

TEST_F(DialogTest, TabOrderAndDefaultButton)
{
    EXPECT_EQ(LOWORD(SendMessageA(g_dialog, DM_GETDEFID, 0, 0)), IDOK);
    // The platform makes the selected radio button ("A1") a tab stop of its own.
    const int order[] = {IDOK, IDCANCEL, 1001, 201,  203,  204, 202,
                         1007, 1011,     1010, 1016, 1017, IDOK};
    HWND at = GetDlgItem(g_dialog, IDOK);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        at = GetNextDlgTabItem(g_dialog, at, FALSE);
        EXPECT_EQ(GetDlgCtrlID(at), order[i]) << "tab stop " << i;
    }
}

TEST_F(DialogTest, StartsWithTheDefaultChoices)
{
    for (int box : {201, 202, 203, 204})
        EXPECT_EQ(IsDlgButtonChecked(g_dialog, box), (UINT)BST_CHECKED) << box;
    for (int box : {1007, 1011, 1009, 1012})
        EXPECT_EQ(IsDlgButtonChecked(g_dialog, box), (UINT)BST_UNCHECKED) << box;
    EXPECT_EQ(IsDlgButtonChecked(g_dialog, 1010), (UINT)BST_CHECKED);

    struct {
        int list;
        int selected;
    } lists[] = {{1016, 1}, {1017, 2}};
    for (auto &expect : lists) {
        ASSERT_EQ(SendDlgItemMessageA(g_dialog, expect.list, LB_GETCOUNT, 0, 0), 3);
        const char *items[] = {"COM2", "COM3", "COM4"};
        for (int i = 0; i < 3; ++i) {
            char item[16] = "";
            SendDlgItemMessageA(g_dialog, expect.list, LB_GETTEXT, i, (LPARAM)item);
            EXPECT_STREQ(item, items[i]);
        }
        EXPECT_EQ(SendDlgItemMessageA(g_dialog, expect.list, LB_GETCURSEL, 0, 0), expect.selected);
    }
}

TEST_F(DialogTest, PathSetIsFilledAtStartUp)
{
    char module[MAX_PATH];
    GetModuleFileNameA(NULL, module, sizeof module);
    std::string folder = module;
    folder.erase(folder.rfind('\\') + 1);
    EXPECT_EQ(std::string(g_paths.source), folder);
    EXPECT_EQ(g_paths.source[strlen(g_paths.source) - 1], '\\');

    char system[MAX_PATH], windows[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_STREQ(g_paths.system, system);
    EXPECT_EQ(std::string(g_paths.drivers), std::string(system) + "\\Drivers");
    EXPECT_STREQ(g_paths.windows, windows);
    EXPECT_STREQ(g_paths.install, "c:\\Zelnar");
    EXPECT_EQ(ControlText(1002), "c:\\Zelnar");
    EXPECT_STREQ(g_paths.desktop, "");
    EXPECT_STREQ(g_paths.programs, "");
    EXPECT_EQ(g_isNt, 1); // Wine reports the NT family unless told otherwise
}

TEST_F(DialogTest, ShowStatusFormatsMessageAndDetail)
{
    struct {
        const char *message, *detail, *expected;
    } cases[] = {
        {"Copying", "VELMARIN.EX_", "Copying:\nVELMARIN.EX_"},
        {"Creating Shortcuts", "", "Creating Shortcuts:\n"},
        {"Can't open source", "C:\\Dist\\Demos\\.", "Can't open source:\nC:\\Dist\\Demos\\."},
    };
    for (auto &c : cases) {
        ShowStatus(c.message, c.detail);
        EXPECT_EQ(ControlText(1003), c.expected);
    }
    SetStatusText("Making Directories");
    EXPECT_EQ(ControlText(1003), "Making Directories");
}

TEST_F(DialogTest, OverlongStatusIsCutTo255Characters)
{
    std::string detail(400, 'x');
    ShowStatus("Copying", detail.c_str());
    std::string text = ControlText(1003);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text, ("Copying:\n" + detail).substr(0, 255));
}

TEST_F(DialogTest, StatusIsPaintedBeforeShowStatusReturns)
{
    HWND status = GetDlgItem(g_dialog, 1003);
    UpdateWindow(g_dialog);
    ShowStatus("Copying Demos", "c:\\Zelnar\\Data\\Demos");
    EXPECT_FALSE(GetUpdateRect(status, NULL, FALSE)) << "the status line waits for a repaint";
}

TEST_F(DialogTest, StatusLineIsGreenOnWhite)
{
    HWND status = GetDlgItem(g_dialog, 1003);
    HDC dc = GetDC(status);
    SetTextColor(dc, RGB(1, 2, 3));
    HBRUSH brush =
        (HBRUSH)InstallerDialogProc(g_dialog, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)status);
    EXPECT_EQ(brush, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 128, 0));
    ReleaseDC(status, dc);

    // Any other static keeps the default colours.
    HWND other = GetDlgItem(g_dialog, 1002);
    dc = GetDC(other);
    SetTextColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(InstallerDialogProc(g_dialog, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)other), 0);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    ReleaseDC(other, dc);
}

TEST_F(DialogTest, CommandsAnswerOnlyPlainClicks)
{
    // Cancel posts the quit message with 0; a notification other than a click is not a command.
    MSG message;
    EXPECT_EQ(InstallerDialogProc(g_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0), 0);
    EXPECT_FALSE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(InstallerDialogProc(g_dialog, WM_COMMAND, 4242, 0), 0);
    EXPECT_EQ(InstallerDialogProc(g_dialog, WM_NULL, 0, 0), 0);
    EXPECT_NE(InstallerDialogProc(g_dialog, WM_COMMAND, IDCANCEL, 0), 0);
    ASSERT_TRUE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST(ExtensionCut, CutsTheLastNamesExtensionOnly)
{
    struct {
        const char *chosen, *expected;
    } cases[] = {
        {"C:\\Apps\\Velmarin.old", "C:\\Apps\\Velmarin"},
        {"C:\\Apps\\Velmarin", "C:\\Apps\\Velmarin"},
        {"D:\\Tools.old", "D:\\Tools"},
        {"C:\\My.Apps\\Velmarin", "C:\\My.Apps\\Velmarin"},
        {"C:\\Apps\\Velmarin.", "C:\\Apps\\Velmarin."},
        {"C:\\Apps\\a.b.c", "C:\\Apps\\a.b"},
        {"C:\\Apps\\.old", "C:\\Apps\\.old"},
        {"Tools.old", "Tools"},
    };
    for (auto &c : cases) {
        char path[MAX_PATH];
        lstrcpyA(path, c.chosen);
        CutExtension(path);
        EXPECT_STREQ(path, c.expected) << c.chosen;
    }
}

} // namespace
