// The trace corpus (/work/shared/swf-corpus/trace by default, or the folder
// MS_SWF_CORPUS names): one folder per movie with test.swf, test.toml and
// output.txt. RunCase plays a movie on the FakePlayer for its num_frames
// (or num_ticks) frames and compares the trace output exactly (after
// turning the Windows line ends some expectations were saved with into "\n").
#pragma once

#include <string>
#include <vector>

namespace swftest {

// The trace folder, "" when there is none.
std::string CorpusTraceDir();
std::vector<std::string> CorpusCases(const std::string& traceDir);

struct CaseResult {
    bool loaded = false;
    bool passed = false;
    int frames = 1;
    std::string error;
    std::string expected;
    std::string output;
};

CaseResult RunCase(const std::string& traceDir, const std::string& name);

// A movie's key in the known-pass list: the 64-bit FNV-1a hash of its
// test.swf as 16 hex digits ("" when it cannot be read). Keys rather than
// folder names keep the list independent of how the corpus names things.
std::string CaseKey(const std::string& traceDir, const std::string& name);

// The entries of a list file, one a line ("#" starts a comment).
std::vector<std::string> ReadNameList(const std::string& path);

} // namespace swftest
