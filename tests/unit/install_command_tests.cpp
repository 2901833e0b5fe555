// The Install command in the test process: the steps' order, what stops a run and what does not,
// the buttons after a run, a second run, and command 1 arriving while a run is under way.
#include "test_support.h"

#include "app/state.h"
#include "install/install_command.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

const char kList[] =
    "VELMARIN.EX_,velmarin.exe,P\r\n; shared library\r\nZELCOM.DLL,zelcom.dll,S\r\n"
    "ZELPORT.SYS,zelport.sys,D\r\nzelnar.fon,zelnar.fon,W\r\n"
    "MACHINE.CFG,Data\\machine.cfg,P\r\n";
const char kTemplate[] = "[ATTACHMENTS]\r\nCellCamera=7\r\n\r\n[FRAME]\r\nTitleBar=0\r\n";

class InstallCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        ASSERT_FALSE(FileExists(std::string(g_paths.source) + "Velmarin.lst"))
            << "a file list lies beside the test program";
        g_isNt = 1;
        // The list is found by its bare name in the working folder: the distribution.
        GetCurrentDirectoryA(sizeof previous_, previous_);
        SetCurrentDirectoryA(dist_.path().c_str());
        lstrcpynA(g_paths.source, (dist_.path() + "\\").c_str(), DIR_SIZE);
        for (const char *name : {"system", "system\\Drivers", "windows", "Desktop", "Programs"})
            CreateDirectoryA((machine_ / name).c_str(), NULL);
        lstrcpynA(g_paths.system, (machine_ / "system").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.drivers, (machine_ / "system\\Drivers").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.windows, (machine_ / "windows").c_str(), DIR_SIZE);
        install_ = target_ / "Zelnar";
        SetDlgItemTextA(g_dialog, IDC_INSTALL_DIR, install_.c_str());
        registry_.reset(new RegistryRedirect(HKEY_LOCAL_MACHINE));
        registry_->SetString("Common Desktop", machine_ / "Desktop");
        registry_->SetString("Common Programs", machine_ / "Programs");
        WriteTree(dist_.path(), {{"Velmarin.lst", kList},
                                 {"VELMARIN.EX_", ReadFileBytes(Fixture("text.txt_"))},
                                 {"ZELCOM.DLL", "library"},
                                 {"ZELPORT.SYS", "driver"},
                                 {"zelnar.fon", "font"},
                                 {"MACHINE.CFG", "config"},
                                 {"Demos\\align.dem", "align"},
                                 {"Recipes\\clean.rcp", "clean"},
                                 {"Velmarin.ini", kTemplate}});
    }
    void TearDown() override
    {
        registry_.reset();
        SetCurrentDirectoryA(previous_);
        CloseInstaller();
    }
    static std::string Fixture(const char *name)
    {
        return WindowsPath(EnvValue("ZELNAR_FIXTURES")) + "\\" + name;
    }
    void Tick(std::initializer_list<int> boxes)
    {
        for (int box : {IDC_PROGRAM_FILES, IDC_SETTINGS, IDC_RECIPES_DEMOS, IDC_DESKTOP_ICONS})
            CheckDlgButton(g_dialog, box, BST_UNCHECKED);
        for (int box : boxes)
            CheckDlgButton(g_dialog, box, BST_CHECKED);
    }
    // Runs the command as the dialog receives it; reports whether the quit message was posted.
    bool Run(WPARAM *exitCode = NULL)
    {
        SendMessageA(g_dialog, WM_COMMAND, IDOK, 0);
        MSG message;
        bool quit = PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
        if (quit && exitCode)
            *exitCode = message.wParam;
        return quit;
    }
    void ExpectStoppedButtons()
    {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(g_dialog, IDOK)));
        EXPECT_EQ(ControlText(IDCANCEL), "Close");
    }

    TempDir dist_, target_, machine_;
    std::string install_;
    std::unique_ptr<RegistryRedirect> registry_;
    char previous_[MAX_PATH];
};

TEST_F(InstallCommandTest, CompleteRunInstallsEverythingInOrderAndPostsQuit)
{
    StatusRecorder status;
    WPARAM exitCode = 99;
    EXPECT_TRUE(Run(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    ExpectStoppedButtons();
    EXPECT_STREQ(g_paths.install, install_.c_str());

    // The steps in their fixed order: program files, demos and recipes, settings, shortcuts.
    std::vector<std::string> expected = {"Making Directories",
                                         "Copying:\nVELMARIN.EX_",
                                         "Copying:\nZELCOM.DLL",
                                         "Copying:\nZELPORT.SYS",
                                         "Copying:\nzelnar.fon",
                                         "Copying:\nMACHINE.CFG",
                                         "Copying Demos:\n" + install_ + "\\Data\\Demos",
                                         "Copying Recipes:\n" + install_ + "\\Recipes",
                                         "Creating Ini File:\n" + install_ + "\\Velmarin.ini",
                                         "Creating Shortcuts:\n"};
    EXPECT_EQ(status.texts(), expected);

    EXPECT_EQ(ReadFileBytes(install_ + "\\velmarin.exe"), ReadFileBytes(Fixture("text.txt")));
    EXPECT_EQ(ReadFileBytes(install_ + "\\Data\\machine.cfg"), "config");
    EXPECT_EQ(ReadFileBytes(machine_ / "system\\zelcom.dll"), "library");
    EXPECT_EQ(ReadFileBytes(machine_ / "system\\Drivers\\zelport.sys"), "driver");
    EXPECT_EQ(ReadFileBytes(machine_ / "windows\\zelnar.fon"), "font");
    EXPECT_EQ(ReadFileBytes(install_ + "\\Data\\Demos\\align.dem"), "align");
    EXPECT_EQ(ReadFileBytes(install_ + "\\Recipes\\clean.rcp"), "clean");
    EXPECT_NE(ReadFileBytes(install_ + "\\Velmarin.ini").find("CameraCom=COM3"), std::string::npos);
    EXPECT_EQ(FolderNames(machine_ / "Desktop").size(), 3u);
    EXPECT_EQ(FolderNames(machine_ / "Programs\\Moldar").size(), 4u);
}

TEST_F(InstallCommandTest, FailuresOfTheListProgramFilesAndSettingsStopTheRun)
{
    std::string longInstall = MakeLongFolder(target_ / "Long", 255);
    struct {
        const char *what;
        const char *list;       // replaces the list when set
        const char *removed;    // a distribution file taken away
        std::string install;    // the install directory shown in the dialog
        std::string status;     // the message left on the status line
        const char *lastStep;   // the text of the last step that ran, or NULL
        const char *notReached; // the first step that must not have run
    } cases[] = {
        {"a bad location letter", "A.DLL,a.dll,S\r\nB.DLL,b.dll,x\r\n", NULL, install_,
         "Can't read file list:\nVelmarin.lst", "Error in file", "Making Directories"},
        {"a missing program file", NULL, "ZELPORT.SYS", install_,
         "Can't open source:\n" + dist_ / "ZELPORT.SYS", "Copying:\nZELPORT.SYS", "Copying Demos"},
        {"an install directory too long for its files", NULL, NULL, longInstall,
         ("Can't open destination:\n" + longInstall + "\\vel").substr(0, 255),
         "Copying:\nVELMARIN.EX_", "Copying Demos"},
        {"a missing settings template", NULL, "Velmarin.ini", install_,
         "Can't open source:\n" + dist_ / "Velmarin.ini", "Creating Ini File",
         "Creating Shortcuts"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        RemoveTree(install_);
        if (c.list)
            WriteFileBytes(dist_ / "Velmarin.lst", c.list);
        if (c.removed)
            DeleteFileA((dist_ / c.removed).c_str());
        SetDlgItemTextA(g_dialog, IDC_INSTALL_DIR, c.install.c_str());
        StatusRecorder status;
        EXPECT_FALSE(Run()) << "a stopped run posts no quit message";
        ExpectStoppedButtons();
        EXPECT_EQ(ControlText(1003), c.status);
        EXPECT_GE(status.IndexOf(c.lastStep), 0);
        EXPECT_EQ(status.IndexOf(c.notReached), -1);
        EXPECT_TRUE(FolderNames(machine_ / "Desktop").empty());
        // Nothing is made under a cut name: "\Data" and the first file do not fit.
        for (const char *cut : {"\\Data", "\\Dat", "\\vel"})
            EXPECT_FALSE(FileExists(longInstall + cut)) << cut;
    }
}

TEST_F(InstallCommandTest, MissingListStopsAfterItsBox)
{
    DeleteFileA((dist_ / "Velmarin.lst").c_str());
    ErrorBoxWatcher watcher;
    StatusRecorder status;
    EXPECT_FALSE(Run());
    EXPECT_EQ(watcher.Finish(), 1);
    EXPECT_EQ(ControlText(1003), "Can't read file list:\nVelmarin.lst");
    EXPECT_EQ(status.texts().size(), 1u);
    EXPECT_FALSE(FileExists(install_));
    ExpectStoppedButtons();
}

TEST_F(InstallCommandTest, DemosAndRecipesFailuresDoNotStopTheRun)
{
    WriteTree(dist_.path(), {{"Recipes\\Old\\inner.rcp", "a subfolder fails"}});
    StatusRecorder status;
    EXPECT_TRUE(Run());
    int failed = status.IndexOf("Can't open source:\n" + dist_ / "Recipes\\Old");
    EXPECT_GE(failed, 0);
    EXPECT_GT(status.IndexOf("Creating Ini File"), failed);
    EXPECT_GT(status.IndexOf("Creating Shortcuts"), failed);
    EXPECT_TRUE(FileExists(install_ + "\\Velmarin.ini"));
}

TEST_F(InstallCommandTest, ClearedBoxesSkipTheirSteps)
{
    CreateDirectoryA(install_.c_str(), NULL);
    CreateDirectoryA((install_ + "\\Data").c_str(), NULL);
    struct {
        const char *what;
        std::initializer_list<int> boxes;
        std::vector<std::string> installed; // in the install directory
        size_t desktopLinks;
    } cases[] = {
        {"none: the list is loaded and nothing copied", {}, {"Data"}, 0},
        {"settings only", {IDC_SETTINGS}, {"Data", "Velmarin.ini"}, 0},
        {"demos and recipes only", {IDC_RECIPES_DEMOS}, {"Data", "Recipes"}, 0},
        {"desktop icons only", {IDC_DESKTOP_ICONS}, {"Data"}, 3},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(install_);
        CreateDirectoryA(install_.c_str(), NULL);
        CreateDirectoryA((install_ + "\\Data").c_str(), NULL);
        RemoveTree(machine_ / "Desktop");
        CreateDirectoryA((machine_ / "Desktop").c_str(), NULL);
        Tick(c.boxes);
        StatusRecorder status;
        EXPECT_TRUE(Run());
        EXPECT_EQ(FolderNames(install_), c.installed);
        EXPECT_EQ(FolderNames(machine_ / "Desktop").size(), c.desktopLinks);
        EXPECT_FALSE(FileExists(machine_ / "windows\\zelnar.fon"));
    }

    // With every box cleared the list is still loaded, and a bad one still stops the run.
    Tick({});
    WriteFileBytes(dist_ / "Velmarin.lst", "A,a,?\r\n");
    StatusRecorder status;
    EXPECT_FALSE(Run());
    EXPECT_EQ(ControlText(1003), "Can't read file list:\nVelmarin.lst");
}

// Shell folders that cannot be read get no links, and no "\Moldar" at the drive's root.
TEST_F(InstallCommandTest, UnknownShellFoldersGetNothing)
{
    registry_.reset(new RegistryRedirect(HKEY_LOCAL_MACHINE)); // no shell folders key
    Tick({IDC_DESKTOP_ICONS});
    StatusRecorder status;
    EXPECT_TRUE(Run());
    std::string root = dist_.path().substr(0, 3);
    for (const char *name : {"Moldar", "Zelnar.lnk", "Zelnar Help.lnk", "Reprocessing.lnk"}) {
        EXPECT_FALSE(FileExists(root + name)) << root + name;
        RemoveTree(root + name); // so that the next run starts clean
        DeleteFileA((root + name).c_str());
    }
}

TEST_F(InstallCommandTest, SecondRunAfterAStopWorksOnTheCurrentList)
{
    Tick({IDC_PROGRAM_FILES});
    WriteFileBytes(dist_ / "Velmarin.lst",
                   "ZELCOM.DLL,zelcom.dll,P\r\nMISSING.DLL,missing.dll,P\r\n");
    StatusRecorder status;
    EXPECT_FALSE(Run());
    EXPECT_EQ(ControlText(1003), "Can't open source:\n" + dist_ / "MISSING.DLL");

    // The user mends the list and presses Enter: the hidden default button's command arrives.
    WriteFileBytes(dist_ / "Velmarin.lst", "zelnar.fon,zelnar.fon,P\r\n");
    std::string second = target_ / "Second";
    SetDlgItemTextA(g_dialog, IDC_INSTALL_DIR, second.c_str());
    EXPECT_TRUE(Run());
    EXPECT_EQ(FolderNames(second), (std::vector<std::string>{"Data", "zelnar.fon"}));
    EXPECT_EQ(FolderNames(install_), (std::vector<std::string>{"Data", "zelcom.dll"}));
}

TEST_F(InstallCommandTest, CommandWhileARunIsUnderWayIsIgnored)
{
    // While the list's box is up, the list appears and command 1 reaches the dialog again.
    DeleteFileA((dist_ / "Velmarin.lst").c_str());
    std::string list = dist_ / "Velmarin.lst";
    HWND dialog = g_dialog;
    ErrorBoxWatcher watcher([&] {
        WriteFileBytes(list, kList);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    StatusRecorder status;
    EXPECT_FALSE(Run());
    EXPECT_EQ(watcher.Finish(), 1);
    EXPECT_EQ(ControlText(1003), "Can't read file list:\nVelmarin.lst");
    EXPECT_EQ(status.IndexOf("Making Directories"), -1);
    EXPECT_FALSE(FileExists(install_));
}

} // namespace
