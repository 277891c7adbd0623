// The player's command line.
//
//   mvplayer [movie.swf]
//       plays the named movie in a window, or the movie appended to the program
//   mvplayer --render movie.swf --frames N [--size WxH] --out DIR [--pick LIST] [--time]
//       runs N frames without a window and writes the pictures of the frames
//       in LIST as DIR\frameNNNN.bmp: "last" (the default), "all", or 1-based
//       frame numbers separated by commas ("1,5,10")
//
// ParsePlayerArgs fills PlayerArgs from the text after the program name and
// returns false with a one-line message for a command line it cannot use.
#pragma once

#include <string>
#include <vector>

struct PlayerArgs {
    bool render = false;
    std::string movie;
    int frames = 1;
    int width = 0, height = 0; // 0: the stage's size
    std::string outDir;
    bool pickAll = false;
    std::vector<int> pick; // empty: the last frame
    bool time = false;     // draw every frame and print the CPU time per frame
};

// The arguments of a command line, quotes removed.
std::vector<std::string> SplitCommandLine(const char* text);
// The text after the program's own name (which may be unquoted and hold blanks).
const char* SkipProgramName(const char* commandLine, const char* programPath);
bool ParsePlayerArgs(const std::vector<std::string>& args, PlayerArgs* out, std::string* message);
