#include "moviesaver/mvpak.h"
#include "util/modulenames.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

std::string MvpackExe() { return BinPath("mvpack.exe"); }
std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// A 2 x 2 24-bit BMP.
std::string SmallBmp() {
    std::string bmp(14 + 40 + 16, '\0');
    auto put32 = [&](size_t at, DWORD v) { memcpy(&bmp[at], &v, 4); };
    auto put16 = [&](size_t at, WORD v) { memcpy(&bmp[at], &v, 2); };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<DWORD>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    put16(26, 1);
    put16(28, 24);
    for (size_t i = 54; i < bmp.size(); ++i)
        bmp[i] = static_cast<char>(i * 9);
    return bmp;
}

std::string Movie() { return std::string("FWS\x06\x20\0\0\0", 8) + std::string(24, '\x11'); }

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, ".."))
                names.push_back(data.cFileName);
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    return names;
}

class Mvpack : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ScratchDir("mvpack-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        module = dir + "\\MovieSaver.scr";
        player = dir + "\\Player.exe";
        picture = dir + "\\preview.bmp";
        settings = dir + "\\saver.ini";
        ASSERT_TRUE(CopyFileTo(BinPath("MovieSaver.scr"), module));
        ASSERT_TRUE(CopyFileTo(BinPath("spiprobe.exe"), player));
        ASSERT_TRUE(WriteFileBytes(picture, SmallBmp()));
        ASSERT_TRUE(WriteFileBytes(dir + "\\movie.swf", Movie()));
        ASSERT_TRUE(WriteFileBytes(settings, "[Settings]\r\nRunPreview=1\r\nThreeWaySound=1\r\n"
                                             "[Timesink]\r\nAppName=Aquarium Deluxe\r\n"
                                             "[Interactive]\r\nKey1=q\r\nKey2=Esc\r\nOnKey=1\r\n"
                                             "[Execute]\r\nCommand=http://example.org/fish\r\nKey=Space\r\n"));
    }

    int Run(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
        return RunProgram(MvpackExe(), args, out, err);
    }

    std::string dir, module, player, picture, settings;
};

TEST_F(Mvpack, BuildThenInfoAndLoadReadBackEveryField) {
    std::string output = dir + "\\Aquarium.scr";
    std::string err;
    ASSERT_EQ(Run("build --module " + Quote(module) + " --player " + Quote(player) + " --picture " + Quote(picture) +
                      " --settings " + Quote(settings) + " -o " + Quote(output),
                  nullptr, &err),
              0)
        << err;
    EXPECT_EQ(err, "");

    std::string info;
    EXPECT_EQ(Run("info " + Quote(output), &info), 0);
    for (const char* line : {"flags             0x14 RunPreview ThreeWaySound", "appName           \"Aquarium Deluxe\"",
                             "interactiveFlags  0x02 OnKey", "Key1              0x51 Q", "Key2              0x1B Escape",
                             "executeKey        0x20 Space", "command           \"http://example.org/fish\""})
        EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
    EXPECT_NE(info.find("picture  offset"), std::string::npos);

    SetModuleNames(output.c_str());
    mvPak pak;
    ASSERT_EQ(pak.Load(TRUE), 1);
    const mvTrailer& t = pak.trailer;
    EXPECT_EQ(t.flags, static_cast<DWORD>(FLAG_RUN_PREVIEW | FLAG_THREE_WAY_SOUND));
    EXPECT_STREQ(t.appName, "Aquarium Deluxe");
    EXPECT_EQ(t.keys[0], 0x51u);
    EXPECT_EQ(t.keys[1], 0x1Bu);
    EXPECT_EQ(t.interactiveFlags, static_cast<DWORD>(INTERACTIVE_ON_KEY));
    EXPECT_EQ(t.executeKey, 0x20u);
    EXPECT_STREQ(t.command, "http://example.org/fish");
    std::string bytes = ReadFileBytes(output);
    EXPECT_EQ(t.playerEnd, bytes.size() - TRAILER_SIZE);
    EXPECT_EQ(t.pictureOffset % 512, 0u);
    EXPECT_EQ(bytes.substr(0, ReadFileBytes(module).size()), ReadFileBytes(module));
    EXPECT_EQ(bytes.substr(t.pictureOffset, t.playerOffset - t.pictureOffset), SmallBmp());
    EXPECT_EQ(ReadFileBytes(pak.playerPath), ReadFileBytes(player));
    DeleteFileA(pak.playerPath);
}

TEST_F(Mvpack, WithoutPictureOrSettingsAndWithAMovieMakesAProjector) {
    std::string output = dir + "\\Reef.scr";
    ASSERT_EQ(Run("build --module " + Quote(module) + " --player " + Quote(player) + " --movie " +
                  Quote(dir + "\\movie.swf") + " -o " + Quote(output)),
              0);
    SetModuleNames(output.c_str());
    mvPak pak;
    ASSERT_EQ(pak.Load(TRUE), 1);
    EXPECT_EQ(pak.trailer.pictureOffset, 0u);
    EXPECT_EQ(pak.trailer.flags, 0u);
    EXPECT_STREQ(pak.trailer.appName, "Reef");
    std::string projector = ReadFileBytes(pak.playerPath);
    std::string movie = Movie();
    ASSERT_EQ(projector.size(), ReadFileBytes(player).size() + movie.size() + 8);
    EXPECT_EQ(projector.substr(projector.size() - 8 - movie.size(), movie.size()), movie);
    DWORD tail[2];
    memcpy(tail, projector.data() + projector.size() - 8, 8);
    EXPECT_EQ(tail[0], 0xFA123456u);
    EXPECT_EQ(tail[1], movie.size());
    std::string info;
    EXPECT_EQ(Run("info " + Quote(output), &info), 0);
    EXPECT_NE(info.find("a projector carrying a movie of 32 bytes"), std::string::npos) << info;
    DeleteFileA(pak.playerPath);
}

TEST_F(Mvpack, ReplaceCutsAnEarlierPackageOffTheModule) {
    std::string first = dir + "\\First.scr", second = dir + "\\Second.scr";
    ASSERT_EQ(Run("build --module " + Quote(module) + " --player " + Quote(player) + " -o " + Quote(first)), 0);
    std::string err;
    EXPECT_EQ(Run("build --module " + Quote(first) + " --player " + Quote(player) + " -o " + Quote(second), nullptr,
                  &err),
              1);
    EXPECT_NE(err.find("already carries a package"), std::string::npos) << err;
    ASSERT_EQ(Run("build --module " + Quote(first) + " --player " + Quote(player) + " --picture " + Quote(picture) +
                  " --replace -o " + Quote(second)),
              0);
    EXPECT_EQ(ReadFileBytes(first).substr(0, 4096), ReadFileBytes(second).substr(0, 4096));
    SetModuleNames(second.c_str());
    mvPak pak;
    EXPECT_EQ(pak.Load(FALSE), 1);
    EXPECT_EQ(pak.trailer.pictureOffset, ReadFileBytes(first).size() - ReadFileBytes(player).size() - TRAILER_SIZE);
}

struct BadInput {
    const char* what;
    std::string args; // $M module, $P player, $B picture, $S settings, $D folder
    int exitCode;
    const char* message;
};

TEST_F(Mvpack, BadInputGetsOneLineAndLeavesNoOutput) {
    ASSERT_TRUE(WriteFileBytes(dir + "\\text.txt", "just some text that is not a program at all, really"));
    ASSERT_TRUE(WriteFileBytes(dir + "\\fake.bmp", "BM this is no picture"));
    std::string bmp16 = SmallBmp();
    bmp16[28] = 16;
    ASSERT_TRUE(WriteFileBytes(dir + "\\deep.bmp", bmp16));
    const BadInput cases[] = {
        {"module is text", "build --module $D\\text.txt --player $P -o $D\\out.scr", 1, "not a Windows program"},
        {"player is text", "build --module $M --player $D\\text.txt -o $D\\out.scr", 1, "not a Windows program"},
        {"missing module", "build --module $D\\none.scr --player $P -o $D\\out.scr", 1, "cannot read the file"},
        {"picture not a BMP", "build --module $M --player $P --picture $D\\text.txt -o $D\\out.scr", 1,
         "not a BMP file"},
        {"picture with a bad header", "build --module $M --player $P --picture $D\\fake.bmp -o $D\\out.scr", 1,
         "BMP"},
        {"picture of 16 bits", "build --module $M --player $P --picture $D\\deep.bmp -o $D\\out.scr", 1,
         "unsupported depth of 16 bits"},
        {"movie not an SWF", "build --module $M --player $P --movie $D\\text.txt -o $D\\out.scr", 1,
         "not an SWF movie"},
        {"missing settings", "build --module $M --player $P --settings $D\\none.ini -o $D\\out.scr", 1,
         "cannot read the file"},
        {"output over the module", "build --module $M --player $P -o $M", 1, "would replace one of the inputs"},
        {"output over the player", "build --module $M --player $P -o $P", 1, "would replace one of the inputs"},
        {"no output", "build --module $M --player $P", 2, "needs -o"},
        {"no player", "build --module $M -o $D\\out.scr", 2, "needs --player"},
        {"unknown option", "build --module $M --player $P --colour red -o $D\\out.scr", 2, "unknown option"},
        {"option without value", "build --module $M --player", 2, "needs a value"},
        {"unknown command", "pack $M", 2, "unknown command"},
        {"no command", "", 2, "no command given"},
    };
    const std::string moduleBytes = ReadFileBytes(module), playerBytes = ReadFileBytes(player);
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.what);
        std::string args = c.args;
        for (auto [token, value] : {std::pair<std::string, std::string>{"$M", module}, {"$P", player},
                                    {"$B", picture}, {"$S", settings}, {"$D", dir}}) {
            for (size_t at; (at = args.find(token)) != std::string::npos;)
                args.replace(at, token.size(), value);
        }
        std::string err;
        EXPECT_EQ(Run(args, nullptr, &err), c.exitCode);
        EXPECT_EQ(err.rfind("mvpack: ", 0), 0u) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        if (c.exitCode == 1) {
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
        EXPECT_FALSE(PathExists(dir + "\\out.scr"));
        EXPECT_EQ(FilesIn(dir).size(), 8u) << "a temporary file was left behind";
        EXPECT_EQ(ReadFileBytes(module), moduleBytes);
        EXPECT_EQ(ReadFileBytes(player), playerBytes);
    }
}

TEST_F(Mvpack, InfoOnAFileWithoutPackageSaysSoAndHelpSucceeds) {
    std::string out;
    EXPECT_EQ(Run("info " + Quote(module), &out), 1);
    EXPECT_NE(out.find("no package"), std::string::npos) << out;
    EXPECT_EQ(Run("--help", &out), 0);
    EXPECT_NE(out.find("usage: mvpack build"), std::string::npos);
    std::string damaged = ReadFileBytes(module);
    std::string trailer(TRAILER_SIZE, '\0');
    memcpy(&trailer[0], "MVP2", 4);
    DWORD offsets[3] = {0, 100, 99}; // playerEnd before playerOffset
    memcpy(&trailer[8], offsets, sizeof offsets);
    ASSERT_TRUE(WriteFileBytes(dir + "\\Damaged.scr", damaged + trailer));
    EXPECT_EQ(Run("info " + Quote(dir + "\\Damaged.scr"), &out), 1);
    EXPECT_NE(out.find("damaged package"), std::string::npos) << out;
}

} // namespace
