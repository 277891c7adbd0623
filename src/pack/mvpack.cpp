// mvpack: makes a packaged screen saver (module, preview picture, player and
// trailer in one .scr) and describes one.
//
//   mvpack build --module MovieSaver.scr --player Player.exe [--movie movie.swf]
//                [--picture preview.bmp] [--settings saver.ini] [--replace] -o Out.scr
//   mvpack info Out.scr
//
// Bad input gets one line on stderr naming the file and a nonzero exit; the
// output is never half-written and never replaces an input.
#include "moviesaver/settingsfile.h"
#include "packfiles.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

enum Exit { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

const char kUsage[] =
    "usage: mvpack build --module MODULE.scr --player PLAYER.exe [--movie MOVIE.swf]\n"
    "                    [--picture PICTURE.bmp] [--settings SETTINGS.ini] [--replace] -o OUTPUT.scr\n"
    "       mvpack info FILE.scr\n"
    "       mvpack --help\n"
    "\n"
    "build    writes OUTPUT.scr: the module, the preview picture, the player and the trailer.\n"
    "         With --movie the player becomes a projector that carries the movie.\n"
    "         --settings takes [Settings], [Timesink], [Interactive] and [Execute] of an INI file.\n"
    "         --replace cuts an earlier package off the module first.\n"
    "info     prints every trailer field and where each item lies; exits with 1 when FILE has\n"
    "         no package.\n";

int Fail(const std::string& file, const std::string& why) {
    fprintf(stderr, "mvpack: %s: %s\n", file.c_str(), why.c_str());
    return EXIT_FAILED;
}

int Usage(const std::string& why) {
    fprintf(stderr, "mvpack: %s\n%s", why.c_str(), kUsage);
    return EXIT_USAGE;
}

std::string KeyText(DWORD code) {
    if (code == 0)
        return "none";
    char text[32];
    for (int i = 0; i < KeyNameCount; ++i) {
        if (KeyNameTable[i].code == code) {
            snprintf(text, sizeof text, "0x%02lX %s", static_cast<unsigned long>(code), KeyNameTable[i].name);
            return text;
        }
    }
    if (code >= 0x21 && code < 0x7F)
        snprintf(text, sizeof text, "0x%02lX %c", static_cast<unsigned long>(code), static_cast<char>(code));
    else
        snprintf(text, sizeof text, "0x%02lX", static_cast<unsigned long>(code));
    return text;
}

std::string FlagText(DWORD bits, const std::vector<std::pair<DWORD, const char*>>& names) {
    char hex[16];
    snprintf(hex, sizeof hex, "0x%02lX", static_cast<unsigned long>(bits));
    std::string text = hex;
    for (const auto& [bit, name] : names) {
        if (bits & bit)
            text += std::string(" ") + name;
    }
    return text;
}

std::string Quoted(const char* field, size_t size) { return "\"" + std::string(field, strnlen(field, size)) + "\""; }

int Info(const std::string& path) {
    Bytes file;
    if (!file.Read(path))
        return Fail(path, "cannot read the file");
    mvTrailer t;
    PackageState state = ReadTrailer(file.data, &t);
    if (state == PackageState::None) {
        fprintf(stdout, "%s: no package\n", path.c_str());
        return EXIT_FAILED;
    }
    if (state == PackageState::Damaged) {
        fprintf(stdout, "%s: damaged package (the trailer's offsets contradict the file)\n", path.c_str());
        return EXIT_FAILED;
    }
    const DWORD trailerAt = t.playerEnd;
    const DWORD moduleEnd = t.pictureOffset ? t.pictureOffset : t.playerOffset;
    printf("%s: packaged saver\n", path.c_str());
    printf("  magic             MVP2\n");
    printf("  flags             %s\n", FlagText(t.flags, {{FLAG_EXTERNAL, "External"},
                                                           {FLAG_FORCE_MAXIMIZE, "ForceMaximize"},
                                                           {FLAG_RUN_PREVIEW, "RunPreview"},
                                                           {FLAG_TWO_WAY_SOUND, "TwoWaySound"},
                                                           {FLAG_THREE_WAY_SOUND, "ThreeWaySound"}})
                                            .c_str());
    printf("  pictureOffset     %lu\n", static_cast<unsigned long>(t.pictureOffset));
    printf("  playerOffset      %lu\n", static_cast<unsigned long>(t.playerOffset));
    printf("  playerEnd         %lu\n", static_cast<unsigned long>(t.playerEnd));
    printf("  adFlags           %s\n",
           FlagText(t.adFlags, {{AD_DISPLAY_ADS, "DisplayAds"}, {AD_REQUIRED, "Required"}, {AD_ADS_FIRST, "AdsFirst"}})
               .c_str());
    printf("  appName           %s\n", Quoted(t.appName, sizeof t.appName).c_str());
    printf("  interactiveFlags  %s\n",
           FlagText(t.interactiveFlags, {{INTERACTIVE_ON_MOUSE, "OnMouse"}, {INTERACTIVE_ON_KEY, "OnKey"}}).c_str());
    for (DWORD i = 0; i < TRAILER_KEYS; ++i) {
        if (t.keys[i])
            printf("  Key%-14lu %s\n", static_cast<unsigned long>(i + 1), KeyText(t.keys[i]).c_str());
    }
    printf("  executeKey        %s\n", KeyText(t.executeKey).c_str());
    printf("  command           %s\n", Quoted(t.command, sizeof t.command).c_str());
    printf("items:\n");
    printf("  module   offset %-10lu size %lu\n", 0UL, static_cast<unsigned long>(moduleEnd));
    if (t.pictureOffset)
        printf("  picture  offset %-10lu size %lu\n", static_cast<unsigned long>(t.pictureOffset),
               static_cast<unsigned long>(t.playerOffset - t.pictureOffset));
    printf("  player   offset %-10lu size %lu\n", static_cast<unsigned long>(t.playerOffset),
           static_cast<unsigned long>(t.playerEnd - t.playerOffset));
    std::string player = file.data.substr(t.playerOffset, t.playerEnd - t.playerOffset);
    if (DWORD movie = ProjectorMovieSize(player))
        printf("           a projector carrying a movie of %lu bytes\n", static_cast<unsigned long>(movie));
    printf("  trailer  offset %-10lu size %lu\n", static_cast<unsigned long>(trailerAt),
           static_cast<unsigned long>(TRAILER_SIZE));
    return EXIT_OK;
}

struct BuildArgs {
    std::string module, player, movie, picture, settings, output;
    bool replace = false;
};

// The module's own bytes: a module that already carries a package is cut back
// to its executable with --replace, and refused without it.
int TakeModule(const BuildArgs& a, std::string* module) {
    Bytes file;
    if (!file.Read(a.module))
        return Fail(a.module, "cannot read the file");
    if (!IsWindowsProgram(file.data))
        return Fail(a.module, "not a Windows program");
    mvTrailer t;
    PackageState state = ReadTrailer(file.data, &t);
    if (state != PackageState::None) {
        if (!a.replace)
            return Fail(a.module, "already carries a package (use --replace to cut it off)");
        if (state == PackageState::Damaged)
            return Fail(a.module, "carries a damaged package that cannot be cut off safely");
        file.data.resize(t.pictureOffset ? t.pictureOffset : t.playerOffset);
    }
    // Padding the executable to whole 512-byte blocks keeps the items aligned.
    file.data.resize((file.data.size() + 511) / 512 * 512, '\0');
    *module = std::move(file.data);
    return EXIT_OK;
}

int Build(const BuildArgs& a) {
    const std::vector<std::string> inputs = {a.module, a.player, a.movie, a.picture, a.settings};
    for (const std::string& input : inputs) {
        if (!input.empty() && SameFile(input, a.output))
            return Fail(a.output, "the output would replace one of the inputs");
    }

    std::string module;
    if (int failed = TakeModule(a, &module))
        return failed;

    Bytes player;
    if (!player.Read(a.player))
        return Fail(a.player, "cannot read the file");
    if (!IsWindowsProgram(player.data))
        return Fail(a.player, "not a Windows program");
    if (!a.movie.empty()) {
        Bytes movie;
        if (!movie.Read(a.movie))
            return Fail(a.movie, "cannot read the file");
        if (!IsMovie(movie.data))
            return Fail(a.movie, "not an SWF movie");
        player.data = MakeProjector(player.data, movie.data);
    }

    Bytes picture;
    if (!a.picture.empty()) {
        if (!picture.Read(a.picture))
            return Fail(a.picture, "cannot read the file");
        size_t readSize = 0;
        std::string why = CheckPicture(a.picture, picture.data, &readSize);
        if (!why.empty())
            return Fail(a.picture, why);
        // The reader fills pixels cut short with zeros when it reads the file
        // alone; in the package it would take the player's bytes for them.
        if (picture.data.size() < readSize)
            picture.data.resize(readSize, '\0');
    }

    mvTrailer t = {};
    memcpy(t.magic, TRAILER_MAGIC, sizeof t.magic);
    if (!a.settings.empty()) {
        std::string ini = FullPath(a.settings); // a bare name would be looked up in the Windows folder
        if (GetFileAttributesA(ini.c_str()) == INVALID_FILE_ATTRIBUTES)
            return Fail(a.settings, "cannot read the file");
        ReadSettingsSections(&t, ini.c_str(), a.output.c_str());
    } else {
        SetDefaultAppName(&t, a.output.c_str());
    }

    const size_t total = module.size() + picture.data.size() + player.data.size() + TRAILER_SIZE;
    if (total > 0x7FFFFFFF)
        return Fail(a.output, "the package would be larger than 2 GB");
    t.pictureOffset = picture.data.empty() ? 0 : static_cast<DWORD>(module.size());
    t.playerOffset = static_cast<DWORD>(module.size() + picture.data.size());
    t.playerEnd = static_cast<DWORD>(t.playerOffset + player.data.size());

    std::string out;
    out.reserve(total);
    out += module;
    out += picture.data;
    out += player.data;
    out.append(reinterpret_cast<const char*>(&t), TRAILER_SIZE);
    std::string why = ReplaceFile(a.output, out);
    if (!why.empty())
        return Fail(a.output, why);
    return EXIT_OK;
}

int ParseBuild(int argc, char** argv) {
    BuildArgs a;
    std::map<std::string, std::string*> values = {
        {"--module", &a.module},     {"--player", &a.player},     {"--movie", &a.movie},
        {"--picture", &a.picture},   {"--settings", &a.settings}, {"-o", &a.output},
        {"--output", &a.output},
    };
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--replace") {
            a.replace = true;
            continue;
        }
        auto it = values.find(arg);
        if (it == values.end())
            return Usage("unknown option \"" + arg + "\"");
        if (i + 1 >= argc)
            return Usage("option " + arg + " needs a value");
        *it->second = argv[++i];
    }
    if (a.module.empty())
        return Usage("build needs --module");
    if (a.player.empty())
        return Usage("build needs --player");
    if (a.output.empty())
        return Usage("build needs -o OUTPUT");
    return Build(a);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage("no command given");
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        fputs(kUsage, stdout);
        return EXIT_OK;
    }
    if (command == "build")
        return ParseBuild(argc, argv);
    if (command == "info") {
        if (argc != 3)
            return Usage("info needs exactly one file");
        return Info(argv[2]);
    }
    return Usage("unknown command \"" + command + "\"");
}
