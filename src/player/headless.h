// The windowless mode: plays a movie for a number of frames and writes the
// chosen frames as BMP files (see cmdargs.h). Messages go to the standard
// output handle the program inherited; a program of the GUI subsystem started
// from a console gets the parent's console attached instead. Returns the
// process exit code: 0 when every picture was written, 1 otherwise.
#pragma once

#include "player/cmdargs.h"

int RunHeadless(const PlayerArgs& args);
// One line on the standard output (attached as above).
void ConsoleLine(const std::string& text);
