#include "moviesaver/mvpak.h"
#include "moviesaver/settingsfile.h"
#include "util/modulenames.h"

#include "packagefixture.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

struct KeyCase {
    const char* value;
    DWORD code;
};

TEST(SettingsFile, KeyNamesGiveVirtualKeyCodes) {
    const KeyCase cases[] = {
        {"esc", 0x1B},     {"f12", 0x7B},   {"a", 0x41},        {"", 0},           {"Home", 0x48},
        {"q", 0x51},       {"7", 0x37},     {"Caps Lock", 0x14}, {"RETURN", 0x0D}, {"Enter", 0x0D},
        {"space", 0x20},   {"F1", 0x70},    {"tab", 0x09},      {"Shift", 0x10},   {"alt", 0x12},
        {"ctrl", 0x11},    {"Backspace", 0x08}, {"z", 0x5A},    {"[", 0x5B},
    };
    std::string ini = ScratchDir("keys") + "\\Keys.ini";
    std::string text = "[Interactive]\r\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        text += "K" + std::to_string(i) + "=" + cases[i].value + "\r\n";
    ASSERT_TRUE(WriteFileBytes(ini, text));
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(cases[i].value);
        std::string key = "K" + std::to_string(i);
        EXPECT_EQ(ReadKeySetting("Interactive", key.c_str(), ini.c_str()), cases[i].code);
    }
    EXPECT_EQ(ReadKeySetting("Interactive", "Missing", ini.c_str()), 0u);
}

TEST(SettingsFile, BitKeysSetOnNonzeroNumbersOnly) {
    std::string ini = ScratchDir("bits") + "\\Bits.ini";
    ASSERT_TRUE(WriteFileBytes(ini, "[Interactive]\r\nTwo=2\r\nOne=1\r\nYes=yes\r\nZero=0\r\n"));
    const struct {
        const char* key;
        bool set;
    } cases[] = {{"Two", true}, {"One", true}, {"Yes", false}, {"Zero", false}, {"Missing", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        DWORD cleared = 0, full = 0xFF;
        ReadFlagSetting(&cleared, INTERACTIVE_ON_KEY, "Interactive", c.key, ini.c_str());
        ReadFlagSetting(&full, INTERACTIVE_ON_KEY, "Interactive", c.key, ini.c_str());
        EXPECT_EQ(cleared, c.set ? static_cast<DWORD>(INTERACTIVE_ON_KEY) : 0u);
        EXPECT_EQ(full, c.set ? 0xFFu : 0xFFu & ~static_cast<DWORD>(INTERACTIVE_ON_KEY));
    }
}

TEST(SettingsFile, EverySectionLandsInTheRecord) {
    std::string dir = ScratchDir("sections");
    std::string ini = dir + "\\Movie.ini";
    ASSERT_TRUE(WriteFileBytes(ini, "[Settings]\r\nExternal=1\r\nForceMaximize=1\r\nRunPreview=0\r\n"
                                    "TwoWaySound=1\r\nThreeWaySound=1\r\n"
                                    "[Timesink]\r\nDisplayAds=1\r\nRequired=0\r\nAdsFirst=1\r\n"
                                    "AppName=" + std::string(100, 'N') + "\r\n"
                                    "[Interactive]\r\nKey1=esc\r\nKey2=f12\r\nKey3=a\r\nKey4=\r\nKey20=Home\r\n"
                                    "OnMouse=1\r\nOnKey=yes\r\n"
                                    "[Execute]\r\nCommand=http://example.org/\r\nKey=Space\r\n"));
    mvPak pak;
    pak.ReadSettingsFile((dir + "\\Movie.scr").c_str());
    const mvTrailer& t = pak.trailer;
    EXPECT_EQ(t.flags, static_cast<DWORD>(FLAG_EXTERNAL | FLAG_FORCE_MAXIMIZE | FLAG_TWO_WAY_SOUND |
                                          FLAG_THREE_WAY_SOUND));
    EXPECT_EQ(t.adFlags, static_cast<DWORD>(AD_DISPLAY_ADS | AD_ADS_FIRST));
    EXPECT_EQ(std::string(t.appName), std::string(79, 'N')); // cut to the field less one byte
    EXPECT_EQ(t.keys[0], 0x1Bu);
    EXPECT_EQ(t.keys[1], 0x7Bu);
    EXPECT_EQ(t.keys[2], 0x41u);
    EXPECT_EQ(t.keys[3], 0u);
    EXPECT_EQ(t.keys[19], 0x48u);
    EXPECT_EQ(t.interactiveFlags, static_cast<DWORD>(INTERACTIVE_ON_MOUSE));
    EXPECT_STREQ(t.command, "http://example.org/");
    EXPECT_EQ(t.executeKey, 0x20u);
}

TEST(SettingsFile, DefaultAppNameIsTheModuleTitleCutToFit) {
    std::string dir = ScratchDir("appname");
    mvPak pak;
    pak.ReadSettingsFile((dir + "\\Movie.scr").c_str());
    EXPECT_STREQ(pak.trailer.appName, "Movie");
    mvPak longName;
    std::string name = std::string(120, 'L') + ".scr";
    longName.ReadSettingsFile((dir + "\\" + name).c_str());
    EXPECT_EQ(std::string(longName.trailer.appName), std::string(79, 'L'));
}

TEST(SettingsFile, PackagedModuleReadsOnlyTheSoundFromItsSettingsFile) {
    std::string dir = ScratchDir("packaged-ini");
    std::string module = dir + "\\Sea.scr";
    mvTrailer t = fixture::Settings();
    t.flags = FLAG_TWO_WAY_SOUND;
    ASSERT_TRUE(WriteFileBytes(module, fixture::Package(std::string(900, 'm'), "", "player", t)));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Sea.ini", "[Settings]\r\nThreeWaySound=1\r\nForceMaximize=1\r\n"
                                                   "[Execute]\r\nCommand=calc\r\n[Screensaver]\r\nSound=1\r\n"));
    SetModuleNames(module.c_str());
    mvPak pak;
    EXPECT_EQ(pak.Load(FALSE), 1);
    EXPECT_EQ(pak.trailer.flags, static_cast<DWORD>(FLAG_TWO_WAY_SOUND));
    EXPECT_STREQ(pak.trailer.command, "");
    EXPECT_EQ(pak.sound, SOUND_ONCE);
}

TEST(SettingsFile, SoundIsWrittenAsADecimalNumberCreatingTheFile) {
    std::string dir = ScratchDir("writesound");
    SetModuleNames((dir + "\\Tide.scr").c_str());
    mvPak pak;
    pak.ReadSoundSetting();
    EXPECT_EQ(pak.sound, SOUND_ALWAYS); // the held value is the default
    pak.sound = SOUND_NEVER;
    pak.WriteSoundSetting();
    EXPECT_NE(ReadFileBytes(dir + "\\Tide.ini").find("Sound=2"), std::string::npos);
    mvPak again;
    again.sound = 5;
    again.ReadSoundSetting();
    EXPECT_EQ(again.sound, SOUND_NEVER);
}

} // namespace
