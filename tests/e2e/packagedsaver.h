// A packaged saver made for one test from the built module and the test
// player, and what the test player recorded in its log.
#pragma once

#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The lines the test player wrote (see tests/fixtures/testplayer.cpp).
struct PlayerLog {
    std::vector<std::string> lines;

    std::vector<std::string> Values(const std::string& prefix) const;
    std::vector<std::string> Cfgs() const; // decoded bytes, one per start
    std::vector<DWORD> Pids() const;
    std::vector<HWND> Windows() const;
    std::vector<unsigned> Keys() const;
    std::string LastState() const;
    int Count(const std::string& line) const;
};

class PackagedSaver {
public:
    // title names the module (title.scr) and so the player's temporary files.
    explicit PackagedSaver(const std::string& title);
    ~PackagedSaver();

    // Packages the module with the player (the test player unless another
    // file is given) and the settings INI text (none when empty); besideIni
    // becomes the settings file beside the module.
    bool Build(const std::string& packageIni, const std::string& besideIni = "", const std::string& player = "");
    bool StartFullScreen();
    bool StartPreview(HWND area);

    PlayerLog Log() const;
    bool WaitForLog(const std::function<bool(const PlayerLog&)>& condition, DWORD timeoutMs = 30000) const;
    // The player's window once the saver has adopted it: a child of parent in
    // the preview, a click-through window over the saver full screen (parent none).
    HWND WaitForAdoptedPlayer(HWND parent, DWORD timeoutMs = 30000) const;
    ::testing::AssertionResult Ended(DWORD timeoutMs = 30000);
    bool PlayerRuns() const;
    void KillPlayers() const;
    std::string IniValue(const char* section, const char* key) const;

    static constexpr POINT kStart = {300, 200};

    std::string title, dir, module, ini;
    std::string temp, dat, cfg, log; // the player's files in the temporary folder
    testsupport::Process saver;
    HWND window = nullptr;
};

HWND MakePreviewArea(int x = 60, int y = 80, int width = 260, int height = 200);
std::string Handle(HWND window);

} // namespace e2e
