// mvBackground: the black full-screen window beneath the saver and the
// player that hides the desktop around and before the player's window.
#pragma once

#include "framework/cwin.h"

class mvBackground : public CWIN {
public:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam) override;
};

extern const char BACKGROUND_CLASS[];
