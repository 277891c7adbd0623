// End-to-end: mvplayer.exe started the ways the screen saver and a person
// start it, watched from outside through its windows and the screen.
#include "player/moviesource.h"
#include "player/playerwindow.h"

#include "swfwriter.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testsupport;

constexpr DWORD RED = 0xFF0000, BLUE = 0x0000FF, GREEN = 0x00FF00;

// A 200 by 150 stage on green, covered by a rectangle that is red in frame 1
// and blue in frame 2 (at 10 frames a second), so that drawing can be seen to go on.
std::string Movie(bool animated) {
    SwfWriter w(8, 200, 150, 10);
    w.Background({0, 255, 0, 255});
    ShapeBuilder red, blue;
    red.AddSolidFill({255, 0, 0, 255});
    red.Style(-1, 1, -1);
    red.Rect(0, 0, 4000, 3000);
    blue.AddSolidFill({0, 0, 255, 255});
    blue.Style(-1, 1, -1);
    blue.Rect(0, 0, 4000, 3000);
    uint16_t r = w.DefineShape(red), b = w.DefineShape(blue);
    PlaceArgs p;
    p.characterId = r;
    w.Place(1, p);
    w.ShowFrame();
    if (animated) {
        w.Remove(1);
        p.characterId = b;
        w.Place(1, p);
        w.ShowFrame();
    }
    std::vector<uint8_t> bytes = w.Finish(true);
    return std::string(bytes.begin(), bytes.end());
}

std::string Tail(size_t length) {
    std::string t(8, '\0');
    for (int i = 0; i < 4; ++i) {
        t[i] = static_cast<char>(PROJECTOR_MAGIC >> (8 * i));
        t[4 + i] = static_cast<char>(length >> (8 * i));
    }
    return t;
}

// A projector: the player, the movie, the tail.
std::string MakeProjector(const std::string& dir, const std::string& name, const std::string& movie) {
    std::string path = dir + "\\" + name;
    EXPECT_TRUE(WriteFileBytes(path, ReadFileBytes(BinPath("mvplayer.exe")) + movie + Tail(movie.size())));
    return path;
}

struct Startup {
    DWORD flags = 0;
    int x = 0, y = 0, w = 0, h = 0;
    WORD show = 0;
};

struct ThreadQuery {
    DWORD thread;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectThreadWindow(HWND w, LPARAM p) {
    auto* q = reinterpret_cast<ThreadQuery*>(p);
    if (GetWindowThreadProcessId(w, nullptr) == q->thread)
        q->found.push_back(w);
    return TRUE;
}

class Player {
public:
    ~Player() {
        if (info_.hProcess) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info_.hProcess, 1);
                WaitForSingleObject(info_.hProcess, 5000);
            }
            CloseHandle(info_.hProcess);
            CloseHandle(info_.hThread);
        }
    }
    // As the saver does: no command line unless given, the file's folder as working directory.
    bool Start(const std::string& exe, const std::string& args, const Startup& s) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = s.flags;
        si.dwX = s.x;
        si.dwY = s.y;
        si.dwXSize = s.w;
        si.dwYSize = s.h;
        si.wShowWindow = s.show;
        std::string dir = exe.substr(0, exe.rfind('\\'));
        std::vector<char> line;
        if (!args.empty()) {
            std::string text = "\"" + exe + "\" " + args;
            line.assign(text.begin(), text.end());
            line.push_back(0);
        }
        if (!CreateProcessA(exe.c_str(), line.empty() ? nullptr : line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            dir.c_str(), &si, &info_))
            return false;
        WaitForInputIdle(info_.hProcess, 3000);
        return true;
    }
    // Every top-level window of the main thread, in the order the saver walks them.
    std::vector<HWND> MainThreadWindows() const {
        ThreadQuery q{info_.dwThreadId, {}};
        EnumWindows(CollectThreadWindow, reinterpret_cast<LPARAM>(&q));
        return q.found;
    }
    HWND Window() const {
        HWND w = nullptr;
        WaitUntil([&] {
            auto all = MainThreadWindows();
            w = all.empty() ? nullptr : all.front();
            return w != nullptr;
        });
        return w;
    }
    bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitExit() const {
        return WaitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; });
    }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    DWORD Id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_ = {};
};

RECT ClientOnScreen(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

DWORD PixelAt(int x, int y) { return CaptureScreen().At(x, y); }

bool CentreBecomes(HWND w, DWORD colour) {
    return WaitUntil([&] {
        RECT r = ClientOnScreen(w);
        return PixelAt((r.left + r.right) / 2, (r.top + r.bottom) / 2) == colour;
    });
}

void CloseAndExpectExit(Player& p, HWND w) {
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.WaitExit());
    EXPECT_EQ(p.ExitCode(), 0u);
}

TEST(PlayerWindow, AProjectorWithoutConfigurationOpensAnOrdinaryWindowOfTheStageSize) {
    std::string dir = ScratchDir("player-projector");
    std::string exe = MakeProjector(dir, "Demo.exe", Movie(false));
    Player p;
    ASSERT_TRUE(p.Start(exe, "", Startup{}));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(p.MainThreadWindows().size(), 1u); // the window the saver would take is the only one
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_CAPTION);
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 150);
    EXPECT_TRUE(CentreBecomes(w, RED));
    CloseAndExpectExit(p, w);
}

TEST(PlayerWindow, PreviewStartIsHiddenAndDrawsOnceReparentedDisabledAndMoved) {
    std::string dir = ScratchDir("player-preview");
    std::string exe = MakeProjector(dir, "Movie.dat", Movie(true));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Movie.cfg", "SS_Mode=P&SS_Sound=2&SS_RunCount=1"));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PreviewArea";
    RegisterClassA(&wc);
    HWND area = CreateWindowExA(0, "PreviewArea", "preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 60,
                                420, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(area, nullptr);
    RECT areaClient;
    GetClientRect(area, &areaClient);

    Player p;
    ASSERT_TRUE(p.Start(exe, "", Startup{STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION, 0, 0,
                                         areaClient.right, areaClient.bottom, SW_HIDE}));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(p.MainThreadWindows().size(), 1u);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_CAPTION);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, areaClient.right);
    EXPECT_EQ(r.bottom - r.top, areaClient.bottom);

    // What the saver does with it.
    EnableWindow(w, FALSE);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    SetParent(w, area);
    MoveWindow(w, 0, 0, areaClient.right, areaClient.bottom - 20, TRUE);
    // Under Wine the pixels of a child of another process's window do not reach a
    // screen capture, so the player is asked what it drew.
    UINT probe = RegisterWindowMessageA(PLAYER_PROBE_MESSAGE);
    auto ask = [&](WPARAM what, LPARAM where = 0) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(w, probe, what, where, SMTO_BLOCK, 5000, &answer);
        return static_cast<LONG>(answer);
    };
    LONG size = MAKELONG(areaClient.right, areaClient.bottom - 20);
    EXPECT_TRUE(WaitUntil([&] { return ask(PROBE_SIZE) == size; }));
    LPARAM centre = MAKELPARAM(areaClient.right / 2, (areaClient.bottom - 20) / 2);
    // The movie keeps playing: both frames are drawn in turn, fitted, with green borders beside it.
    LONG drawn = ask(PROBE_FRAMES);
    EXPECT_TRUE(WaitUntil([&] { return ask(PROBE_PIXEL, centre) == static_cast<LONG>(RED); }));
    EXPECT_TRUE(WaitUntil([&] { return ask(PROBE_PIXEL, centre) == static_cast<LONG>(BLUE); }));
    EXPECT_TRUE(WaitUntil([&] { return ask(PROBE_PIXEL, centre) == static_cast<LONG>(RED); }));
    EXPECT_GT(ask(PROBE_FRAMES), drawn + 1);
    EXPECT_EQ(ask(PROBE_PIXEL, MAKELPARAM(3, (areaClient.bottom - 20) / 2)), static_cast<LONG>(GREEN));
    EXPECT_FALSE(IsWindowEnabled(w));
    EXPECT_TRUE(p.Running());
    CloseAndExpectExit(p, w);
    DestroyWindow(area);
}

TEST(PlayerWindow, SaverFullScreenStartsCoverTheScreen) {
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        const char* name;
        Startup startup;
    } cases[] = {
        {"ForceMaximize", {STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION, 0, 0, cx, cy, SW_SHOWMAXIMIZED}},
        {"no start-up information", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = ScratchDir("player-full");
        std::string exe = MakeProjector(dir, "Movie.dat", Movie(false));
        ASSERT_TRUE(WriteFileBytes(dir + "\\Movie.cfg", "SS_Mode=S&SS_Sound=0&SS_RunCount=1&greeting=hi%20there"));
        Player p;
        ASSERT_TRUE(p.Start(exe, "", c.startup));
        HWND w = p.Window();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(p.MainThreadWindows().size(), 1u);
        EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_CAPTION);
        EXPECT_TRUE(WaitUntil([&] {
            RECT r;
            GetWindowRect(w, &r);
            return r.left <= 0 && r.top <= 0 && r.right >= cx && r.bottom >= cy;
        }));
        EXPECT_TRUE(WaitUntil([&] { return PixelAt(cx / 2, cy / 2) == RED; }));
        CloseAndExpectExit(p, w);
    }
}

TEST(PlayerWindow, AMovieNamedOnTheCommandLinePlays) {
    std::string dir = ScratchDir("player-named");
    ASSERT_TRUE(WriteFileBytes(dir + "\\movie one.swf", Movie(false)));
    Player p;
    ASSERT_TRUE(p.Start(BinPath("mvplayer.exe"), "\"" + dir + "\\movie one.swf\"", Startup{}));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(CentreBecomes(w, RED));
    CloseAndExpectExit(p, w);
}

TEST(PlayerWindow, ADamagedMovieShowsItsErrorLineAndStaysOpen) {
    std::string dir = ScratchDir("player-damaged");
    std::string movie = Movie(false);
    ASSERT_TRUE(WriteFileBytes(dir + "\\cut.swf", movie.substr(0, 10)));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Bad.exe", ReadFileBytes(BinPath("mvplayer.exe")) + movie + Tail(1u << 30)));
    struct Case {
        std::string exe, args;
    } cases[] = {{BinPath("mvplayer.exe"), "\"" + dir + "\\cut.swf\""},
                 {BinPath("mvplayer.exe"), "\"" + dir + "\\missing.swf\""},
                 {dir + "\\Bad.exe", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe + " " + c.args);
        Player p;
        ASSERT_TRUE(p.Start(c.exe, c.args, Startup{}));
        HWND w = p.Window();
        ASSERT_NE(w, nullptr);
        PumpFor(1500); // it must not end by itself
        EXPECT_TRUE(p.Running());
        // White text on black.
        EXPECT_TRUE(WaitUntil([&] {
            ScreenShot shot = CaptureScreen();
            RECT r = ClientOnScreen(w);
            int white = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    white += shot.At(x, y) == 0xFFFFFF;
            return white > 20 && shot.At(r.left + 1, r.top + 1) == 0;
        }));
        CloseAndExpectExit(p, w);
    }
}

// Runs the player headless with its output into a pipe; returns the exit code.
DWORD RunHeadless(const std::string& args, std::string* output) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return 999;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string line = "\"" + BinPath("mvplayer.exe") + "\" " + args;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    PROCESS_INFORMATION pi = {};
    BOOL ok = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(readEnd);
        return 998;
    }
    char chunk[512];
    DWORD got;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        output->append(chunk, got);
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 997;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

DWORD BmpPixel(const std::string& bmp, int x, int y) {
    int w = *reinterpret_cast<const int*>(bmp.data() + 18), h = *reinterpret_cast<const int*>(bmp.data() + 22);
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bmp.data()) + 54 + stride * (h - 1 - y) + 3 * x;
    return static_cast<DWORD>(p[2]) << 16 | p[1] << 8 | p[0];
}

TEST(Headless, RendersTheChosenFramesAsBitmapsAndSaysSo) {
    std::string dir = ScratchDir("player-headless");
    ASSERT_TRUE(WriteFileBytes(dir + "\\m.swf", Movie(true)));
    std::string out;
    ASSERT_EQ(RunHeadless("--render \"" + dir + "\\m.swf\" --frames 3 --size 400x150 --pick 2,3 --out \"" + dir + "\"", &out),
              0u);
    EXPECT_NE(out.find("frame0002.bmp"), std::string::npos) << out;
    EXPECT_NE(out.find("frame0003.bmp"), std::string::npos) << out;
    EXPECT_FALSE(PathExists(dir + "\\frame0001.bmp"));
    std::string second = ReadFileBytes(dir + "\\frame0002.bmp");
    std::string third = ReadFileBytes(dir + "\\frame0003.bmp");
    ASSERT_GT(second.size(), 54u);
    ASSERT_GT(third.size(), 54u);
    EXPECT_EQ(BmpPixel(second, 200, 75), BLUE);
    EXPECT_EQ(BmpPixel(third, 200, 75), RED); // looped back to frame 1
    EXPECT_EQ(BmpPixel(third, 10, 75), GREEN); // the border beside the fitted stage

    // By default only the last frame is written.
    std::string lastDir = ScratchDir("player-headless-last");
    out.clear();
    ASSERT_EQ(RunHeadless("--render \"" + dir + "\\m.swf\" --frames 2 --out \"" + lastDir + "\"", &out), 0u);
    EXPECT_TRUE(PathExists(lastDir + "\\frame0002.bmp"));
    EXPECT_FALSE(PathExists(lastDir + "\\frame0001.bmp"));
}

TEST(Headless, BadInputGetsOneLineAndANonzeroExit) {
    std::string dir = ScratchDir("player-headless-bad");
    ASSERT_TRUE(WriteFileBytes(dir + "\\junk.swf", "this is no movie"));
    struct Case {
        std::string args, says;
        DWORD code;
    } cases[] = {
        {"--render \"" + dir + "\\junk.swf\" --out \"" + dir + "\"", "Not an SWF movie.", 1},
        {"--render \"" + dir + "\\none.swf\" --out \"" + dir + "\"", "cannot be opened", 1},
        {"--render \"" + dir + "\\junk.swf\" --frames many --out x", "bad value for --frames: \"many\"", 2},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(RunHeadless(c.args, &out), c.code) << c.args;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out; // one line
    }
}

} // namespace
