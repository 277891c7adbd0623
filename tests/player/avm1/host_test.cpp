// What reaches the host: configuration variables, fscommand and getURL,
// display properties and paths, clip references, the machine's life.
#include "assembler.h"
#include "fakeplayer.h"
#include "swfbuilder.h"

#include <gtest/gtest.h>

namespace {

using namespace swftest;

class RecordingPlayer : public FakePlayer {
public:
    std::vector<std::string> commands;
    std::vector<std::string> urls;
    void FsCommand(const std::string& command, const std::string& args) override {
        commands.push_back(command + "|" + args);
        FakePlayer::FsCommand(command, args);
    }
    void GetUrl(const std::string& url, const std::string& target, int method) override {
        urls.push_back(url + "|" + target + "|" + std::to_string(method));
    }
    std::vector<std::string> stops;
    void ScriptStopped(const std::string& reason) override { stops.push_back(reason); }
};

TestMovie OneFrame(const Assembler& a, int version = 8) {
    TestMovie movie;
    movie.version = version;
    movie.frames.push_back(a.Bytes());
    return movie;
}

TEST(Avm1Host, ConfigurationVariablesExistBeforeTheFirstFrame) {
    Assembler a;
    a.GetVariable("SS_Mode").Trace().GetVariable("SS_RunCount").Trace().GetVariable("greeting").Trace();
    a.GetVariable("_root.SS_Sound").Trace();
    FakePlayer player;
    std::string error;
    ASSERT_TRUE(player.Load(BuildSwf(OneFrame(a)), &error)) << error;
    player.Machine().SetVariables("SS_Mode=S&SS_Sound=0&SS_RunCount=3&greeting=hello+there%21&=ignored&bare");
    player.Run(1);
    EXPECT_EQ(player.Output(), "S\n3\nhello there!\n0\n");
}

TEST(Avm1Host, FsCommandsReachTheHostAndQuitEndsTheMovie) {
    Assembler a;
    a.GetUrl("FSCommand:fullscreen", "true").GetUrl("fscommand:quit", "");
    // The stack form (GetURL2), as fscommand() with expressions compiles.
    a.Push("FSCommand:").Push("trapallkeys").Op(ACT_STRING_ADD).Push("false").Record(ACT_GET_URL2, {0});
    a.GetUrl("http://example.com/", "_blank");
    TestMovie movie = OneFrame(a);
    movie.frames.push_back(Assembler().Trace("frame 2").Bytes());
    RecordingPlayer player;
    std::string error;
    ASSERT_TRUE(player.Load(BuildSwf(movie), &error)) << error;
    player.Run(2);
    std::vector<std::string> expected = {"fullscreen|true", "quit|", "trapallkeys|false"};
    EXPECT_EQ(player.commands, expected);
    EXPECT_EQ(player.urls, std::vector<std::string>{"http://example.com/|_blank|0"});
    EXPECT_TRUE(player.Quit());
    EXPECT_EQ(player.Output(), "");
}

// A movie with a sprite (id 1, exported as "box") placed as "clip".
TestMovie WithClip(const Assembler& script, int version = 8) {
    TestMovie movie;
    movie.version = version;
    TestSprite sprite;
    sprite.id = 1;
    sprite.exportName = "box";
    sprite.frames.push_back({});
    sprite.frames.push_back({});
    movie.sprites.push_back(sprite);
    movie.placements.push_back({1, 1, 1, "clip"});
    movie.frames.push_back(script.Bytes());
    return movie;
}

TEST(Avm1Host, DisplayPropertiesAndPaths) {
    Assembler a;
    a.GetVariable("clip").Push("_x").Push(12.5).Op(ACT_SET_MEMBER);
    a.Push("/clip").Push(0.0).Op(ACT_GET_PROPERTY).Trace();   // _x through GetProperty
    a.GetVariable("_root.clip._x").Trace();
    a.GetVariable("/clip:_totalframes").Trace();
    a.GetVariable("clip").Push("_target").Op(ACT_GET_MEMBER).Trace();
    a.GetVariable("clip").Trace();
    a.GetVariable("clip").Op(ACT_TYPE_OF).Trace();
    a.GetVariable("clip._parent").Trace();
    // tellTarget("clip") { _y = 3 }
    a.Record(ACT_SET_TARGET, {'c', 'l', 'i', 'p', 0}).Push("_y").Push(3.0).Op(ACT_SET_VARIABLE);
    a.Record(ACT_SET_TARGET, {0}).GetVariable("clip._y").Trace();
    EXPECT_EQ(RunMovie(WithClip(a), 1), "12.5\n12.5\n2\n/clip\n_level0.clip\nmovieclip\n_level0\n3\n");
}

TEST(Avm1Host, AReferenceToARemovedClipFindsTheNextOfItsPath) {
    Assembler a;
    // r = attachMovie("box", "made", 5); r.v = 1; r.removeMovieClip(); trace(r._name)
    a.Push("r");
    a.Push(5.0).Push("made").Push("box").Push(3.0).GetVariable("_root").Push("attachMovie").Op(ACT_CALL_METHOD);
    a.Op(ACT_SET_VARIABLE);
    a.GetVariable("r").Push("v").Push(1.0).Op(ACT_SET_MEMBER);
    a.Push(0.0).GetVariable("r").Push("removeMovieClip").Op(ACT_CALL_METHOD).Op(ACT_POP);
    a.GetVariable("r").Push("_name").Op(ACT_GET_MEMBER).Trace();
    a.GetVariable("r").Op(ACT_TYPE_OF).Trace();
    // A new clip of the same name: the old reference reaches it, without the old variable.
    a.Push(6.0).Push("made").Push("box").Push(3.0).GetVariable("_root").Push("attachMovie").Op(ACT_CALL_METHOD);
    a.Op(ACT_POP);
    a.GetVariable("r").Push("_name").Op(ACT_GET_MEMBER).Trace();
    a.GetVariable("r").Push("v").Op(ACT_GET_MEMBER).Trace();
    EXPECT_EQ(RunMovie(WithClip(a), 1), "undefined\nmovieclip\nmade\nundefined\n");
}

TEST(Avm1Host, TimelineActionsDriveTheHost) {
    Assembler a;
    a.Push("clip").Op(ACT_SET_TARGET2).Op(ACT_NEXT_FRAME).Push("").Op(ACT_SET_TARGET2);
    a.GetVariable("clip._currentframe").Trace();
    a.Push(0.0).GetVariable("clip").Push("play").Op(ACT_CALL_METHOD).Op(ACT_POP);
    a.Push(1.0).Push(1.0).GetVariable("clip").Push("gotoAndStop").Op(ACT_CALL_METHOD).Op(ACT_POP);
    a.GetVariable("clip._currentframe").Trace();
    EXPECT_EQ(RunMovie(WithClip(a), 1), "2\n1\n");
}

TEST(Avm1Host, CollectFreesWhatScriptsDropped) {
    Assembler a;
    Assembler::Label loop = a.NewLabel(), done = a.NewLabel();
    a.Push(0.0).StoreRegister(1).Op(ACT_POP);
    a.Bind(loop).PushRegister(1).Push(1000.0).Op(ACT_LESS2).Op(ACT_NOT).If(done);
    a.Push(0.0).Op(ACT_INIT_OBJECT).Op(ACT_POP);
    a.PushRegister(1).Op(ACT_INCREMENT).StoreRegister(1).Op(ACT_POP).Jump(loop).Bind(done);
    a.Push("kept").Push(0.0).Op(ACT_INIT_OBJECT).Op(ACT_SET_VARIABLE);
    FakePlayer player;
    std::string error;
    ASSERT_TRUE(player.Load(BuildSwf(OneFrame(a)), &error)) << error;
    size_t before = player.Machine().ObjectCount();
    player.Run(1); // collects at the end of the frame
    size_t after = player.Machine().ObjectCount();
    EXPECT_LT(after, before + 50);
    EXPECT_GT(after, before);
}

TEST(Avm1Host, ReleaseIsSafeTwiceAndCallsAfterItDoNothing) {
    FakePlayer player;
    std::string error;
    ASSERT_TRUE(player.Load(BuildSwf(OneFrame(Assembler().Trace("x"))), &error)) << error;
    mvAvm& vm = player.Machine();
    vm.Release();
    vm.Release();
    EXPECT_FALSE(vm.IsReady());
    vm.SetVariables("a=1");
    vm.RunQueue();
    vm.Tick();
    vm.Collect();
    EXPECT_FALSE(vm.CallMethod(player.Root(), "onLoad"));
    mvAvm never;
    never.Release();
}

TEST(Avm1Host, AFrameWhoseScriptsKeepQueueingIsCutShort) {
    // Frame 1 goes to frame 2, whose script goes back to frame 1: each
    // queues the other for ever within one frame.
    TestMovie movie;
    movie.frames.push_back(Assembler().GotoFrame(1).Bytes());
    movie.frames.push_back(Assembler().GotoFrame(0).Bytes());
    RecordingPlayer player;
    std::string error;
    ASSERT_TRUE(player.Load(BuildSwf(movie), &error)) << error;
    player.Machine().SetActionLimit(1000);
    player.Run(2);
    EXPECT_FALSE(player.stops.empty());
}

} // namespace
