// Helpers shared by the test programs: where the built programs lie, fresh
// scratch folders, waiting for conditions, launched processes and their windows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// The folder of the running test program, where every built program lies.
std::string BinDir();
std::string BinPath(const std::string& name);

// A fresh, empty folder under the temporary directory (removed and made anew).
std::string ScratchDir(const std::string& name);
void RemoveTree(const std::string& path);

// Polls condition until it holds or timeoutMs has passed, pumping this
// thread's messages meanwhile (windows of other processes may send to ours).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// Pumps messages for the given time; only for checking that nothing happens.
void PumpFor(DWORD ms);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool CopyFileTo(const std::string& from, const std::string& to);
bool PathExists(const std::string& path);

// A launched program. The destructor kills it when it still runs.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& exe, const std::string& arguments, const std::string& directory = "");
    bool WaitExit(DWORD timeoutMs = 30000);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION info_ = {};
};

// Moves the pointer to (x, y) and waits until the display agrees. Wine warps
// the X pointer only when SetCursorPos changes the position it keeps itself,
// and the two can disagree (a warp is refused while another program holds the
// pointer), so a plain retry may never warp again; GetCursorPos asks the X
// server once the last change is 100 ms old. False when it never got there.
bool PlaceCursor(int x, int y);

// Runs a console program to its end with its output captured; returns its
// exit code, or -1 when it could not be started or did not end in time.
int RunProgram(const std::string& exe, const std::string& arguments, std::string* out = nullptr,
               std::string* err = nullptr, DWORD timeoutMs = 60000);

// Top-level windows whose creating process is pid (any class when className is null).
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className = nullptr);
HWND WaitForTopLevelWindow(DWORD pid, const char* className, DWORD timeoutMs = 30000);

// Pixels of the whole screen as 0x00RRGGBB, row by row from the top.
struct ScreenShot {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// What the X display shows, read with ImageMagick's import from the root
// window. Wine's own screen device context can report windows that the
// display hides, so checks of what a person sees use this one.
ScreenShot CaptureScreen();
// The screen as Wine's GDI reports it (GetDC of no window).
ScreenShot CaptureScreenGdi();
// Writes the shot as a 24-bit BMP file.
bool SaveScreenShot(const ScreenShot& shot, const std::string& path);
// Where tests leave pictures for people to look at: build/screenshots.
std::string ScreenShotDir();

// True when every pixel of the rectangle has the colour (0x00RRGGBB).
bool RegionIs(const ScreenShot& shot, const RECT& area, DWORD color);

// Asked of a fresh process (spiprobe.exe): Wine caches the answer per process.
bool ScreenSaverRunning();

} // namespace testsupport
