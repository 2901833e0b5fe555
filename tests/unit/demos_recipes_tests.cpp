// The demos and recipes copies: every file of the two folders, whatever its time, with the folders'
// own "." and ".." entries passed over and subfolders reported, and their status messages.
#include "test_support.h"

#include "app/state.h"
#include "install/demos_recipes.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class DemosRecipesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        lstrcpynA(g_paths.source, (dist_.path() + "\\").c_str(), DIR_SIZE);
        lstrcpynA(g_paths.install, install_.path().c_str(), DIR_SIZE);
        CreateDirectoryA((install_ / "Data").c_str(), NULL);
    }
    void TearDown() override { CloseInstaller(); }
    TempDir dist_, install_;
};

TEST_F(DemosRecipesTest, EveryFileIsCopiedWhateverItsTime)
{
    WriteTree(dist_.path(), {{"Demos\\align.dem", "align"},
                             {"Demos\\Oxide Growth.dem", "oxide"},
                             {"Demos\\camera.dem", "camera"},
                             {"Recipes\\clean.rcp", "clean"},
                             {"Recipes\\README", "no dot in this name"}});
    // Installed copies newer than the distribution's are replaced all the same.
    WriteTree(install_.path(),
              {{"Data\\Demos\\align.dem", "installed"}, {"Recipes\\clean.rcp", "x"}});
    SetWriteTime(install_ / "Data\\Demos\\align.dem", 2000000000LL);
    SetWriteTime(dist_ / "Demos\\align.dem", 1000000000LL);
    // Read-only recipes arrive with normal attributes.
    SetFileAttributesA((dist_ / "Recipes\\clean.rcp").c_str(), FILE_ATTRIBUTE_READONLY);

    StatusRecorder status;
    EXPECT_EQ(CopyDemos(), 1);
    EXPECT_EQ(CopyRecipes(), 1);
    EXPECT_EQ(ReadFileBytes(install_ / "Data\\Demos\\align.dem"), "align");
    EXPECT_EQ(ReadFileBytes(install_ / "Data\\Demos\\Oxide Growth.dem"), "oxide");
    EXPECT_EQ(ReadFileBytes(install_ / "Data\\Demos\\camera.dem"), "camera");
    EXPECT_EQ(ReadFileBytes(install_ / "Recipes\\clean.rcp"), "clean");
    EXPECT_EQ(ReadFileBytes(install_ / "Recipes\\README"), "no dot in this name");
    EXPECT_EQ(GetFileAttributesA((install_ / "Recipes\\clean.rcp").c_str()) &
                  FILE_ATTRIBUTE_READONLY,
              0u);
    SetFileAttributesA((dist_ / "Recipes\\clean.rcp").c_str(), FILE_ATTRIBUTE_NORMAL);

    // The folders' own "." and ".." are not files of the distribution: nothing fails, and each
    // copy's folder message stays until the next.
    EXPECT_EQ(status.texts(),
              (std::vector<std::string>{"Copying Demos:\n" + install_ / "Data\\Demos",
                                        "Copying Recipes:\n" + install_ / "Recipes"}));
}

TEST_F(DemosRecipesTest, MissingDemosFolderShowsItsMessageAndRecipesFollow)
{
    WriteTree(dist_.path(), {{"Recipes\\clean.rcp", "clean"}});
    StatusRecorder status;
    EXPECT_EQ(CopyDemos(), 1);
    EXPECT_EQ(ControlText(1003), "Copying Demos:\n" + install_ / "Data\\Demos");
    EXPECT_EQ(CopyRecipes(), 1);
    EXPECT_EQ(ReadFileBytes(install_ / "Recipes\\clean.rcp"), "clean");
    EXPECT_EQ(status.texts().size(), 2u);
}

TEST_F(DemosRecipesTest, SubfolderFailsAndTheOtherFilesAreCopied)
{
    WriteTree(
        dist_.path(),
        {{"Recipes\\a.rcp", "a"}, {"Recipes\\Old\\inner.rcp", "inner"}, {"Recipes\\z.rcp", "z"}});
    StatusRecorder status;
    EXPECT_EQ(CopyRecipes(), 1);
    EXPECT_EQ(ReadFileBytes(install_ / "Recipes\\a.rcp"), "a");
    EXPECT_EQ(ReadFileBytes(install_ / "Recipes\\z.rcp"), "z");
    EXPECT_FALSE(FileExists(install_ / "Recipes\\Old"));
    EXPECT_FALSE(FileExists(install_ / "Recipes\\inner.rcp"));
    EXPECT_TRUE(status.Saw("Can't open source:\n" + dist_ / "Recipes\\Old"));
    for (const std::string &text : status.texts())
        EXPECT_EQ(text.find("Recipes\\."), std::string::npos) << text;
}

TEST_F(DemosRecipesTest, MissingDataFolderFailsEachDemoWithCantOpenDestination)
{
    RemoveDirectoryA((install_ / "Data").c_str());
    WriteTree(dist_.path(), {{"Demos\\a.dem", "a"}, {"Demos\\b.dem", "b"}});
    StatusRecorder status;
    EXPECT_EQ(CopyDemos(), 1);
    EXPECT_TRUE(status.Saw("Can't open destination:\n" + install_ / "Data\\Demos\\a.dem"));
    EXPECT_TRUE(status.Saw("Can't open destination:\n" + install_ / "Data\\Demos\\b.dem"));
    EXPECT_FALSE(FileExists(install_ / "Data"));
}

TEST_F(DemosRecipesTest, FoldersThatDoNotFitAreNotMadeUnderCutNames)
{
    WriteTree(dist_.path(), {{"Demos\\a.dem", "a"}, {"Recipes\\b.rcp", "b"}});
    struct {
        size_t length;
        const char *cut; // the folder that a cut path would have made
    } cases[] = {
        {250, "\\Data\\Demo"}, // "\Data\Demos" takes it to 261
        {255, "\\Rec"},        // "\Recipes" takes it to 263
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.cut);
        std::string install = MakeLongFolder(install_ / std::to_string(c.length), c.length);
        CreateDirectoryA((install + "\\Data").c_str(), NULL);
        lstrcpynA(g_paths.install, install.c_str(), DIR_SIZE);
        EXPECT_EQ(CopyDemos(), 1);
        EXPECT_EQ(CopyRecipes(), 1);
        EXPECT_FALSE(FileExists(install + c.cut));
    }
}

} // namespace
