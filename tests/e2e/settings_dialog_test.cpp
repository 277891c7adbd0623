// The settings dialog of /c, driven from outside: packaged savers made with
// mvpack carry the layout flags, the settings file beside each holds the
// stored Sound. A screenshot of each layout is saved under the build folder
// (build/screenshots/settings-<layout>.bmp) for people to look at.
#include "resources/resource.h"
#include "saverprocess.h"
#include "testwindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

const char kDialogClass[] = "#32770";
const int kSoundControls[] = {IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

// A packaged saver dir\<title>.scr whose trailer carries the [Settings] lines
// given, with Sound stored beside it unless null.
std::string MakeSaver(const std::string& dir, const std::string& title, const std::string& settings,
                      const char* sound) {
    std::string module = dir + "\\" + title + ".scr";
    std::string args = "build --module " + Quote(BinPath("MovieSaver.scr")) + " --player " +
                       Quote(BinPath("spiprobe.exe")) + " -o " + Quote(module);
    if (!settings.empty()) {
        std::string ini = dir + "\\layout.ini";
        EXPECT_TRUE(WriteFileBytes(ini, "[Settings]\r\n" + settings + "\r\n"));
        args += " --settings " + Quote(ini);
    }
    std::string err;
    EXPECT_EQ(RunProgram(BinPath("mvpack.exe"), args, nullptr, &err), 0) << err;
    if (sound) {
        std::string ini = dir + "\\" + title + ".ini";
        EXPECT_TRUE(WriteFileBytes(ini, std::string("[Screensaver]\r\nSound=") + sound + "\r\n"));
    }
    return module;
}

// Sound of the settings file, or "none" when the key (or the file) is missing.
std::string StoredSound(const std::string& ini) {
    char value[32];
    GetPrivateProfileStringA("Screensaver", "Sound", "none", value, sizeof value, ini.c_str());
    return value;
}

// Starts `module` with the command line and waits until its dialog is shown,
// which happens once its initialisation has run.
HWND StartDialog(Process& saver, const std::string& module, const std::string& line) {
    if (!saver.Start(module, line))
        return nullptr;
    HWND dialog = WaitForTopLevelWindow(saver.Id(), kDialogClass);
    if (!dialog || !WaitUntil([&] { return IsWindowVisible(dialog) != FALSE; }))
        return nullptr;
    return dialog;
}

bool IsUniform(const ScreenShot& shot, const RECT& area) {
    return RegionIs(shot, area, shot.At(area.left, area.top));
}

bool SaveBmp(const std::string& path, const ScreenShot& shot, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * height;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = area.bottom - 1; y >= area.top; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            DWORD p = shot.At(area.left + x, y);
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    return WriteFileBytes(path, bytes);
}

// Waits until the dialog has drawn its OK button, then saves the dialog's area.
void SaveScreenshot(HWND dialog, const std::string& layout) {
    RECT ok, whole;
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    GetWindowRect(dialog, &whole);
    ScreenShot shot;
    ASSERT_TRUE(WaitUntil([&] { return !IsUniform(shot = CaptureScreen(), ok); })) << "the dialog never drew";
    std::string dir = BinDir() + "\\..\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    EXPECT_TRUE(SaveBmp(dir + "\\settings-" + layout + ".bmp", shot, whole));
}

struct DialogCase {
    const char* what;
    const char* layout;   // also the module's title
    const char* settings; // [Settings] lines for mvpack
    const char* stored;   // Sound beside the module, null: none
    std::vector<int> shown;
    std::vector<int> checked;
    std::vector<int> clicks;
    int close;           // IDOK or IDCANCEL
    const char* written; // Sound afterwards, "none": no key
};

TEST(SettingsDialogE2E, ShowsTheLayoutTheFlagsChooseAndStoresTheSoundOnOk) {
    const std::vector<int> radios = {IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};
    const DialogCase cases[] = {
        {"mute box checked by 2", "TwoWay", "TwoWaySound=1", "2", {IDC_MUTE}, {IDC_MUTE}, {}, IDOK, "2"},
        {"mute box clear for 1, OK writes 0", "TwoWay", "TwoWaySound=1", "1", {IDC_MUTE}, {}, {}, IDOK, "0"},
        {"checking the box writes 2", "TwoWay", "TwoWaySound=1", "0", {IDC_MUTE}, {}, {IDC_MUTE}, IDOK, "2"},
        {"7 checks Always, OK writes 0", "ThreeWay", "ThreeWaySound=1", "7", radios, {IDC_ALWAYS}, {}, IDOK, "0"},
        {"1 checks Once, Never writes 2",
         "ThreeWay",
         "ThreeWaySound=1",
         "1",
         radios,
         {IDC_ONCE},
         {IDC_NEVER},
         IDOK,
         "2"},
        {"2 checks Never, Once writes 1",
         "ThreeWay",
         "ThreeWaySound=1",
         "2",
         radios,
         {IDC_NEVER},
         {IDC_ONCE},
         IDOK,
         "1"},
        {"the box wins",
         "Both",
         "TwoWaySound=1\r\nThreeWaySound=1",
         "2",
         {IDC_MUTE},
         {IDC_MUTE},
         {IDC_MUTE},
         IDOK,
         "0"},
        {"no control, OK creates the key", "Neither", "", nullptr, {}, {}, {}, IDOK, "0"},
        {"no control, OK keeps 7", "Neither", "RunPreview=1", "7", {}, {}, {}, IDOK, "7"},
        {"Cancel writes nothing", "ThreeWay", "ThreeWaySound=1", "1", radios, {IDC_ONCE}, {IDC_NEVER}, IDCANCEL, "1"},
        {"Cancel creates no file", "TwoWay", "TwoWaySound=1", nullptr, {IDC_MUTE}, {}, {IDC_MUTE}, IDCANCEL, "none"},
    };
    std::set<std::string> photographed;
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + ": " + c.what);
        std::string dir = ScratchDir(std::string("settings-") + c.layout);
        std::string module = MakeSaver(dir, c.layout, c.settings, c.stored);
        std::string ini = dir + "\\" + c.layout + ".ini";
        std::string iniBefore = ReadFileBytes(ini);

        Process saver;
        HWND dialog = StartDialog(saver, module, "/c");
        ASSERT_NE(dialog, nullptr);
        char caption[64] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, c.layout);

        for (int id : {IDOK, IDCANCEL, IDC_PREVIEW}) {
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, id))) << id;
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
        }
        for (int id : kSoundControls) {
            SCOPED_TRACE(id);
            HWND control = GetDlgItem(dialog, id);
            bool shown = std::find(c.shown.begin(), c.shown.end(), id) != c.shown.end();
            bool checked = std::find(c.checked.begin(), c.checked.end(), id) != c.checked.end();
            EXPECT_EQ(IsWindowVisible(control) != FALSE, shown);
            EXPECT_EQ(IsWindowEnabled(control) != FALSE, shown);
            EXPECT_EQ(SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED, checked);
        }
        if (photographed.insert(c.layout).second)
            SaveScreenshot(dialog, c.layout);

        for (int id : c.clicks)
            SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(dialog, c.close), BM_CLICK, 0, 0);
        EXPECT_TRUE(saver.WaitExit());
        EXPECT_EQ(saver.ExitCode(), 0u);
        EXPECT_EQ(StoredSound(ini), c.written);
        if (c.close == IDCANCEL) {
            EXPECT_EQ(ReadFileBytes(ini), iniBefore);
            EXPECT_EQ(PathExists(ini), !iniBefore.empty());
        }
    }
}

TEST(SettingsDialogE2E, SlashCIsOwnedByTheForegroundWindowAndAnEmptyLineByNone) {
    HWND front = e2e::MakeTestWindow("front");
    ASSERT_NE(front, nullptr);
    SetForegroundWindow(front);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == front; }));
    for (const char* line : {"/c", "/c:1234", ""}) {
        SCOPED_TRACE(line);
        bool owned = line[0] != 0;
        Process saver;
        HWND dialog = StartDialog(saver, e2e::ModulePath(), line);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), owned ? front : nullptr);
        // A modal dialog disables its owner while it runs.
        EXPECT_EQ(IsWindowEnabled(front) == FALSE, owned);
        SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        EXPECT_TRUE(saver.WaitExit());
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(front) != FALSE; }));
        SetForegroundWindow(front);
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == front; }));
    }
    DestroyWindow(front);
}

} // namespace
