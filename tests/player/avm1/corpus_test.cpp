// The trace corpus on the stand-in player: every movie of the known-pass
// list must still give its expected output exactly; the summary of the
// whole corpus is printed for the record.
#include "corpus.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {

using namespace swftest;

TEST(Avm1TraceCorpus, KnownPassesStillPass) {
    std::string dir = CorpusTraceDir();
    if (dir.empty())
        GTEST_SKIP() << "no trace corpus";
    std::vector<std::string> keys = ReadNameList(testsupport::BinPath("avm1_knownpass.txt"));
    ASSERT_FALSE(keys.empty());
    std::map<std::string, std::string> byKey;
    for (const std::string& name : CorpusCases(dir))
        byKey[CaseKey(dir, name)] = name;
    for (const std::string& key : keys) {
        auto it = byKey.find(key);
        if (it == byKey.end()) {
            ADD_FAILURE() << "no corpus movie has the key " << key;
            continue;
        }
        CaseResult r = RunCase(dir, it->second);
        EXPECT_TRUE(r.loaded) << it->second << ": " << r.error;
        EXPECT_TRUE(r.passed) << it->second << " gave:\n" << r.output << "expected:\n" << r.expected;
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
