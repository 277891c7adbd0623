#include "util/modulenames.h"

#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

struct NameCase {
    const char* file;
    const char* title;
};

TEST(ModuleNames, TitleIsTheLongNameWithoutItsLastExtension) {
    const NameCase cases[] = {
        {"Movie.scr", "Movie"},
        {"Movie.Saver.scr", "Movie.Saver"},
        {"MovieSaver", "MovieSaver"},
        {"A long name.scr", "A long name"},
    };
    std::string dir = ScratchDir("modulenames");
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = dir + "\\" + c.file;
        ASSERT_TRUE(WriteFileBytes(path, "x"));
        SetModuleNames(path.c_str());
        EXPECT_EQ(std::string(ModulePath), path);
        EXPECT_STREQ(ModuleTitle, c.title);
    }
}

TEST(ModuleNames, ShortNameBecomesTheStoredLongName) {
    std::string dir = ScratchDir("shortname");
    std::string path = dir + "\\Aquarium Movie Saver.scr";
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath), 0u);
    std::string shortName = shortPath;
    std::string shortDir = shortName.substr(0, shortName.rfind('\\'));
    SetModuleNames(shortPath);
    // Only the last component changes; the directories stay as given.
    EXPECT_EQ(std::string(ModulePath), shortDir + "\\Aquarium Movie Saver.scr");
    EXPECT_STREQ(ModuleTitle, "Aquarium Movie Saver");
}

TEST(ModuleNames, MissingFileKeepsTheNameOfThePath) {
    SetModuleNames("C:\\nowhere\\Gone.scr");
    EXPECT_STREQ(ModulePath, "C:\\nowhere\\Gone.scr");
    EXPECT_STREQ(ModuleTitle, "Gone");
    SetModuleNames("Bare.scr");
    EXPECT_STREQ(ModulePath, "Bare.scr");
    EXPECT_STREQ(ModuleTitle, "Bare");
}

TEST(ModuleNames, OverlongPathIsCutWithinTheBuffers) {
    std::string path = "C:\\" + std::string(400, 'd') + "\\" + std::string(300, 'n') + ".scr";
    SetModuleNames(path.c_str());
    EXPECT_LT(strlen(ModulePath), sizeof ModulePath);
    EXPECT_LT(strlen(ModuleTitle), sizeof ModuleTitle);
}

} // namespace
