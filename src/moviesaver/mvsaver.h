// mvSaver: the movie saver window. On every tick it keeps the player running,
// starting it again with a fresh query string whenever it has ended, so the
// movie repeats for as long as the saver runs. User input ends the run and
// stops the movie, hands the running movie over to the user, or opens the
// [Execute] command. The preview shows the player or the module's icon.
#pragma once

#include "moviesaver/mvbackground.h"
#include "moviesaver/mvpak.h"
#include "saver/csaver.h"

class mvSaver : public CSAVER {
public:
    mvPak pak;
    BOOL handOver = 0;         // input asked to hand the movie over; stays set
    BOOL executeRequested = 0; // the [Execute] key was pressed; stays set
    char failureText[512] = "Error loading screensaver.";
    mvBackground background;
    int runCount = 1;   // given to the next player start
    char query[1024] = ""; // query string of the latest start

    mvSaver();

    LRESULT OnActivateApp(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSysKeyDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override;

    void OnStart() override;
    void OnTick(HDC dc) override;
    void OnDraw(HDC dc) override;
    void OnClosing(HDC dc) override;
    void InitPalette() override;
    void DeletePalette() override;
    void RestorePalette(HDC dc, HPALETTE previous) override;
    int RealizeWindowPalette() override;
    HPALETTE SelectWindowPalette(HDC dc) override;
    int RealizeDcPalette(HDC dc) override;

    HWND CreateBackground();
    void BuildQuery();
    void RunCommand(const char* command);
    bool ReleaseScreenForCommand();
    void ShowFailure(const char* text);
    bool IsHandOverKey(DWORD code) const;

private:
    bool Responsive() const { return mode == MODE_SAVER && !verifying && !closing; }
    bool Flag(DWORD bit) const { return (pak.trailer.interactiveFlags & bit) != 0; }
    // Step 3 of a key: the hand-over decision and the key for the player.
    void OfferKeyToPlayer(WPARAM code, LPARAM keyData, DWORD listCode);
    void MouseAction();
};
