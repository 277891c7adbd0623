// The trace corpus on the stand-in player: every movie of the known-pass
// list must still give its expected output exactly; the summary of the
// whole corpus is printed for the record.
#include "corpus.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace swftest;

TEST(Avm1TraceCorpus, KnownPassesStillPass) {
    std::string dir = CorpusTraceDir();
    if (dir.empty())
        GTEST_SKIP() << "no trace corpus";
    std::vector<std::string> names = ReadNameList(testsupport::BinPath("avm1_knownpass.txt"));
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        CaseResult r = RunCase(dir, name);
        EXPECT_TRUE(r.loaded) << name << ": " << r.error;
        EXPECT_TRUE(r.passed) << name << " gave:\n" << r.output << "expected:\n" << r.expected;
    }
}

TEST(Avm1TraceCorpus, Summary) {
    std::string dir = CorpusTraceDir();
    if (dir.empty())
        GTEST_SKIP() << "no trace corpus";
    std::vector<std::string> names = CorpusCases(dir);
    int passed = 0, loaded = 0;
    for (const std::string& name : names) {
        CaseResult r = RunCase(dir, name);
        loaded += r.loaded ? 1 : 0;
        passed += r.passed ? 1 : 0;
    }
    std::printf("trace corpus: %d of %zu movies give their expected output exactly (%d read)\n", passed,
                names.size(), loaded);
    EXPECT_EQ(loaded, static_cast<int>(names.size()));
}

} // namespace
