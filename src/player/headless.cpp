#include "player/headless.h"

#include "player/bmpout.h"
#include "player/moviesource.h"
#include "player/player.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

HANDLE Output() {
    static HANDLE out = nullptr;
    if (!out) {
        out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!out || out == INVALID_HANDLE_VALUE) {
            if (AttachConsole(ATTACH_PARENT_PROCESS))
                out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        }
    }
    return out;
}

// CPU time of this thread in milliseconds: what one core spent, however busy the machine is.
double ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

} // namespace

void ConsoleLine(const std::string& text) {
    HANDLE out = Output();
    if (!out || out == INVALID_HANDLE_VALUE)
        return;
    std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int RunHeadless(const PlayerArgs& args) {
    std::vector<uint8_t> bytes;
    int found = ReadMovieFile(args.movie.c_str(), &bytes);
    if (found != MOVIE_FOUND) {
        ConsoleLine("mvplayer: " + args.movie + ": " + MovieSourceText(found));
        return 1;
    }
    mvPlayer player;
    if (player.Load(bytes.data(), bytes.size()) != 0) {
        ConsoleLine("mvplayer: " + args.movie + ": " + player.errorText);
        return 1;
    }
    const SwfRect& frame = player.GetMovie().header.frameSize;
    int width = args.width, height = args.height;
    if (width == 0 || height == 0) {
        width = static_cast<int>(std::ceil((frame.xMax - frame.xMin) / 20.0));
        height = static_cast<int>(std::ceil((frame.yMax - frame.yMin) / 20.0));
        width = std::min(std::max(width, 1), 8192);
        height = std::min(std::max(height, 1), 8192);
    }
    // The canvas is bounded like a bitmap: 16 million pixels at most.
    if (static_cast<int64_t>(width) * height > BITMAP_MAX_PIXELS) {
        ConsoleLine("mvplayer: the picture size is too large");
        return 1;
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    Canvas canvas{pixels.data(), width, height, width};
    player.Start();
    double drawMs = 0, cpuStart = ThreadCpuMs();
    int drawn = 0;
    bool ok = true;
    for (int n = 1; n <= args.frames; ++n) {
        if (n > 1)
            player.Step();
        bool wanted = args.pickAll || (args.pick.empty() ? n == args.frames
                                                          : std::find(args.pick.begin(), args.pick.end(), n) != args.pick.end());
        if (args.time) {
            // Timing draws every frame, as a window would at full speed.
            double t0 = ClockMs();
            player.Draw(canvas);
            drawMs += ClockMs() - t0;
            ++drawn;
        } else if (wanted) {
            player.Draw(canvas);
        }
        if (wanted && !args.outDir.empty()) {
            char name[32];
            snprintf(name, sizeof name, "\\frame%04d.bmp", n);
            std::string path = args.outDir + name;
            if (WriteCanvasBmp(path.c_str(), canvas)) {
                ConsoleLine("wrote " + path);
            } else {
                ConsoleLine("mvplayer: cannot write " + path);
                ok = false;
            }
        }
    }
    if (args.time && drawn > 0) {
        // Frames per second from the thread's CPU time (timeline steps included), so that
        // a busy machine does not make the figure look worse than one core can do.
        // The thread's times tick in steps of 10 to 16 ms: for a short run the wall clock says more.
        char line[200];
        double wall = drawMs / drawn, cpuTotal = ThreadCpuMs() - cpuStart;
        bool byCpu = cpuTotal >= 200;
        double per = byCpu ? cpuTotal / drawn : wall;
        snprintf(line, sizeof line, "frames %d size %dx%d ms/frame %.2f fps %.1f movie-rate %.1f clock %s", drawn, width,
                 height, per, per > 0 ? 1000.0 / per : 0.0, 1000.0 / player.FramePeriod(), byCpu ? "cpu" : "wall");
        ConsoleLine(line);
    }
    return ok ? 0 : 1;
}
