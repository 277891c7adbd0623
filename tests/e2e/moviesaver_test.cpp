// The packaged movie saver with the test player: queries, placement,
// restarts, ending, hand-over, the [Execute] key and failures.
#include "packagedsaver.h"
#include "saverprocess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testsupport;
using e2e::PackagedSaver;
using e2e::PlayerLog;

const DWORD kPlayerGreen = 0x00A050; // what the test player paints, as 0xRRGGBB

// A key press as the saver window receives it. Posted rather than typed: what
// the saver does with a key is the matter here, and typed keys can be lost to
// the window manager's focus changes while windows come and go (the real
// keyboard is covered by the full-screen tests).
HWND g_saver = nullptr;
void PressKey(BYTE key) {
    UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    PostMessageA(g_saver, WM_KEYDOWN, key, 1 | scan << 16);
}

void MoveAway() { EXPECT_TRUE(PlaceCursor(PackagedSaver::kStart.x + 9, PackagedSaver::kStart.y)); }

std::string Head(int sound, int run) {
    return "SS_Mode=S&SS_Sound=" + std::to_string(sound) + "&SS_RunCount=" + std::to_string(run);
}

// The player's files are gone and no player process is left.
::testing::AssertionResult CleanlyStopped(const PackagedSaver& s) {
    if (!WaitUntil([&] { return !s.PlayerRuns(); }))
        return ::testing::AssertionFailure() << "a player process is left";
    if (PathExists(s.dat) || PathExists(s.cfg))
        return ::testing::AssertionFailure() << "the player's temporary files are left";
    return ::testing::AssertionSuccess();
}

TEST(MovieSaverQuery, SoundModeAndRunCountOfEachStart) {
    const struct {
        int sound;
        int expected[3];
    } cases[] = {{1, {1, 2, 2}}, {0, {0, 0, 0}}, {2, {2, 2, 2}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Sound=" << c.sound);
        PackagedSaver s("QuerySound" + std::to_string(c.sound));
        ASSERT_TRUE(s.Build("", "[Screensaver]\r\nSound=" + std::to_string(c.sound) +
                                    "\r\n[User]\r\nSS_User0=&TP_Mode=exit&TP_Ms=200\r\n"));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        ASSERT_TRUE(s.WaitForLog([](const PlayerLog& l) { return l.Cfgs().size() >= 3; }));
        auto cfgs = s.Log().Cfgs();
        for (int run = 0; run < 3; ++run)
            EXPECT_EQ(cfgs[run], Head(c.expected[run], run + 1) + "&TP_Mode=exit&TP_Ms=200");
        EXPECT_EQ(s.IniValue("Screensaver", "Sound"), std::to_string(c.sound));
        MoveAway();
        EXPECT_TRUE(s.Ended());
        EXPECT_TRUE(CleanlyStopped(s));
    }
}

TEST(MovieSaverQuery, UserValuesAreAppendedWhileTheQueryStaysBelow1024) {
    PackagedSaver s("QueryUser");
    std::string values[5];
    const size_t lengths[5] = {250, 250, 250, 250, 100};
    std::string userIni = "[User]\r\n";
    for (int i = 0; i < 5; ++i) {
        std::string head = "&U" + std::to_string(i) + "=";
        values[i] = head + std::string(lengths[i] - head.size(), static_cast<char>('a' + i));
        userIni += "SS_User" + std::to_string(i) + "=" + values[i] + "\r\n";
    }
    ASSERT_TRUE(s.Build("", userIni));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_NE(s.WaitForAdoptedPlayer(nullptr), nullptr);
    // 34 + 750 fits; the fourth would make 1034; the fifth fits again.
    EXPECT_EQ(Head(0, 1).size(), 34u);
    EXPECT_EQ(s.Log().Cfgs()[0], Head(0, 1) + values[0] + values[1] + values[2] + values[4]);
    EXPECT_EQ(ReadFileBytes(s.cfg), Head(0, 1) + values[0] + values[1] + values[2] + values[4]);
    MoveAway();
    EXPECT_TRUE(s.Ended());
    EXPECT_TRUE(CleanlyStopped(s));
}

TEST(MovieSaverPlacement, FullScreenPlayerShowsTopMostAboveTheSaverWhichCatchesTheInput) {
    PackagedSaver s("PlaceFull");
    ASSERT_TRUE(s.Build(""));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    HWND player = s.WaitForAdoptedPlayer(nullptr);
    ASSERT_NE(player, nullptr);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);

    EXPECT_TRUE(GetWindowLongA(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Click-through and without the keyboard; shown above the saver, which
    // the picture below proves (the window manager decides the stacking).
    const LONG exStyle = GetWindowLongA(player, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
    EXPECT_FALSE(IsWindowEnabled(player));
    EXPECT_EQ(s.Log().Values("startup ")[0], "flags=0 x=0 y=0 cx=0 cy=0 show=0");

    // The background lies below the saver and covers the screen.
    HWND background = FindWindowA("mvSaverBackground", nullptr);
    ASSERT_NE(background, nullptr);
    RECT rect;
    GetWindowRect(background, &rect);
    EXPECT_EQ(rect.right - rect.left, cx);
    EXPECT_EQ(rect.bottom - rect.top, cy);
    bool saverAbove = false;
    for (HWND w = GetWindow(background, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        saverAbove = saverAbove || w == s.window;
    EXPECT_TRUE(saverAbove);

    // What a person sees: the movie, not the saver's black.
    GetWindowRect(player, &rect);
    RECT middle = {(rect.left + rect.right) / 2 - 5, (rect.top + rect.bottom) / 2 - 5,
                   (rect.left + rect.right) / 2 + 5, (rect.top + rect.bottom) / 2 + 5};
    ScreenShot shot;
    EXPECT_TRUE(WaitUntil([&] { return RegionIs(shot = CaptureScreen(), middle, kPlayerGreen); }));
    SaveScreenShot(shot, ScreenShotDir() + "\\saver-with-player.bmp");
    SaveScreenShot(CaptureScreenGdi(), ScreenShotDir() + "\\saver-with-player-gdi.bmp");
    // Input over the movie still reaches the saver.
    EXPECT_TRUE(PlaceCursor((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
    EXPECT_TRUE(s.Ended());
    EXPECT_TRUE(CleanlyStopped(s));
    EXPECT_FALSE(IsWindow(background));
}

TEST(MovieSaverPlacement, ForceMaximizeStartsTheTestPlayerMaximisedAtScreenSize) {
    PackagedSaver s("PlaceMax");
    ASSERT_TRUE(s.Build("[Settings]\r\nForceMaximize=1\r\n"));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    HWND player = s.WaitForAdoptedPlayer(nullptr);
    ASSERT_NE(player, nullptr);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(s.Log().Values("startup ")[0],
              "flags=7 x=0 y=0 cx=" + std::to_string(cx) + " cy=" + std::to_string(cy) + " show=3");
    RECT rect;
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowRect(player, &rect);
        return rect.left == 0 && rect.top == 0 && rect.right == cx && rect.bottom == cy;
    }));
    EXPECT_TRUE(GetWindowLongA(player, GWL_STYLE) & WS_MAXIMIZE);
    PressKey('A');
    EXPECT_TRUE(s.Ended());
    EXPECT_TRUE(CleanlyStopped(s));
}

TEST(MovieSaverPlacement, PreviewWithRunPreviewHoldsTheDisabledPlayerAtItsClientSize) {
    HWND area = e2e::MakePreviewArea();
    PackagedSaver s("PlacePreview");
    ASSERT_TRUE(s.Build("[Settings]\r\nRunPreview=1\r\n", "[Screensaver]\r\nSound=0\r\n"));
    ASSERT_TRUE(s.StartPreview(area));
    HWND player = s.WaitForAdoptedPlayer(s.window);
    ASSERT_NE(player, nullptr);
    RECT client;
    GetClientRect(s.window, &client);
    EXPECT_EQ(s.Log().Values("startup ")[0], "flags=7 x=0 y=0 cx=" + std::to_string(client.right) +
                                                 " cy=" + std::to_string(client.bottom) + " show=0");
    EXPECT_EQ(s.Log().Cfgs()[0], "SS_Mode=P&SS_Sound=2&SS_RunCount=1");
    EXPECT_FALSE(IsWindowEnabled(player));
    // The player may hide itself once more after the adoption; the saver shows it again.
    EXPECT_TRUE(WaitUntil([&] { return (GetWindowLongA(player, GWL_STYLE) & WS_VISIBLE) != 0; }));
    RECT inClient;
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowRect(player, &inClient);
        MapWindowPoints(nullptr, s.window, reinterpret_cast<POINT*>(&inClient), 2);
        return EqualRect(&inClient, &client) != FALSE;
    }));
    // Closing the display settings ends the preview and its player.
    DestroyWindow(area);
    EXPECT_TRUE(s.Ended());
    EXPECT_TRUE(CleanlyStopped(s));
}

// The icon itself is checked in tests/moviesaver/preview_icon_test.cpp: under
// Wine a child window of another process is not shown, on the display or to GDI.
TEST(MovieSaverPlacement, PreviewWithoutRunPreviewStartsNoPlayer) {
    HWND area = e2e::MakePreviewArea(60, 80, 300, 240);
    PackagedSaver s("PlaceIcon");
    ASSERT_TRUE(s.Build(""));
    ASSERT_TRUE(s.StartPreview(area));
    PumpFor(e2e::kQuietMs);
    EXPECT_FALSE(PathExists(s.cfg));
    EXPECT_TRUE(s.Log().lines.empty());
    EXPECT_TRUE(s.saver.Running());
    DestroyWindow(area);
    EXPECT_TRUE(s.Ended());
}

TEST(MovieSaverEnding, TravelClosesThePlayerAndDeletesItsFiles) {
    PackagedSaver s("EndTravel");
    ASSERT_TRUE(s.Build(""));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_NE(s.WaitForAdoptedPlayer(nullptr), nullptr);
    EXPECT_TRUE(PathExists(s.dat));
    EXPECT_TRUE(PathExists(s.cfg));
    // Losing the activation to the player does not end the run.
    PostMessageA(s.window, WM_ACTIVATEAPP, 0, 0);
    PumpFor(e2e::kQuietMs);
    EXPECT_TRUE(s.saver.Running());
    MoveAway();
    EXPECT_TRUE(s.Ended());
    EXPECT_EQ(s.Log().Count("close"), 1);
    EXPECT_TRUE(CleanlyStopped(s));
}

TEST(MovieSaverEnding, APlayerThatIgnoresCloseKeepsItsFilesAndDoesNotHoldTheSaver) {
    PackagedSaver s("EndIgnore");
    ASSERT_TRUE(s.Build("", "[User]\r\nSS_User0=&TP_Mode=ignoreclose\r\n"));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_NE(s.WaitForAdoptedPlayer(nullptr), nullptr);
    PressKey('A');
    EXPECT_TRUE(s.Ended());
    EXPECT_EQ(s.Log().Count("close"), 1);
    EXPECT_TRUE(s.PlayerRuns());
    // The running program file stays; the query file, not held open, goes.
    EXPECT_TRUE(PathExists(s.dat));
}

TEST(MovieSaverRestart, APlayerThatEndsByItselfIsStartedAgain) {
    PackagedSaver s("Restart");
    ASSERT_TRUE(s.Build("", "[User]\r\nSS_User0=&TP_Mode=exit&TP_Ms=100\r\n"));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_TRUE(s.WaitForLog([](const PlayerLog& l) { return l.Pids().size() >= 4; }));
    auto log = s.Log();
    auto pids = log.Pids();
    for (size_t i = 1; i < pids.size(); ++i)
        EXPECT_NE(pids[i], pids[i - 1]);
    auto cfgs = log.Cfgs();
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(cfgs[i].substr(0, Head(0, 1).size() + (i >= 9)), Head(0, static_cast<int>(i + 1)));
    MoveAway();
    EXPECT_TRUE(s.Ended());
    EXPECT_TRUE(CleanlyStopped(s));
}

struct HandOverCase {
    const char* what;
    const char* interactive; // the [Interactive] section
    void (*input)(HWND saver);
    bool handsOver;
    unsigned keySeen; // WM_KEYDOWN code the player should get, 0 for none
};

// Alt+X as the saver window receives it; posted, so the combination is exact.
void AltX(HWND saver) { PostMessageA(saver, WM_SYSKEYDOWN, 'X', 0x20000001); }

TEST(MovieSaverHandOver, KeysAndButtonsHandTheMovieOverOrStopIt) {
    const HandOverCase cases[] = {
        {"any key with an empty list", "OnKey=1", [](HWND) { PressKey('K'); }, true, 'K'},
        {"Q in the list", "OnKey=1\r\nKey1=q", [](HWND) { PressKey('Q'); }, true, 'Q'},
        {"W not in the list", "OnKey=1\r\nKey1=q", [](HWND) { PressKey('W'); }, false, 0},
        {"keys without OnKey", "Key1=q", [](HWND) { PressKey('Q'); }, false, 0},
        {"Alt+X with an empty list", "OnKey=1", AltX, true, 'X'},
        {"Alt+X with Alt in the list", "OnKey=1\r\nKey1=Alt", AltX, true, 'X'},
        {"Alt+X with X but not Alt in the list", "OnKey=1\r\nKey1=x", AltX, false, 0},
        {"button with OnMouse", "OnMouse=1",
         [](HWND) {
             mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
             mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
         },
         true, 0},
        {"travel with OnMouse", "OnMouse=1", [](HWND) { MoveAway(); }, true, 0},
    };
    for (const HandOverCase& c : cases) {
        SCOPED_TRACE(c.what);
        PackagedSaver s("HandOver");
        ASSERT_TRUE(s.Build(std::string("[Interactive]\r\n") + c.interactive + "\r\n"));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        HWND player = s.WaitForAdoptedPlayer(nullptr);
        ASSERT_NE(player, nullptr);
        c.input(s.window);
        EXPECT_TRUE(s.Ended());
        if (c.handsOver) {
            EXPECT_TRUE(s.PlayerRuns());
            EXPECT_TRUE(PathExists(s.dat));
            EXPECT_EQ(s.Log().Count("close"), 0);
            if (c.keySeen) {
                EXPECT_TRUE(s.WaitForLog([&](const PlayerLog& l) { return !l.Keys().empty(); }));
                EXPECT_EQ(s.Log().Keys()[0], c.keySeen);
            }
            // The movie is the user's now: in front, taking input again.
            EXPECT_TRUE(WaitUntil([&] { return !(GetWindowLongA(player, GWL_EXSTYLE) & WS_EX_TRANSPARENT); }));
            EXPECT_FALSE(GetWindowLongA(player, GWL_EXSTYLE) & WS_EX_LAYERED);
            EXPECT_TRUE(IsWindowEnabled(player));
            EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == player; }));
            PostMessageA(player, WM_CLOSE, 0, 0);
            EXPECT_TRUE(WaitUntil([&] { return !s.PlayerRuns(); }));
        } else {
            EXPECT_TRUE(s.Log().Keys().empty());
            EXPECT_EQ(s.Log().Count("close"), 1);
            EXPECT_TRUE(CleanlyStopped(s));
        }
    }
}

TEST(MovieSaverExecute, TheKeyOpensTheCommandAndRecordsIt) {
    PackagedSaver s("Execute");
    std::string recorder = s.dir + "\\recorder.exe";
    ASSERT_TRUE(CopyFileTo(BinPath("recorder.exe"), recorder));
    ASSERT_TRUE(s.Build("[Execute]\r\nKey=Space\r\nCommand=" + recorder + "\r\n"));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_NE(s.WaitForAdoptedPlayer(nullptr), nullptr);
    PressKey(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(s.dir + "\\recorder.ran"); }));
    EXPECT_TRUE(s.Ended());
    EXPECT_EQ(s.IniValue("ShellExecute", "Command"), recorder);
    EXPECT_EQ(s.IniValue("ShellExecute", "ShellExecute"), "");
    // This platform reports the running saver, which gives the screen up.
    EXPECT_EQ(s.IniValue("SystemParametersInfo", "IsRunning"), "1");
    EXPECT_TRUE(CleanlyStopped(s));
}

TEST(MovieSaverExecute, AFailingCommandRecordsThePlatformText) {
    PackagedSaver s("ExecuteFail");
    ASSERT_TRUE(s.Build("[Execute]\r\nKey=e\r\nCommand=C:\\nowhere\\missing-program.exe\r\n"));
    ASSERT_TRUE(s.StartFullScreen());
    g_saver = s.window;
    ASSERT_NE(s.WaitForAdoptedPlayer(nullptr), nullptr);
    PressKey('E');
    EXPECT_TRUE(s.Ended());
    EXPECT_EQ(s.IniValue("ShellExecute", "Command"), "C:\\nowhere\\missing-program.exe");
    std::string text = s.IniValue("ShellExecute", "ShellExecute");
    EXPECT_GT(text.size(), 5u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_TRUE(CleanlyStopped(s));
}

TEST(MovieSaverFailure, APlayerWithoutAWindowOfItsMainThreadShowsTheLine) {
    const char* modes[] = {"nowindow", "thread", "late&TP_Ms=5000"};
    for (const char* mode : modes) {
        SCOPED_TRACE(mode);
        PackagedSaver s("NoWindow");
        ASSERT_TRUE(s.Build("", std::string("[User]\r\nSS_User0=&TP_Mode=") + mode + "\r\n"));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        const std::string line = "NoWindow: Unable to locate program window. " + s.dat + " ";
        char text[600] = "";
        EXPECT_TRUE(WaitUntil([&] {
            GetWindowTextA(s.window, text, sizeof text);
            return line == text;
        })) << text;
        // The line scrolls in white near the top of the black screen.
        EXPECT_TRUE(WaitUntil([&] {
            ScreenShot shot = CaptureScreen();
            for (int y = 10; y < 30; ++y)
                for (int x = 0; x < shot.width; ++x)
                    if (shot.At(x, y) == 0xFFFFFF)
                        return true;
            return false;
        }));
        EXPECT_TRUE(s.PlayerRuns());
        // A window the player opens anyway does not keep the keys.
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == s.window; }));
        PressKey('A');
        EXPECT_TRUE(s.Ended());
        EXPECT_TRUE(CleanlyStopped(s)); // terminated, and its files deleted
    }
}

TEST(MovieSaverFailure, BrokenPlayerMissingPlayerOrDamagedPackageShowTheirLine) {
    {
        PackagedSaver s("BadPlayer");
        std::string fake = s.dir + "\\fake.exe";
        // A Windows header that leads nowhere: packable, but it cannot run.
        std::string bytes(1024, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        bytes[0x3C] = 0x40;
        memcpy(&bytes[0x40], "PE\0\0", 4);
        ASSERT_TRUE(WriteFileBytes(fake, bytes));
        ASSERT_TRUE(s.Build("", "", fake));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        char text[600] = "";
        EXPECT_TRUE(WaitUntil([&] {
            GetWindowTextA(s.window, text, sizeof text);
            std::string t = text;
            return t.rfind("BadPlayer: ", 0) == 0 && t.size() > s.dat.size() + 13 &&
                   t.compare(t.size() - s.dat.size() - 1, std::string::npos, s.dat + " ") == 0;
        })) << text;
        PressKey('A');
        EXPECT_TRUE(s.Ended());
        EXPECT_TRUE(CleanlyStopped(s));
    }
    {
        PackagedSaver s("NoPlayer");
        ASSERT_TRUE(CopyFileTo(BinPath("MovieSaver.scr"), s.module));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        char text[600] = "";
        const std::string beside = s.dir + "\\NoPlayer.exe ";
        EXPECT_TRUE(WaitUntil([&] {
            GetWindowTextA(s.window, text, sizeof text);
            std::string t = text;
            return t.rfind("NoPlayer: ", 0) == 0 && t.size() > beside.size() + 12 &&
                   t.compare(t.size() - beside.size(), std::string::npos, beside) == 0;
        })) << text;
        PressKey('A');
        EXPECT_TRUE(s.Ended());
    }
    {
        PackagedSaver s("Damaged");
        ASSERT_TRUE(s.Build(""));
        std::string bytes = ReadFileBytes(s.module);
        bytes[bytes.size() - 492 + 16] ^= 0x40; // playerEnd no longer names the trailer
        ASSERT_TRUE(WriteFileBytes(s.module, bytes));
        ASSERT_TRUE(s.StartFullScreen());
        g_saver = s.window;
        char text[600] = "";
        EXPECT_TRUE(WaitUntil([&] {
            GetWindowTextA(s.window, text, sizeof text);
            return std::string(text) == "Damaged: The screen saver file is damaged; install it again.";
        })) << text;
        EXPECT_FALSE(PathExists(s.dat));
        PressKey('A');
        EXPECT_TRUE(s.Ended());
    }
}

} // namespace
