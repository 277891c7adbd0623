#include "corpus.h"

#include "fakeplayer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace swftest {

static std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::string();
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string CorpusTraceDir() {
    const char* given = std::getenv("MS_SWF_CORPUS");
    std::string root = given && *given ? given : MS_SWF_CORPUS_DEFAULT;
    std::error_code ec;
    fs::path trace = fs::path(root) / "trace";
    if (fs::is_directory(trace, ec))
        return trace.string();
#ifdef _WIN32
    // A Linux path seen from a Windows program under Wine.
    fs::path mapped = fs::path("Z:" + root) / "trace";
    if (fs::is_directory(mapped, ec))
        return mapped.string();
#endif
    return std::string();
}

std::vector<std::string> CorpusCases(const std::string& traceDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(traceDir, ec))
        if (e.is_directory())
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// num_frames or num_ticks of test.toml; 1 when neither is there.
static int FramesOf(const std::string& toml) {
    std::istringstream lines(toml);
    std::string line;
    while (std::getline(lines, line)) {
        size_t key = line.find_first_not_of(" \t");
        if (key == std::string::npos)
            continue;
        if (line.compare(key, 10, "num_frames") == 0 || line.compare(key, 9, "num_ticks") == 0) {
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                return std::max(1, std::atoi(line.c_str() + eq + 1));
        }
    }
    return 1;
}

CaseResult RunCase(const std::string& traceDir, const std::string& name) {
    CaseResult result;
    fs::path dir = fs::path(traceDir) / name;
    std::string swf = ReadAll(dir / "test.swf");
    result.expected = ReadAll(dir / "output.txt");
    // A few expectations were saved with Windows line ends; trace lines end in "\n".
    for (size_t at = result.expected.find("\r\n"); at != std::string::npos; at = result.expected.find("\r\n", at))
        result.expected.erase(at, 1);
    result.frames = FramesOf(ReadAll(dir / "test.toml"));
    if (swf.empty()) {
        result.error = "no test.swf";
        return result;
    }
    FakePlayer player;
    if (!player.Load(swf, &result.error))
        return result;
    result.loaded = true;
    player.Run(result.frames);
    result.output = player.Output();
    result.passed = result.output == result.expected;
    return result;
}

std::string CaseKey(const std::string& traceDir, const std::string& name) {
    std::string swf = ReadAll(fs::path(traceDir) / name / "test.swf");
    if (swf.empty())
        return std::string();
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : swf) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::vector<std::string> ReadNameList(const std::string& path) {
    std::vector<std::string> names;
    std::istringstream lines(ReadAll(path));
    std::string line;
    while (std::getline(lines, line)) {
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos)
            names.push_back(line.substr(start));
    }
    return names;
}

} // namespace swftest
