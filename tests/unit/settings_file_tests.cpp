// The settings file: a copy of the template beside the installer with the dialog's choices written
// into it, read back here from the file's own text.
#include "test_support.h"

#include "app/state.h"
#include "install/settings_file.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace
{

typedef std::map<std::string, std::string> Keys; // "SECTION/Key" -> value
const char kAbsent[] = "<absent>";

// A small reader of the initialisation-file text, independent of the profile functions.
Keys ParseIni(const std::string &text)
{
    Keys keys;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            keys[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

std::string Value(const Keys &keys, const std::string &name)
{
    auto found = keys.find(name);
    return found == keys.end() ? kAbsent : found->second;
}

const char kTemplate[] =
    "[ATTACHMENTS]\r\nCellCamera=7\r\nCameraCom=COM9\r\nWideband=0\r\n"
    "UVCom=COM8\r\nLaserPower=35\r\n\r\n[FRAME]\r\nTitleBar=0\r\nLeft=40\r\n\r\n"
    "[MOTION]\r\nStepsPerMm=400\r\n";
const char kNoAttachments[] = "[FRAME]\r\nLeft=40\r\n\r\n[MOTION]\r\nStepsPerMm=400\r\n";

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        lstrcpynA(g_paths.source, (dist_.path() + "\\").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.install, install_.path().c_str(), DIR_SIZE);
    }
    void TearDown() override { CloseInstaller(); }
    TempDir dist_, install_;
};

struct Choices {
    int camera; // the radio button
    bool captionBar, uvUnit;
    int cameraPort, uvPort; // indexes of COM2, COM3, COM4
};

void Choose(const Choices &choices)
{
    CheckRadioButton(g_dialog, IDC_CAMERA_A50, IDC_CAMERA_NONE, choices.camera);
    CheckDlgButton(g_dialog, IDC_CAPTION_BAR, choices.captionBar ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(g_dialog, IDC_UV_UNIT, choices.uvUnit ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(g_dialog, IDC_CAMERA_PORT, LB_SETCURSEL, choices.cameraPort, 0);
    SendDlgItemMessageA(g_dialog, IDC_UV_PORT, LB_SETCURSEL, choices.uvPort, 0);
}

TEST_F(SettingsFileTest, ChoicesAreWrittenOverTheTemplate)
{
    const Choices defaults = {IDC_CAMERA_A1, false, false, 1, 2};
    struct {
        const char *what;
        const char *templateText;
        Choices choices;
        // CellCamera, CameraCom, TitleBar, Wideband, UVCom
        const char *expected[5];
    } cases[] = {
        {"the default choices", kTemplate, defaults, {"1", "COM3", "0", "0", "COM8"}},
        {"A50, caption bar, UV unit on COM2",
         kTemplate,
         {IDC_CAMERA_A50, true, true, 2, 0},
         {"50", "COM4", "1", "1", "COM2"}},
        {"no camera",
         kTemplate,
         {IDC_CAMERA_NONE, false, false, 0, 2},
         {"0", "COM2", "0", "0", "COM8"}},
        {"no ATTACHMENTS section",
         kNoAttachments,
         defaults,
         {"1", "COM3", kAbsent, kAbsent, kAbsent}},
        {"no ATTACHMENTS section, UV unit on COM3",
         kNoAttachments,
         {IDC_CAMERA_A50, false, true, 0, 1},
         {"50", "COM2", kAbsent, "1", "COM3"}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        // Whatever the file held before is replaced by the template's contents.
        WriteFileBytes(install_ / "Velmarin.ini", "[ATTACHMENTS]\r\nUserSetting=1\r\n");
        WriteFileBytes(dist_ / "Velmarin.ini", c.templateText);
        Choose(c.choices);
        StatusRecorder status;
        EXPECT_EQ(CreateSettingsFile(), 1);
        EXPECT_EQ(status.texts(),
                  std::vector<std::string>{"Creating Ini File:\n" + install_ / "Velmarin.ini"});

        Keys keys = ParseIni(ReadFileBytes(install_ / "Velmarin.ini"));
        EXPECT_EQ(Value(keys, "ATTACHMENTS/CellCamera"), c.expected[0]);
        EXPECT_EQ(Value(keys, "ATTACHMENTS/CameraCom"), c.expected[1]);
        EXPECT_EQ(Value(keys, "FRAME/TitleBar"), c.expected[2]);
        EXPECT_EQ(Value(keys, "ATTACHMENTS/Wideband"), c.expected[3]);
        EXPECT_EQ(Value(keys, "ATTACHMENTS/UVCom"), c.expected[4]);
        // Everything else is the template's.
        Keys original = ParseIni(c.templateText);
        for (const char *kept : {"ATTACHMENTS/LaserPower", "FRAME/Left", "MOTION/StepsPerMm"})
            EXPECT_EQ(Value(keys, kept), Value(original, kept)) << kept;
        EXPECT_EQ(Value(keys, "ATTACHMENTS/UserSetting"), kAbsent);
        size_t written = 2 + (c.choices.captionBar ? 1 : 0) + (c.choices.uvUnit ? 2 : 0);
        size_t added = 0;
        for (auto &key : keys)
            added += original.count(key.first) ? 0 : 1;
        EXPECT_LE(added, written) << "keys appeared that nobody wrote";
    }
}

TEST_F(SettingsFileTest, FailedTemplateCopyFailsTheStepWritingNothing)
{
    std::string longInstall = MakeLongFolder(install_.path(), 250);
    struct {
        const char *what;
        bool templatePresent;
        std::string install;
        std::string status;
    } cases[] = {
        {"template missing", false, install_.path(),
         "Can't open source:\n" + dist_ / "Velmarin.ini"},
        {"install directory missing", true, install_ / "Missing",
         "Can't open destination:\n" + install_ / "Missing\\Velmarin.ini"},
        // "\Velmarin.ini" takes 250 characters past 259; the cut path would end in "\Velmarin".
        {"install directory too long", true, longInstall,
         ("Can't open destination:\n" + longInstall + "\\Velmarin").substr(0, 255)},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA((dist_ / "Velmarin.ini").c_str());
        if (c.templatePresent)
            WriteFileBytes(dist_ / "Velmarin.ini", kTemplate);
        lstrcpynA(g_paths.install, c.install.c_str(), DIR_SIZE);
        EXPECT_EQ(CreateSettingsFile(), 0);
        EXPECT_EQ(ControlText(1003), c.status);
        EXPECT_FALSE(FileExists(c.install + "\\Velmarin.ini"));
        EXPECT_FALSE(FileExists(longInstall + "\\Velmarin"));
    }
}

} // namespace
