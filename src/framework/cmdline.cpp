#include "framework/cmdline.h"

#include <cctype>
#include <cstdlib>

int ParseCommandLine(const char* text, SaverArgs* args) {
    args->foreground = GetForegroundWindow();
    if (!text)
        text = "";
    // Only blanks are skipped: a tab before the switch selects the dialog.
    while (*text == ' ')
        ++text;
    if (*text == '-' || *text == '/')
        ++text;
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
    const char* rest = *text ? text + 1 : text;
    switch (letter) {
    case 'S':
        args->mode = MODE_SAVER;
        args->window = nullptr;
        break;
    case 'P':
    case 'L':
        args->mode = MODE_PREVIEW;
        args->window = ParseWindowHandle(rest);
        break;
    case 'C':
        // Any handle number after C is ignored by design.
        args->mode = MODE_CONFIGURE;
        args->window = GetForegroundWindow();
        break;
    case 'A':
        args->mode = MODE_SET_PASSWORD;
        args->window = ParseWindowHandle(rest);
        break;
    default:
        args->mode = MODE_CONFIGURE;
        args->window = nullptr;
        break;
    }
    return args->mode;
}

HWND ParseWindowHandle(const char* text) {
    if (*text == ':')
        ++text;
    while (isspace(static_cast<unsigned char>(*text)))
        ++text;
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(atol(text)));
    return IsWindow(window) ? window : nullptr;
}
