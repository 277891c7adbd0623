#include "packagedsaver.h"

#include <cstdlib>
#include <cstring>

namespace e2e {

using namespace testsupport;

std::vector<std::string> PlayerLog::Values(const std::string& prefix) const {
    std::vector<std::string> values;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0)
            values.push_back(line.substr(prefix.size()));
    }
    return values;
}

std::vector<std::string> PlayerLog::Cfgs() const {
    std::vector<std::string> cfgs;
    for (const std::string& hex : Values("cfg=")) {
        std::string bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(strtol(hex.substr(i, 2).c_str(), nullptr, 16));
        cfgs.push_back(bytes);
    }
    return cfgs;
}

std::vector<DWORD> PlayerLog::Pids() const {
    std::vector<DWORD> pids;
    for (const std::string& v : Values("start pid="))
        pids.push_back(static_cast<DWORD>(strtoul(v.c_str(), nullptr, 10)));
    return pids;
}

std::vector<HWND> PlayerLog::Windows() const {
    std::vector<HWND> windows;
    for (const std::string& v : Values("window="))
        windows.push_back(reinterpret_cast<HWND>(static_cast<LONG_PTR>(atol(v.c_str()))));
    return windows;
}

std::vector<unsigned> PlayerLog::Keys() const {
    std::vector<unsigned> keys;
    for (const std::string& v : Values("key vk="))
        keys.push_back(static_cast<unsigned>(atoi(v.c_str())));
    return keys;
}

std::string PlayerLog::LastState() const {
    auto states = Values("state ");
    return states.empty() ? "" : states.back();
}

int PlayerLog::Count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : lines)
        n += l == line;
    return n;
}

PackagedSaver::PackagedSaver(const std::string& name) : title(name) {
    dir = ScratchDir("saver-" + title);
    module = dir + "\\" + title + ".scr";
    ini = dir + "\\" + title + ".ini";
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    temp = path;
    dat = temp + title + ".dat";
    cfg = temp + title + ".cfg";
    log = temp + title + ".log";
    DeleteFileA(log.c_str());
}

PackagedSaver::~PackagedSaver() {
    saver.Kill();
    KillPlayers();
    DeleteFileA(dat.c_str());
    DeleteFileA(cfg.c_str());
    DeleteFileA(log.c_str());
}

bool PackagedSaver::Build(const std::string& packageIni, const std::string& besideIni, const std::string& player) {
    std::string args = "build --module \"" + BinPath("MovieSaver.scr") + "\" --player \"" +
                       (player.empty() ? BinPath("testplayer.exe") : player) + "\" -o \"" + module + "\"";
    if (!packageIni.empty()) {
        std::string settings = dir + "\\package.ini";
        WriteFileBytes(settings, packageIni);
        args += " --settings \"" + settings + "\"";
    }
    if (!besideIni.empty())
        WriteFileBytes(ini, besideIni);
    std::string err;
    int code = RunProgram(BinPath("mvpack.exe"), args, nullptr, &err);
    EXPECT_EQ(code, 0) << err;
    return code == 0;
}

bool PackagedSaver::StartFullScreen() {
    if (!PlaceCursor(kStart.x, kStart.y))
        return false;
    if (!saver.Start(module, "/s"))
        return false;
    window = WaitForTopLevelWindow(saver.Id(), "CSaverWin");
    return window && WaitUntil([&] { return IsWindowVisible(window) && GetForegroundWindow() == window; });
}

bool PackagedSaver::StartPreview(HWND area) {
    if (!saver.Start(module, "/p " + Handle(area)))
        return false;
    return WaitUntil([&] { return (window = FindWindowExA(area, nullptr, "CSaverWin", nullptr)) != nullptr; });
}

PlayerLog PackagedSaver::Log() const {
    PlayerLog result;
    std::string text = ReadFileBytes(log);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break; // a line still being written
        result.lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

bool PackagedSaver::WaitForLog(const std::function<bool(const PlayerLog&)>& condition, DWORD timeoutMs) const {
    return WaitUntil([&] { return condition(Log()); }, timeoutMs);
}

static bool Adopted(HWND player, HWND parent) {
    // GetParent names the owner of a window without WS_CHILD, so ask for the parent.
    if (parent)
        return GetAncestor(player, GA_PARENT) == parent;
    return (GetWindowLongA(player, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0;
}

HWND PackagedSaver::WaitForAdoptedPlayer(HWND parent, DWORD timeoutMs) const {
    HWND player = nullptr;
    WaitUntil(
        [&] {
            auto windows = Log().Windows();
            if (windows.empty())
                return false;
            player = windows.back();
            return Adopted(player, parent);
        },
        timeoutMs);
    if (!player || !Adopted(player, parent)) {
        std::string lines;
        for (const std::string& line : Log().lines)
            lines += "\n  " + line;
        ADD_FAILURE() << "the player was not adopted; its log:" << lines;
        return nullptr;
    }
    // Full screen the saver takes the keys back once the player is adopted.
    auto keysComeHere = [&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == window &&
               GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus == window;
    };
    if (!parent && !WaitUntil(keysComeHere, timeoutMs)) {
        HWND front = GetForegroundWindow();
        char name[64] = "";
        GetClassNameA(front, name, sizeof name);
        DWORD pid = 0;
        GetWindowThreadProcessId(front, &pid);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        ADD_FAILURE() << "the keys do not come to the saver; the foreground is " << front << " of class \"" << name
                      << "\" of process " << pid << " (saver " << saver.Id() << "), the focus " << info.hwndFocus;
        return nullptr;
    }
    return player;
}

::testing::AssertionResult PackagedSaver::Ended(DWORD timeoutMs) {
    if (!saver.WaitExit(timeoutMs))
        return ::testing::AssertionFailure() << "the saver still runs";
    if (saver.ExitCode() != 0)
        return ::testing::AssertionFailure() << "exit code " << saver.ExitCode();
    return ::testing::AssertionSuccess();
}

bool PackagedSaver::PlayerRuns() const {
    for (DWORD pid : Log().Pids()) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (process) {
            bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            CloseHandle(process);
            if (running)
                return true;
        }
    }
    return false;
}

void PackagedSaver::KillPlayers() const {
    for (DWORD pid : Log().Pids()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

std::string PackagedSaver::IniValue(const char* section, const char* key) const {
    char value[1024] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, ini.c_str());
    return value;
}

HWND MakePreviewArea(int x, int y, int width, int height) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PreviewArea";
    RegisterClassA(&wc);
    // Paints nothing over its children, like the desktop's little monitor.
    return CreateWindowExA(0, "PreviewArea", "preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, x, y,
                           width, height, nullptr, nullptr, nullptr, nullptr);
}

std::string Handle(HWND window) { return std::to_string(reinterpret_cast<LONG_PTR>(window)); }

} // namespace e2e
