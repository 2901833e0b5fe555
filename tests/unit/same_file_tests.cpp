// Installing into the distribution folder itself: a copy onto its own source must not empty it.
#include "test_support.h"

#include "app/state.h"
#include "install/demos_recipes.h"
#include "install/expanding_copy.h"
#include "install/settings_file.h"

#include <gtest/gtest.h>

namespace
{

class SameFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenInstaller();
        lstrcpyA(g_paths.source, (dist.path() + "\\").c_str());
        lstrcpyA(g_paths.install, dist.path().c_str());
    }
    void TearDown() override { CloseInstaller(); }
    TempDir dist;
};

TEST_F(SameFileTest, CopyOntoItselfKeepsTheFile)
{
    const std::string content = "STEP 1 MOVE 0 0\r\n";
    WriteFileBytes(dist / "a.rcp", content);
    // The same file by its own path, in another case, and through a "." element.
    for (const std::string &dest : {dist / "a.rcp", dist / "A.RCP", dist.path() + "\\.\\a.rcp"}) {
        EXPECT_EQ(ExpandingCopy((dist / "a.rcp").c_str(), dest.c_str()), 1) << dest;
        EXPECT_EQ(ReadFileBytes(dist / "a.rcp"), content) << dest;
    }
}

TEST_F(SameFileTest, LookAlikeInstalledCopyIsStillReplaced)
{
    // An earlier installation's copy has the source's name, size and write time (the copy
    // takes it over) but is another file: it must be replaced, not taken for the source.
    TempDir installed;
    WriteFileBytes(dist / "a.rcp", "STEP 2 MOVE 5 5\r\n");
    WriteFileBytes(installed / "a.rcp", "STEP 1 MOVE 0 0\r\n");
    SetWriteTime(dist / "a.rcp", 1000000000);
    SetWriteTime(installed / "a.rcp", 1000000000);
    EXPECT_EQ(ExpandingCopy((dist / "a.rcp").c_str(), (installed / "a.rcp").c_str()), 1);
    EXPECT_EQ(ReadFileBytes(installed / "a.rcp"), "STEP 2 MOVE 5 5\r\n");
    EXPECT_EQ(ReadFileBytes(dist / "a.rcp"), "STEP 2 MOVE 5 5\r\n");
}

TEST_F(SameFileTest, InstalledCopyTakesOverTheSourceWriteTime)
{
    // Over a missing and over an existing destination: a later run compares these times.
    TempDir installed;
    WriteFileBytes(dist / "a.rcp", "STEP 2 MOVE 5 5\r\n");
    SetWriteTime(dist / "a.rcp", 1000000000);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(ExpandingCopy((dist / "a.rcp").c_str(), (installed / "a.rcp").c_str()), 1);
        EXPECT_EQ(GetWriteTimeSeconds(installed / "a.rcp"), 1000000000) << "run " << run;
        SetWriteTime(installed / "a.rcp", 1100000000);
    }
}

TEST_F(SameFileTest, RecipesAndTemplateSurviveAnInstallIntoTheDistribution)
{
    CreateDirectoryA((dist / "Recipes").c_str(), NULL);
    WriteFileBytes(dist / "Recipes\\clean.rcp", "RINSE 60\r\n");
    WriteFileBytes(dist / "Velmarin.ini", "[MOTION]\r\nStepsPerMm=400\r\n");

    EXPECT_EQ(CopyRecipes(), 1);
    EXPECT_EQ(ReadFileBytes(dist / "Recipes\\clean.rcp"), "RINSE 60\r\n");

    EXPECT_EQ(CreateSettingsFile(), 1);
    char value[32];
    GetPrivateProfileStringA("MOTION", "StepsPerMm", "", value, sizeof value,
                             (dist / "Velmarin.ini").c_str());
    EXPECT_STREQ(value, "400");
    GetPrivateProfileStringA("ATTACHMENTS", "CameraCom", "", value, sizeof value,
                             (dist / "Velmarin.ini").c_str());
    EXPECT_STREQ(value, "COM3");
}

} // namespace
