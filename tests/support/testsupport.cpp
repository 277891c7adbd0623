#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace testsupport {

std::string BinDir() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    if (char* slash = strrchr(path, '\\'))
        *slash = 0;
    return path;
}

std::string BinPath(const std::string& name) { return BinDir() + "\\" + name; }

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string ScratchDir(const std::string& name) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "mstest";
    CreateDirectoryA(root.c_str(), nullptr);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

static void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        PumpPending();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

bool PlaceCursor(int x, int y) {
    SetCursorPos(x, y);
    return WaitUntil([&] {
        PumpFor(150);
        POINT at = {};
        if (GetCursorPos(&at) && at.x == x && at.y == y)
            return true;
        // First tell Wine where the pointer is, then move it.
        SetCursorPos(at.x, at.y);
        SetCursorPos(x, y);
        return false;
    });
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool CopyFileTo(const std::string& from, const std::string& to) { return CopyFileA(from.c_str(), to.c_str(), FALSE); }

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Process::~Process() {
    Kill();
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
    if (info_.hThread)
        CloseHandle(info_.hThread);
}

bool Process::Start(const std::string& exe, const std::string& arguments, const std::string& directory) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &info_);
}

bool Process::WaitExit(DWORD timeoutMs) {
    if (!info_.hProcess)
        return true;
    return WaitUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

bool Process::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (info_.hProcess)
        GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

static HANDLE InheritableFile(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int RunProgram(const std::string& exe, const std::string& arguments, std::string* out, std::string* err,
               DWORD timeoutMs) {
    static int serial = 0;
    std::string dir = ScratchDir("run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial));
    HANDLE input = InheritableFile("NUL", false);
    HANDLE output = InheritableFile(dir + "\\out.txt", true);
    HANDLE errors = InheritableFile(dir + "\\err.txt", true);
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION info = {};
    BOOL started =
        CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(input);
    CloseHandle(output);
    CloseHandle(errors);
    int code = -1;
    if (started) {
        if (WaitUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs)) {
            DWORD exitCode = 0;
            GetExitCodeProcess(info.hProcess, &exitCode);
            code = static_cast<int>(exitCode);
        } else {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    if (out)
        *out = ReadFileBytes(dir + "\\out.txt");
    if (err)
        *err = ReadFileBytes(dir + "\\err.txt");
    RemoveTree(dir);
    return code;
}

namespace {
struct WindowQuery {
    DWORD pid;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    auto* query = reinterpret_cast<WindowQuery*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != query->pid)
        return TRUE;
    if (query->className) {
        char name[256] = "";
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, query->className) != 0)
            return TRUE;
    }
    query->found.push_back(window);
    return TRUE;
}
} // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className) {
    WindowQuery query{pid, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForTopLevelWindow(DWORD pid, const char* className, DWORD timeoutMs) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            auto windows = TopLevelWindows(pid, className);
            window = windows.empty() ? nullptr : windows.front();
            return window != nullptr;
        },
        timeoutMs);
    return window;
}

ScreenShot CaptureScreen() {
    // Wine runs a Linux program given by its real file (not a symbolic link).
    static int serial = 0;
    std::string name = "/tmp/mstest-shot-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::string windowsName = "Z:" + name;
    for (char& c : windowsName)
        c = c == '/' ? '\\' : c;
    std::string command = "dash -c \"import -window root -depth 8 rgb:" + name + ".rgb && mv " + name + ".rgb " +
                          name + ".done\"";
    std::vector<char> buffer(command.begin(), command.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ScreenShot shot;
    if (CreateProcessA("Z:\\usr\\bin\\dash", buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        // The exit code of a Linux program does not come through; the file does.
        WaitUntil([&] { return PathExists(windowsName + ".done"); }, 20000);
        CloseHandle(info.hProcess);
        std::string bytes = ReadFileBytes(windowsName + ".done");
        DeleteFileA((windowsName + ".done").c_str());
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        if (bytes.size() == static_cast<size_t>(width) * height * 3) {
            shot.width = width;
            shot.height = height;
            shot.pixels.resize(static_cast<size_t>(width) * height);
            for (size_t i = 0; i < shot.pixels.size(); ++i) {
                const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + i * 3;
                shot.pixels[i] = static_cast<DWORD>(p[0]) << 16 | static_cast<DWORD>(p[1]) << 8 | p[2];
            }
            return shot;
        }
    }
    ADD_FAILURE() << "the display could not be read with ImageMagick's import";
    return CaptureScreenGdi();
}

ScreenShot CaptureScreenGdi() {
    ScreenShot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    shot.pixels.assign(source, source + static_cast<size_t>(shot.width) * shot.height);
    for (DWORD& p : shot.pixels)
        p &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

bool SaveScreenShot(const ScreenShot& shot, const std::string& path) {
    const int stride = (shot.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride) * shot.height;
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = shot.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(static_cast<size_t>(stride), '\0');
    for (int y = shot.height - 1; y >= 0; --y) {
        for (int x = 0; x < shot.width; ++x) {
            DWORD p = shot.At(x, y);
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>(p >> 8 & 0xFF);
            row[x * 3 + 2] = static_cast<char>(p >> 16 & 0xFF);
        }
        bytes += row;
    }
    return WriteFileBytes(path, bytes);
}

std::string ScreenShotDir() {
    // Test programs lie in build\bin.
    std::string dir = BinDir();
    dir = dir.substr(0, dir.rfind('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool RegionIs(const ScreenShot& shot, const RECT& area, DWORD color) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) != color)
                return false;
    return true;
}

bool ScreenSaverRunning() {
    Process probe;
    if (!probe.Start(BinPath("spiprobe.exe"), "") || !probe.WaitExit())
        return false;
    return probe.ExitCode() == 1;
}

} // namespace testsupport
