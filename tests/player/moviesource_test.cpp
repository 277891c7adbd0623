#include "player/cmdargs.h"
#include "player/moviesource.h"

#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

std::string Tail(uint32_t magic, uint32_t length) {
    std::string t(8, '\0');
    for (int i = 0; i < 4; ++i) {
        t[i] = static_cast<char>(magic >> (8 * i));
        t[4 + i] = static_cast<char>(length >> (8 * i));
    }
    return t;
}

TEST(Projector, TheMovieBeforeTheTailIsFound) {
    std::string dir = ScratchDir("projector");
    std::string movie = "FWS\x06movie-bytes";
    std::string path = dir + "\\p.exe";
    ASSERT_TRUE(WriteFileBytes(path, "MZprogram" + movie + Tail(PROJECTOR_MAGIC, static_cast<uint32_t>(movie.size()))));
    std::vector<uint8_t> out;
    ASSERT_EQ(ReadProjectorMovie(path.c_str(), &out), MOVIE_FOUND);
    EXPECT_EQ(std::string(out.begin(), out.end()), movie);
}

TEST(Projector, ALengthThatDoesNotFitIsADamagedProjector) {
    std::string dir = ScratchDir("projector-bad");
    struct Case {
        std::string bytes;
        int code;
    } cases[] = {
        {"MZprogram" + Tail(PROJECTOR_MAGIC, 1000), MOVIE_DAMAGED_PROJECTOR},
        {"MZ" + Tail(PROJECTOR_MAGIC, 0xFFFFFFFFu), MOVIE_DAMAGED_PROJECTOR},
        {"MZ" + Tail(PROJECTOR_MAGIC, 0), MOVIE_DAMAGED_PROJECTOR},
        {"MZprogram without any movie", MOVIE_NONE},
        {"MZ", MOVIE_NONE},
    };
    for (const Case& c : cases) {
        std::string path = dir + "\\p.exe";
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        std::vector<uint8_t> out;
        EXPECT_EQ(ReadProjectorMovie(path.c_str(), &out), c.code);
        EXPECT_TRUE(out.empty());
    }
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadProjectorMovie((dir + "\\missing.exe").c_str(), &out), MOVIE_CANNOT_OPEN);
}

TEST(PlayerConfig, PairsAreSplitAndDecoded) {
    ConfigPairs pairs;
    ParseQuery("SS_Mode=S&SS_Sound=1&SS_RunCount=3&greeting=hello+big%20world%21&empty=&flag&=x&bad=%zz%4", &pairs);
    ConfigPairs expected = {{"SS_Mode", "S"},          {"SS_Sound", "1"}, {"SS_RunCount", "3"},
                            {"greeting", "hello big world!"}, {"empty", ""},     {"flag", ""},
                            {"bad", "%zz%4"}};
    EXPECT_EQ(pairs, expected);

    std::string dir = ScratchDir("config");
    ASSERT_TRUE(WriteFileBytes(dir + "\\Movie.cfg", "SS_Mode=P&SS_Sound=2&SS_RunCount=1&name=a%26b"));
    ConfigPairs read;
    ASSERT_TRUE(ReadPlayerConfig((dir + "\\Movie.cfg").c_str(), &read));
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[3], std::make_pair(std::string("name"), std::string("a&b")));
    EXPECT_FALSE(ReadPlayerConfig((dir + "\\None.cfg").c_str(), &read));
}

TEST(CommandLine, RenderOptionsAndTheirErrors) {
    PlayerArgs a;
    std::string message;
    ASSERT_TRUE(ParsePlayerArgs(SplitCommandLine("--render \"my movie.swf\" --frames 12 --size 320x240 --out out --pick 2,5"),
                                &a, &message));
    EXPECT_TRUE(a.render);
    EXPECT_EQ(a.movie, "my movie.swf");
    EXPECT_EQ(a.frames, 12);
    EXPECT_EQ(a.width, 320);
    EXPECT_EQ(a.height, 240);
    EXPECT_EQ(a.pick, (std::vector<int>{2, 5}));
    const char* bad[] = {"--render m.swf --frames 0 --out o", "--render m.swf --size 10 --out o", "--render m.swf",
                         "--render m.swf --out o --pick 1,x", "--bogus", "a.swf b.swf", "--render"};
    for (const char* line : bad) {
        EXPECT_FALSE(ParsePlayerArgs(SplitCommandLine(line), &a, &message)) << line;
        EXPECT_FALSE(message.empty());
    }
    // Started with no command line, the unquoted program path (with a blank) stands alone.
    EXPECT_STREQ(SkipProgramName("C:\\My Saver\\Movie.dat", "C:\\My Saver\\Movie.dat"), "");
    EXPECT_STREQ(SkipProgramName("\"C:\\a b\\p.exe\" x.swf", "C:\\a b\\p.exe"), " x.swf");
}

} // namespace
