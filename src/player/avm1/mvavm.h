// mvAvm: the action-script virtual machine of the movie player (the actions
// of movies up to version 8 and their built-in objects), as the player drives
// it. The player implements avm1::Host (host.h) for its display list.
//
// Life: Init with the host and the root movie's version; Release frees every
// script object and is safe to call twice (and on a machine never set up).
// Nothing throws; a damaged action block ends where it stops making sense.
//
// The player's frame, in order (the stand-in player of the tests,
// tests/player/avm1/fakeplayer.cpp, is a worked example):
//   1. Before the first frame: SetVariables with the ".cfg" query string, so
//      its names exist on _level0 when the first frame's scripts run.
//   2. Advance the timelines (newest clip first). When a frame places a clip
//      (sprite, text field, button): run its onClipEvent(initialize) code
//      with RunActions; queue its load event (QueueActions with its
//      onClipEvent(load) code, then QueueMethod(clip, "onLoad")); enter its
//      first frame; once the outermost placement is done, run its
//      onClipEvent(construct) code and call ClipCreated (registered classes
//      construct it then). When a frame removes a clip: for it and each
//      descendant, children first, run onClipEvent(unload) code and
//      CallMethod(clip, "onUnload"), then ClipRemoved. A frame's
//      DoInitAction blocks go to RunInitActions the first time the frame is
//      reached; its DoAction blocks to QueueActions, in tag order.
//   3. For every clip that was there before the frame: its
//      onClipEvent(enterFrame) code with RunActions, then
//      CallMethod(clip, "onEnterFrame").
//   4. RunQueue: runs every queued block in order, with the blocks queued
//      meanwhile (a gotoAndPlay to a frame with actions queues them). The
//      blocks of a frame share one stack, as in the players: what one
//      leaves there the next may take; RunQueue empties it at the end.
//   5. Tick: calls the setInterval and setTimeout callbacks that are due by
//      Host::TimerMs (then RunQueue again for what they queued).
//   6. Collect: frees the script objects nothing can reach any more.
// Input: KeyEvent and MouseEvent reach the Key and Mouse listeners; clip
// handlers such as onPress are CallMethod calls of the player.
// A script's fscommand("quit") and fscommand("fullscreen", "true") arrive as
// Host::FsCommand; what to do with them is the player's.
//
// Runaway scripts: one entry (each RunQueue block, RunActions, CallMethod,
// callback) may perform at most DefaultActionLimit actions (SetActionLimit
// changes that) and MaxCallDepth nested calls; past that the entry is
// abandoned, Host::ScriptStopped hears why, and the movie goes on. One
// RunQueue spends at most four entries' worth of actions: blocks that keep
// going to frames with scripts (and so queueing more) are dropped past that.
// The deepest calls allowed need about 1 MB of the thread's stack.
#pragma once

#include "player/avm1/host.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace avm1 {
class Runtime;
}

class mvAvm {
public:
    static const unsigned DefaultActionLimit = 1000000;
    static const int MaxCallDepth = 256;

    mvAvm() = default;
    ~mvAvm();
    mvAvm(const mvAvm&) = delete;
    mvAvm& operator=(const mvAvm&) = delete;

    // host must outlive the machine. False when out of memory.
    bool Init(avm1::Host* host, int swfVersion);
    void Release();
    bool IsReady() const { return runtime_ != nullptr; }

    // "name=value&name=value" with %XX and "+" escapes, each set on _level0.
    void SetVariables(const std::string& query);
    // Sets or reads a variable of a clip's timeline (a path such as "a.b"
    // or "/a:b" is resolved from that clip). GetVariable is false when it does
    // not exist; the value comes as the script would print it.
    void SetVariable(avm1::ClipRef clip, const std::string& name, const std::string& value);
    bool GetVariable(avm1::ClipRef clip, const std::string& name, std::string* value);

    // Action blocks, run with clip as their timeline. The bytes are copied.
    void QueueActions(avm1::ClipRef clip, const uint8_t* code, size_t size);
    // Queues a call of clip[name]() (an onLoad, say) behind the blocks queued so far.
    void QueueMethod(avm1::ClipRef clip, const std::string& name);
    void RunQueue();
    void RunInitActions(avm1::ClipRef clip, const uint8_t* code, size_t size);
    void RunActions(avm1::ClipRef clip, const uint8_t* code, size_t size);

    // A clip is on the display list: exportName is its symbol's linkage name
    // ("" when none), for the classes scripts register with
    // Object.registerClass; their constructor runs now. Inside attachMovie
    // and duplicateMovieClip the init object's properties are copied first.
    void ClipCreated(avm1::ClipRef clip, const std::string& exportName);
    // A clip leaves (call it for the clip and each of its descendants, after
    // their onUnload handlers): references to it become dangling (they find
    // a later clip of the same path, as the players do) and its queued
    // blocks are dropped.
    void ClipRemoved(avm1::ClipRef clip);
    // Calls clip[name]() when it is a function; false when there is none.
    bool CallMethod(avm1::ClipRef clip, const std::string& name);
    bool HasMethod(avm1::ClipRef clip, const std::string& name);

    // down: onKeyDown / onKeyUp of the Key listeners; code and ascii are
    // what Key.getCode and Key.getAscii return afterwards.
    void KeyEvent(bool down, int keyCode, int ascii);
    // "onMouseDown", "onMouseUp", "onMouseMove" of the Mouse listeners.
    void MouseEvent(const std::string& name);

    void Tick();
    void Collect();

    void SetActionLimit(unsigned actions);
    int Version() const;
    // Script objects alive (reachable or not yet collected), for tests and benchmarks.
    size_t ObjectCount() const;

private:
    avm1::Runtime* runtime_ = nullptr;
};
