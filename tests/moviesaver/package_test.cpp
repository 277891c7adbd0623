#include "moviesaver/mvpak.h"
#include "util/modulenames.h"

#include "packagefixture.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using testsupport::PathExists;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

std::string TempFile(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name;
}

bool IsZero(const mvTrailer& t) {
    mvTrailer zero = {};
    return memcmp(&t, &zero, sizeof t) == 0;
}

// A module file in a fresh folder, made the running module for Load.
std::string UseModule(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::string path = ScratchDir(folder) + "\\" + name;
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    SetModuleNames(path.c_str());
    return path;
}

TEST(Package, ShortFileOrWrongTrailerIsNoPackage) {
    mvTrailer noPlayer = fixture::Settings();
    noPlayer.flags = FLAG_TWO_WAY_SOUND;
    mvTrailer wrongMagic = fixture::Settings();
    wrongMagic.magic[3] = '1';
    const std::string cases[] = {
        std::string(100, 'm'),
        std::string(1000, 'm') + fixture::TrailerBytes(noPlayer),
        fixture::Package(std::string(1000, 'm'), "", "player", wrongMagic),
    };
    for (const std::string& bytes : cases) {
        UseModule("nopackage", "Lonely.scr", bytes);
        mvPak pak;
        EXPECT_EQ(pak.Load(TRUE), 0); // no player beside it either
        EXPECT_TRUE(IsZero(pak.trailer));
        EXPECT_FALSE(pak.extracted);
        EXPECT_FALSE(PathExists(TempFile("Lonely.dat")));
    }
}

TEST(Package, ExtractionCopiesThePlayerByteExactAndOverwritesAnEarlierCopy) {
    const std::string player = fixture::Bytes(70000, 1);
    mvTrailer t = fixture::Settings();
    t.flags = FLAG_TWO_WAY_SOUND;
    t.keys[0] = 0x30;
    UseModule("extract", "PackTest.scr", fixture::Package(fixture::Bytes(4096, 2), "BMpicture", player, t));
    std::string dat = TempFile("PackTest.dat");
    ASSERT_TRUE(WriteFileBytes(dat, "an older, longer copy that must go away entirely"));

    mvPak pak;
    EXPECT_EQ(pak.Load(TRUE), 1);
    EXPECT_STREQ(pak.playerPath, dat.c_str());
    EXPECT_TRUE(pak.extracted);
    EXPECT_EQ(ReadFileBytes(dat), player);
    EXPECT_EQ(pak.trailer.flags, static_cast<DWORD>(FLAG_TWO_WAY_SOUND));
    EXPECT_EQ(pak.trailer.keys[0], 0x30u);
    EXPECT_EQ(pak.trailer.pictureOffset, 4096u);
    DeleteFileA(dat.c_str());
}

TEST(Package, LoadWithoutExtractionCreatesNoFile) {
    UseModule("noextract", "Quiet.scr", fixture::Package(fixture::Bytes(2048, 3), "", fixture::Bytes(5000, 4)));
    mvPak pak;
    EXPECT_EQ(pak.Load(FALSE), 1);
    EXPECT_FALSE(pak.extracted);
    EXPECT_STREQ(pak.playerPath, "");
    EXPECT_FALSE(PathExists(TempFile("Quiet.dat")));
    EXPECT_EQ(pak.trailer.pictureOffset, 0u);
}

TEST(Package, UnpackagedModuleRunsThePlayerBesideItWithItsSettingsFile) {
    std::string module = UseModule("beside", "Movie.scr", std::string(600, 'm'));
    std::string dir = module.substr(0, module.rfind('\\'));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Movie.exe", "player"));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Movie.ini", "[Settings]\r\nRunPreview=1\r\n[Screensaver]\r\nSound=2\r\n"));
    mvPak pak;
    EXPECT_EQ(pak.Load(TRUE), 1);
    EXPECT_EQ(std::string(pak.playerPath), dir + "\\Movie.exe");
    EXPECT_FALSE(pak.extracted);
    EXPECT_EQ(pak.trailer.flags, static_cast<DWORD>(FLAG_RUN_PREVIEW));
    EXPECT_EQ(pak.sound, SOUND_NEVER);
    EXPECT_STREQ(pak.trailer.appName, "Movie");
}

TEST(Package, UnpackagedExeModuleDoesNotLookForAPlayer) {
    std::string module = UseModule("exemodule", "Movie.EXE", std::string(600, 'm'));
    mvPak pak;
    EXPECT_EQ(pak.Load(TRUE), 0);
    EXPECT_STREQ(pak.playerPath, "");
}

TEST(Package, UnreadableModuleFailsAndKeepsTheSound) {
    SetModuleNames("C:\\no\\such\\Module.scr");
    mvPak pak;
    pak.sound = 7;
    EXPECT_EQ(pak.Load(TRUE), 0);
    EXPECT_EQ(pak.sound, 7);
}

struct Damage {
    const char* what;
    void (*apply)(mvTrailer* t, DWORD trailerAt);
};

TEST(Package, TrailersWhoseOffsetsContradictTheFileFailWithoutCopying) {
    const Damage damages[] = {
        {"playerEnd before the trailer", [](mvTrailer* t, DWORD at) { t->playerEnd = at - 1; }},
        {"playerEnd past the trailer", [](mvTrailer* t, DWORD at) { t->playerEnd = at + 1; }},
        {"playerEnd at playerOffset", [](mvTrailer* t, DWORD) { t->playerOffset = t->playerEnd; }},
        {"playerOffset past playerEnd", [](mvTrailer* t, DWORD) { t->playerOffset = t->playerEnd + 10; }},
        {"huge playerOffset", [](mvTrailer* t, DWORD) { t->playerOffset = 0xFFFFFFF0u; }},
        {"picture past the player", [](mvTrailer* t, DWORD) { t->pictureOffset = t->playerOffset + 1; }},
        {"picture at the player", [](mvTrailer* t, DWORD) { t->pictureOffset = t->playerOffset; }},
    };
    const std::string module = fixture::Bytes(3000, 5);
    const std::string player = fixture::Bytes(4000, 6);
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        mvTrailer t = fixture::Settings();
        t.flags = FLAG_FORCE_MAXIMIZE;
        t.pictureOffset = 1000;
        t.playerOffset = 3000;
        t.playerEnd = 7000;
        d.apply(&t, 7000);
        UseModule("damaged", "Broken.scr", module + player + fixture::TrailerBytes(t));
        mvPak pak;
        EXPECT_EQ(pak.Load(TRUE), 0);
        EXPECT_TRUE(IsZero(pak.trailer));
        EXPECT_FALSE(pak.extracted);
        EXPECT_FALSE(PathExists(TempFile("Broken.dat")));
    }
}

TEST(Package, RandomTrailersNeverCrashOrCopyMoreThanTheModuleHolds) {
    std::mt19937 random(20261211);
    const std::string body = fixture::Bytes(1500, 7);
    const DWORD fileSize = static_cast<DWORD>(body.size() + TRAILER_SIZE);
    const DWORD trailerAt = static_cast<DWORD>(body.size());
    std::string dat = TempFile("Random.dat");
    int loaded = 0;
    for (int i = 0; i < 3000; ++i) {
        mvTrailer t;
        for (size_t b = 0; b < sizeof t; ++b)
            reinterpret_cast<unsigned char*>(&t)[b] = static_cast<unsigned char>(random());
        memcpy(t.magic, TRAILER_MAGIC, 4);
        // Offsets near the real ones are the interesting ones.
        auto nearby = [&](DWORD v) { return random() % 2 ? v : static_cast<DWORD>(random() % (fileSize + 64)); };
        t.pictureOffset = random() % 3 ? nearby(t.pictureOffset % fileSize) : 0;
        t.playerOffset = nearby(t.playerOffset);
        t.playerEnd = random() % 2 ? trailerAt : nearby(t.playerEnd);

        UseModule("random", "Random.scr", body + fixture::TrailerBytes(t));
        DeleteFileA(dat.c_str());
        mvPak pak;
        int result = pak.Load(TRUE);
        bool consistent = t.playerOffset != 0 && t.playerEnd == trailerAt && t.playerOffset < t.playerEnd &&
                          (t.pictureOffset == 0 || t.pictureOffset < t.playerOffset);
        ASSERT_EQ(result, consistent ? 1 : 0) << "case " << i;
        if (PathExists(dat)) {
            ASSERT_TRUE(consistent);
            ASSERT_EQ(ReadFileBytes(dat), body.substr(t.playerOffset, t.playerEnd - t.playerOffset));
            ++loaded;
        }
    }
    EXPECT_GT(loaded, 0); // some of them were sound packages
    DeleteFileA(dat.c_str());
}

} // namespace
