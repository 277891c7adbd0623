// The settings dialog of /c, driven from outside: packaged savers made with
// mvpack carry the layout flags, the settings file beside each holds the
// stored Sound. A screenshot of each layout is saved under the build folder
// (build/screenshots/settings-<layout>.bmp) for people to look at.
#include "previewfixture.h"
#include "resources/resource.h"
#include "saverprocess.h"
#include "settingsdialog.h"
#include "testwindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace testsupport;
using e2e::SaveScreenshot;
using e2e::StartDialog;
using e2e::StoredSound;
using previewfixture::MakeSaver;

const int kSoundControls[] = {IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};

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
