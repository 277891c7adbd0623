#include "framework/cmdline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum class Owner { None, Named, Foreground };

struct Case {
    const char* text; // "%h" stands for the handle of a live window, "%d" for a dead one
    int mode;
    Owner window;
};

const Case kCases[] = {
    {"", MODE_CONFIGURE, Owner::None},
    {"   ", MODE_CONFIGURE, Owner::None},
    {"/s", MODE_SAVER, Owner::None},
    {"-S", MODE_SAVER, Owner::None},
    {"s", MODE_SAVER, Owner::None},
    {"  /s", MODE_SAVER, Owner::None},
    {"/Screen", MODE_SAVER, Owner::None},
    {"/p %h", MODE_PREVIEW, Owner::Named},
    {"/P:%h", MODE_PREVIEW, Owner::Named},
    {"-l %h", MODE_PREVIEW, Owner::Named},
    {"/p:   %h", MODE_PREVIEW, Owner::Named},
    {"/p\t%h", MODE_PREVIEW, Owner::Named},
    {"/p", MODE_PREVIEW, Owner::None},
    {"/p %d", MODE_PREVIEW, Owner::None},
    {"/p ::%h", MODE_PREVIEW, Owner::None},
    {"/c", MODE_CONFIGURE, Owner::Foreground},
    {"/c:%h", MODE_CONFIGURE, Owner::Foreground},
    {"/a %h", MODE_SET_PASSWORD, Owner::Named},
    {"/a %d", MODE_SET_PASSWORD, Owner::None},
    {"//s", MODE_CONFIGURE, Owner::None},
    {"\t/s", MODE_CONFIGURE, Owner::None},
    {"/x", MODE_CONFIGURE, Owner::None},
    {"/b", MODE_CONFIGURE, Owner::None},
    {"/?", MODE_CONFIGURE, Owner::None},
};

HWND MakeWindow() {
    return CreateWindowExA(0, "STATIC", "named", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

std::string Expand(const char* text, HWND live, HWND dead) {
    std::string out = text;
    auto put = [&](const char* token, HWND window) {
        size_t at = out.find(token);
        if (at != std::string::npos)
            out.replace(at, 2, std::to_string(reinterpret_cast<LONG_PTR>(window)));
    };
    put("%h", live);
    put("%d", dead);
    return out;
}

TEST(CommandLine, Grammar) {
    HWND live = MakeWindow();
    HWND dead = MakeWindow();
    DestroyWindow(dead);
    ASSERT_TRUE(IsWindow(live));
    ASSERT_FALSE(IsWindow(dead));

    for (const Case& c : kCases) {
        std::string text = Expand(c.text, live, dead);
        SCOPED_TRACE("command line \"" + text + "\"");
        SaverArgs args;
        args.window = reinterpret_cast<HWND>(1); // must be overwritten
        HWND foreground = GetForegroundWindow();
        EXPECT_EQ(ParseCommandLine(text.c_str(), &args), c.mode);
        EXPECT_EQ(args.mode, c.mode);
        EXPECT_EQ(args.foreground, foreground);
        HWND expected = c.window == Owner::Named ? live : c.window == Owner::Foreground ? foreground : nullptr;
        EXPECT_EQ(args.window, expected);
    }
    DestroyWindow(live);
}

TEST(CommandLine, WindowHandleSkipsOneColonThenWhiteSpace) {
    HWND live = MakeWindow();
    std::string number = std::to_string(reinterpret_cast<LONG_PTR>(live));
    EXPECT_EQ(ParseWindowHandle((":" + number).c_str()), live);
    EXPECT_EQ(ParseWindowHandle((": \t\r\n\v\f" + number).c_str()), live);
    EXPECT_EQ(ParseWindowHandle((number + "xyz").c_str()), live);
    EXPECT_EQ(ParseWindowHandle(("::" + number).c_str()), nullptr);
    EXPECT_EQ(ParseWindowHandle(""), nullptr);
    EXPECT_EQ(ParseWindowHandle("abc"), nullptr);
    DestroyWindow(live);
}

} // namespace
