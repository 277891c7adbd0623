#include "util/modulenames.h"
#include "util/paths.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SplitCase {
    const char* path;
    const char* directory;
    const char* name;
};

TEST(Paths, SplitAtTheLastSeparator) {
    const SplitCase cases[] = {
        {"C:\\Saver\\Movie.scr", "C:\\Saver", "Movie.scr"},
        {"C:\\Movie.scr", "C:", "Movie.scr"},
        {"Movie.scr", "", "Movie.scr"},
        {"C:\\Saver\\", "C:\\Saver", ""},
        {"C:Movie.scr", "C", "Movie.scr"},
        {"a/b\\c:d", "a/b\\c", "d"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.path);
        char directory[PATH_SIZE] = "x", name[PATH_SIZE] = "x";
        EXPECT_TRUE(SplitPath(c.path, directory, name));
        EXPECT_STREQ(directory, c.directory);
        EXPECT_STREQ(name, c.name);
        EXPECT_TRUE(SplitPath(c.path, nullptr, name));
        EXPECT_TRUE(SplitPath(c.path, directory, nullptr));
    }
}

struct JoinCase {
    const char* directory;
    const char* name;
    const char* joined;
};

TEST(Paths, JoinInsertsABackslashOnlyAfterTwoCharacters) {
    const JoinCase cases[] = {
        {"C:\\Temp", "a.dat", "C:\\Temp\\a.dat"}, {"C:\\Temp\\", "a.dat", "C:\\Temp\\a.dat"},
        {"C:", "a.dat", "C:a.dat"},               {"", "a.dat", "a.dat"},
        {"D", "a.dat", "Da.dat"},                 {nullptr, "a.dat", "a.dat"},
        {"C:\\Temp", nullptr, "C:\\Temp"},        {"C:/x/", "a", "C:/x/a"},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(c.joined);
        char out[PATH_SIZE] = "junk";
        EXPECT_TRUE(JoinPath(out, c.directory, c.name));
        EXPECT_STREQ(out, c.joined);
    }
}

TEST(Paths, OverlongResultsAreCutAndReported) {
    std::string longDir = "C:\\" + std::string(250, 'd');
    char out[PATH_SIZE];
    EXPECT_FALSE(JoinPath(out, longDir.c_str(), "a-rather-long-name.dat"));
    EXPECT_EQ(strlen(out), PATH_SIZE - 1u);
    std::string longPath = "C:\\" + std::string(300, 'd') + "\\" + std::string(100, 'n');
    char directory[PATH_SIZE], name[PATH_SIZE];
    EXPECT_FALSE(SplitPath(longPath.c_str(), directory, name));
    EXPECT_LT(strlen(directory), static_cast<size_t>(PATH_SIZE));
    EXPECT_FALSE(ReplaceExtension(out, (longDir + "\\Movie.scr").c_str(), ".a-long-extension"));
    EXPECT_LT(strlen(out), static_cast<size_t>(PATH_SIZE));
}

struct ExtensionCase {
    const char* module;
    const char* extension;
    const char* result;
};

TEST(Paths, ModuleFileWithExtensionReplacesFromTheLastDotOfTheWholePath) {
    const ExtensionCase cases[] = {
        {"C:\\Windows\\Movie.scr", ".ini", "C:\\Windows\\Movie.ini"},
        {"C:\\Windows\\Movie", ".ini", "C:\\Windows\\Movie.ini"},
        {"C:\\My.Dir\\Movie", ".ini", "C:\\My.ini"},
        {"C:\\Saver\\Movie.Saver.scr", ".exe", "C:\\Saver\\Movie.Saver.exe"},
    };
    for (const ExtensionCase& c : cases) {
        SCOPED_TRACE(c.module);
        SetModuleNames(c.module);
        char out[PATH_SIZE];
        EXPECT_EQ(ModuleFileWithExtension(out, c.extension), out);
        EXPECT_STREQ(out, c.result);
    }
}

TEST(Paths, FileExistsForFilesNotForDirectories) {
    std::string dir = testsupport::ScratchDir("fileexists");
    std::string empty = dir + "\\empty.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(empty, ""));
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    EXPECT_TRUE(FileExists(empty.c_str()));
    EXPECT_TRUE(FileExists((dir + "\\*.txt").c_str()));
    EXPECT_FALSE(FileExists((dir + "\\sub").c_str()));
    EXPECT_FALSE(FileExists(dir.c_str()));
    EXPECT_FALSE(FileExists((dir + "\\missing.txt").c_str()));
}

TEST(Paths, SearchesNeverReportDotEntries) {
    std::string dir = testsupport::ScratchDir("search");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir + "\\a.txt", "a"));
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    const DWORD masks[] = {0, ATTR_ANY_FILE, ATTR_DIRECTORY};
    for (DWORD mask : masks) {
        SCOPED_TRACE(mask);
        FileSearch search;
        int found = 0;
        for (bool more = FindFirstMatch(&search, (dir + "\\*").c_str(), mask); more; more = FindNextMatch(&search)) {
            EXPECT_STRNE(search.data.cFileName, ".");
            EXPECT_STRNE(search.data.cFileName, "..");
            ++found;
        }
        EndSearch(&search);
        EndSearch(&search); // a closed search stays closed
        EXPECT_EQ(found, mask == 0 ? 2 : 1);
    }
    FileSearch missing;
    EXPECT_FALSE(FindFirstMatch(&missing, (dir + "\\nothing*").c_str(), 0));
    EXPECT_EQ(missing.handle, INVALID_HANDLE_VALUE);
}

} // namespace
