// avm1_tracerun: plays the trace corpus on the FakePlayer and prints, per
// movie, PASS or FAIL, then "passed N of M trace tests". With a movie's
// name it plays that one and prints its output and the expected output;
// --keys prints the keys of the movies that pass (the known-pass list).
//   avm1_tracerun [--keys] [NAME]
#include "corpus.h"

#include <cstdio>
#include <cstring>

using namespace swftest;

int main(int argc, char** argv) {
    std::string dir = CorpusTraceDir();
    if (dir.empty()) {
        std::fprintf(stderr, "avm1_tracerun: no trace corpus (set MS_SWF_CORPUS)\n");
        return 2;
    }
    bool listOnly = argc > 1 && std::strcmp(argv[1], "--keys") == 0;
    if (argc > 1 && !listOnly) {
        CaseResult r = RunCase(dir, argv[1]);
        if (!r.loaded) {
            std::fprintf(stderr, "avm1_tracerun: %s: %s\n", argv[1], r.error.c_str());
            return 2;
        }
        std::printf("==== output (%d frames)\n%s==== expected\n%s==== %s\n", r.frames, r.output.c_str(),
                    r.expected.c_str(), r.passed ? "PASS" : "FAIL");
        return r.passed ? 0 : 1;
    }
    std::vector<std::string> names = CorpusCases(dir);
    int passed = 0;
    for (const std::string& name : names) {
        CaseResult r = RunCase(dir, name);
        if (r.passed)
            ++passed;
        if (listOnly) {
            if (r.passed)
                std::printf("%s\n", CaseKey(dir, name).c_str());
        } else {
            std::printf("%s %s%s%s\n", r.passed ? "PASS" : "FAIL", name.c_str(), r.loaded ? "" : ": ",
                        r.loaded ? "" : r.error.c_str());
        }
        std::fflush(stdout);
    }
    if (!listOnly)
        std::printf("passed %d of %zu trace tests\n", passed, names.size());
    return 0;
}
