// mvplayer: the movie player program (see cmdargs.h for its command line).
#include "player/cmdargs.h"
#include "player/headless.h"
#include "player/moviesource.h"
#include "player/playerwindow.h"

#include "util/paths.h"

#include <windows.h>
#include <imm.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char program[PATH_SIZE] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::vector<std::string> words = SplitCommandLine(SkipProgramName(GetCommandLineA(), program));
    PlayerArgs args;
    std::string message;
    bool argsOk = ParsePlayerArgs(words, &args, &message);
    if (args.render || (!argsOk && !words.empty() && words[0] == "--render")) {
        if (!argsOk) {
            ConsoleLine("mvplayer: " + message);
            return 2;
        }
        return RunHeadless(args);
    }
    // The input method's helper window would be a second top-level window of this thread.
    ImmDisableIME(static_cast<DWORD>(-1));
    timeBeginPeriod(1); // frame waits to the millisecond

    WindowSetup setup;
    char config[PATH_SIZE];
    if (ReplaceExtension(config, program, ".cfg") && ReadPlayerConfig(config, &setup.variables)) {
        setup.fromSaver = true;
        for (const auto& pair : setup.variables)
            if (pair.first == "SS_Mode" && pair.second == "S")
                setup.fullScreen = true;
    }
    std::vector<uint8_t> movie;
    std::string failure;
    if (!argsOk) {
        failure = message;
    } else {
        int found = args.movie.empty() ? ReadProjectorMovie(program, &movie) : ReadMovieFile(args.movie.c_str(), &movie);
        if (found != MOVIE_FOUND)
            failure = MovieSourceText(found);
    }
    mvPlayerWindow window;
    int code = window.Run(instance, setup, movie, failure);
    timeEndPeriod(1);
    return code;
}
