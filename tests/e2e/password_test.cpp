// The password rules of a full-screen run, through the built module and a
// stand-in PASSWORD.CPL in the prefix's system directory, and the change
// dialog of /a through a stand-in MPR.DLL.
//
// Wine has no PASSWORD.CPL, so the stand-in loads from the system directory
// as it is. Wine does have a builtin MPR.DLL and prefers it to a file placed
// in the system directory, so the tests of /a ask Wine for the native one
// (NativeDllGuard).
#include "fixturelog.h"
#include "prefixstate.h"
#include "saverprocess.h"
#include "testwindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace testsupport;
using e2e::FullScreenSaver;

const char kDesktop[] = "Control Panel\\Desktop";
const char kCpl[] = "PasswordCpl";
const char kMpr[] = "Mpr";
const char kPasswordDialogClass[] = "MsTestPasswordDialog";

std::string Handle(HWND window) {
    return std::to_string(reinterpret_cast<LONG_PTR>(window));
}

DWORD Calls() {
    return fixturelog::GetNumber(kCpl, "Calls");
}

void MoveFromStartOrFail(int x, int y) {
    ASSERT_TRUE(PlaceCursor(x, y)) << "the cursor does not reach " << x << ", " << y;
}

void MoveFromStart(int dx, int dy) {
    MoveFromStartOrFail(FullScreenSaver::kStart.x + dx, FullScreenSaver::kStart.y + dy);
}

// The desktop values and the system directory's PASSWORD.CPL, put back as
// they were after each test.
class Password : public ::testing::Test {
protected:
    void SetUp() override {
        fixturelog::Reset(kCpl);
        fixturelog::Reset(kMpr);
        MoveFromStart(0, 0);
    }
    void TearDown() override {
        fixturelog::Reset(kCpl);
        fixturelog::Reset(kMpr);
    }

    void InstallCpl(const char* mode) {
        ASSERT_TRUE(cpl.Install(BinPath("testpassword.cpl")));
        fixturelog::SetText(kCpl, "Mode", mode);
    }

    // Sets the desktop values; null leaves a value out.
    void Desktop(const char* isSecure, const DWORD* usePassword) {
        if (isSecure)
            isSecureValue.SetText(isSecure);
        else
            isSecureValue.Delete();
        if (usePassword)
            usePasswordValue.SetNumber(*usePassword);
        else
            usePasswordValue.Delete();
    }
    void PasswordInUse() {
        const DWORD one = 1;
        Desktop(nullptr, &one);
    }

    e2e::RegistryValueGuard isSecureValue{kDesktop, "ScreenSaverIsSecure"};
    e2e::RegistryValueGuard usePasswordValue{kDesktop, "ScreenSaveUsePassword"};
    e2e::SystemFileGuard cpl{"PASSWORD.CPL"};
};

struct DesktopCase {
    const char* what;
    const char* isSecure; // null: no value
    bool hasUsePassword;
    DWORD usePassword;
    bool asks;
};

TEST_F(Password, TheDesktopValuesDecideWhetherTheCheckIsAsked) {
    const std::string tooLong(40, '1'); // more than the 32-byte buffer: counts as "0"
    const DesktopCase cases[] = {
        {"neither value", nullptr, false, 0, false},
        {"UsePassword 1, IsSecure \"0\"", "0", true, 1, true},
        {"UsePassword 0, IsSecure \"1\"", "1", true, 0, true},
        {"IsSecure empty", "", false, 0, true},
        {"IsSecure too long", tooLong.c_str(), false, 0, false},
        {"IsSecure too long, UsePassword 1", tooLong.c_str(), true, 1, true},
    };
    InstallCpl("accept");
    for (const DesktopCase& c : cases) {
        SCOPED_TRACE(c.what);
        fixturelog::SetNumber(kCpl, "Calls", 0);
        Desktop(c.isSecure, c.hasUsePassword ? &c.usePassword : nullptr);
        FullScreenSaver saver;
        ASSERT_TRUE(saver.Start());
        MoveFromStart(20, 0);
        EXPECT_TRUE(saver.Ended());
        EXPECT_EQ(Calls(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(fixturelog::GetNumber(kCpl, "Owner"), reinterpret_cast<ULONG_PTR>(saver.window));
        }
    }
}

TEST_F(Password, ARefusalKeepsTheSaverRunningAndTravelNearTheRefusalPointDoesNotAskAgain) {
    PasswordInUse();
    InstallCpl("refuse");
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());

    MoveFromStart(20, 0);
    ASSERT_TRUE(WaitUntil([] { return Calls() == 1; }));
    EXPECT_TRUE(saver.StillRunning());

    // Measured from where the cursor stood at the refusal, not from the start.
    MoveFromStart(28, 8);
    EXPECT_TRUE(saver.StillRunning());
    MoveFromStart(12, -8);
    EXPECT_TRUE(saver.StillRunning());
    EXPECT_EQ(Calls(), 1u);

    MoveFromStart(29, 0);
    ASSERT_TRUE(WaitUntil([] { return Calls() == 2; }));
    EXPECT_TRUE(saver.StillRunning());

    fixturelog::SetText(kCpl, "Mode", "accept");
    MoveFromStart(60, 0);
    EXPECT_TRUE(saver.Ended());
    EXPECT_EQ(Calls(), 3u);
}

TEST_F(Password, CloseRequestsQueuedBeforeTheDialogOpensGiveOneDialog) {
    PasswordInUse();
    InstallCpl("ask");
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());
    for (int i = 0; i < 3; ++i)
        PostMessageA(saver.window, WM_CLOSE, 0, 0);

    HWND dialog = WaitForTopLevelWindow(saver.process.Id(), kPasswordDialogClass);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), saver.window);
    // While the dialog is open, further requests and input are refused.
    PostMessageA(saver.window, WM_CLOSE, 0, 0);
    MoveFromStart(80, 40);
    PostMessageA(saver.window, WM_KEYDOWN, 'A', 1);
    PumpFor(e2e::kQuietMs);
    EXPECT_EQ(TopLevelWindows(saver.process.Id(), kPasswordDialogClass).size(), 1u);
    EXPECT_EQ(Calls(), 1u);

    PostMessageA(dialog, WM_APP, 0, 0); // refuse
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(saver.StillRunning());
    EXPECT_EQ(Calls(), 1u);

    PostMessageA(saver.window, WM_CLOSE, 0, 0);
    dialog = WaitForTopLevelWindow(saver.process.Id(), kPasswordDialogClass);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Calls(), 2u);
    PostMessageA(dialog, WM_APP, 1, 0); // accept
    EXPECT_TRUE(saver.Ended());
    EXPECT_EQ(Calls(), 2u);
}

TEST_F(Password, WithoutPasswordCplTheSaverEndsAtOnce) {
    PasswordInUse();
    ASSERT_TRUE(cpl.Remove());
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());
    MoveFromStart(20, 0);
    EXPECT_TRUE(saver.Ended());
}

TEST_F(Password, APreviewNeverAsks) {
    PasswordInUse();
    InstallCpl("refuse");
    HWND area = e2e::MakeTestWindow("preview");
    ASSERT_NE(area, nullptr);
    Process saver;
    ASSERT_TRUE(saver.Start(e2e::ModulePath(), "/p " + Handle(area)));
    HWND child = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (child = FindWindowExA(area, nullptr, "CSaverWin", nullptr)) != nullptr; }));
    PostMessageA(child, WM_CLOSE, 0, 0);
    EXPECT_TRUE(saver.WaitExit());
    EXPECT_EQ(saver.ExitCode(), 0u);
    EXPECT_EQ(Calls(), 0u);
    EXPECT_EQ(fixturelog::GetNumber(kCpl, "Loads"), 0u);
    DestroyWindow(area);
}

// Copies of the stand-ins beside the module and in its current directory must
// never be loaded: only the system directory counts.
TEST_F(Password, LibrariesPlantedBesideTheModuleAreNotLoaded) {
    PasswordInUse();
    ASSERT_TRUE(cpl.Remove());
    std::string dir = ScratchDir("password-planted");
    std::string module = dir + "\\Planted.scr";
    ASSERT_TRUE(CopyFileTo(e2e::ModulePath(), module));
    ASSERT_TRUE(CopyFileTo(BinPath("testpassword.cpl"), dir + "\\PASSWORD.CPL"));
    ASSERT_TRUE(CopyFileTo(BinPath("testmpr.dll"), dir + "\\MPR.DLL"));
    fixturelog::SetText(kCpl, "Mode", "refuse");

    Process saver;
    ASSERT_TRUE(saver.Start(module, "/s", dir));
    HWND window = WaitForTopLevelWindow(saver.Id(), "CSaverWin");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }));
    MoveFromStart(20, 0);
    EXPECT_TRUE(saver.WaitExit());
    EXPECT_EQ(fixturelog::GetNumber(kCpl, "Loads"), 0u) << fixturelog::GetText(kCpl, "LoadedFrom");

    e2e::NativeDllGuard native("Planted.scr", "mpr");
    Process change;
    ASSERT_TRUE(change.Start(module, "/a", dir));
    EXPECT_TRUE(change.WaitExit());
    EXPECT_EQ(fixturelog::GetNumber(kMpr, "Loads"), 0u) << fixturelog::GetText(kMpr, "LoadedFrom");
}

struct OwnerCase {
    std::string arguments;
    HWND owner;
};

TEST_F(Password, ChangeCallsTheChangeDialogOwnedByTheGivenOrTheForegroundWindow) {
    e2e::SystemFileGuard mpr("MPR.DLL");
    ASSERT_TRUE(mpr.Install(BinPath("testmpr.dll")));
    e2e::NativeDllGuard native("MovieSaver.scr", "mpr");
    HWND named = e2e::MakeTestWindow("named");
    HWND front = e2e::MakeTestWindow("front");
    ASSERT_TRUE(named && front);
    SetForegroundWindow(front);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == front; }));

    HWND dead = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(dead);
    const OwnerCase cases[] = {
        {"/a " + Handle(named), named},
        {"-A:" + Handle(named), named},
        {"/a " + Handle(dead), front},
        {"/a", front},
    };
    for (const OwnerCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        fixturelog::Reset(kMpr);
        Process change;
        ASSERT_TRUE(change.Start(e2e::ModulePath(), c.arguments));
        EXPECT_TRUE(change.WaitExit());
        EXPECT_EQ(change.ExitCode(), 0u);
        EXPECT_EQ(fixturelog::GetNumber(kMpr, "Calls"), 1u);
        EXPECT_EQ(fixturelog::GetText(kMpr, "Name"), "SCRSAVE");
        EXPECT_EQ(fixturelog::GetNumber(kMpr, "Owner"), reinterpret_cast<ULONG_PTR>(c.owner));
        EXPECT_EQ(fixturelog::GetNumber(kMpr, "Reserved1", 99), 0u);
        EXPECT_EQ(fixturelog::GetNumber(kMpr, "Reserved2", 99), 0u);
        EXPECT_EQ(_stricmp(fixturelog::GetText(kMpr, "LoadedFrom").c_str(), mpr.Path().c_str()), 0)
            << fixturelog::GetText(kMpr, "LoadedFrom");
    }
    DestroyWindow(named);
    DestroyWindow(front);
}

} // namespace
