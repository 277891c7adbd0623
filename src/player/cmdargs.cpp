#include "player/cmdargs.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

std::vector<std::string> SplitCommandLine(const char* p) {
    std::vector<std::string> args;
    while (*p) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::string arg;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"')
                quoted = !quoted;
            else
                arg += *p;
            ++p;
        }
        args.push_back(arg);
    }
    return args;
}

const char* SkipProgramName(const char* line, const char* program) {
    if (*line == '"') {
        const char* end = strchr(line + 1, '"');
        return end ? end + 1 : line + strlen(line);
    }
    // Started without a command line, the program's path stands there unquoted.
    size_t n = strlen(program);
    if (n > 0 && strncasecmp(line, program, n) == 0 && (line[n] == 0 || line[n] == ' ' || line[n] == '\t'))
        return line + n;
    while (*line && *line != ' ' && *line != '\t')
        ++line;
    return line;
}

namespace {
bool ParseInt(const std::string& s, int* out) {
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || v < 1 || v > 1000000)
        return false;
    *out = static_cast<int>(v);
    return true;
}
} // namespace

bool ParsePlayerArgs(const std::vector<std::string>& args, PlayerArgs* out, std::string* message) {
    *out = PlayerArgs();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* v) {
            if (i + 1 >= args.size()) {
                *message = "missing value for " + a;
                return false;
            }
            *v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--render") {
            out->render = true;
            if (!value(&out->movie))
                return false;
        } else if (a == "--frames") {
            if (!value(&v))
                return false;
            if (!ParseInt(v, &out->frames)) {
                *message = "bad value for --frames: \"" + v + "\"";
                return false;
            }
        } else if (a == "--size") {
            if (!value(&v))
                return false;
            size_t x = v.find_first_of("xX");
            if (x == std::string::npos || !ParseInt(v.substr(0, x), &out->width) ||
                !ParseInt(v.substr(x + 1), &out->height) || out->width > 8192 || out->height > 8192) {
                *message = "bad value for --size: \"" + v + "\"";
                return false;
            }
        } else if (a == "--out") {
            if (!value(&out->outDir))
                return false;
        } else if (a == "--pick") {
            if (!value(&v))
                return false;
            out->pick.clear();
            out->pickAll = v == "all";
            if (v != "all" && v != "last") {
                size_t start = 0;
                while (start <= v.size()) {
                    size_t comma = v.find(',', start);
                    if (comma == std::string::npos)
                        comma = v.size();
                    int frame;
                    if (!ParseInt(v.substr(start, comma - start), &frame)) {
                        *message = "bad value for --pick: \"" + v + "\"";
                        return false;
                    }
                    out->pick.push_back(frame);
                    start = comma + 1;
                }
            }
        } else if (a == "--time") {
            out->time = true;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            *message = "unknown option: \"" + a + "\"";
            return false;
        } else if (out->movie.empty()) {
            out->movie = a;
        } else {
            *message = "more than one movie named: \"" + a + "\"";
            return false;
        }
    }
    if (out->render && out->outDir.empty() && !out->time) {
        *message = "--render needs --out DIR";
        return false;
    }
    return true;
}
