// What the script engine needs of the player: the interface the player
// implements for its display list, its clock, its input and its output.
//
// Ownership. The player owns every display object; the engine refers to one
// only through an opaque ClipRef, which it never dereferences and keeps only
// while the object lives: the player calls mvAvm::ClipRemoved before it frees
// one, and never hands out a ClipRef after that (a new object gets a new
// one). The engine owns every script object, including the one that stands
// for each clip.
//
// Calls from the engine arrive only while the player is inside one of
// mvAvm's functions (mvavm.h), on the same thread. A host function may change
// the display list (GotoFrame places and removes objects) and call back into
// mvAvm for what that entails (RunActions, RunInitActions, QueueActions,
// QueueMethod, CallMethod, ClipCreated, ClipRemoved); it must not call
// RunQueue, Tick, Collect or Release.
//
// Units are those scripts see: pixels, degrees, percent; depths as scripts
// number them (a timeline depth d is script depth d - 16384); frames from 1.
// Text is UTF-8 from version 6 on, the movie's own bytes before.
//
// Functions with a body have a harmless default, so a player can start with
// the required ones (those "= 0") and add the rest as it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avm1 {

using ClipRef = void*;

enum ClipKind { CLIP_MOVIE, CLIP_BUTTON, CLIP_TEXT, CLIP_OTHER };

// The numbers GetProperty and SetProperty use (the movie's property indexes).
enum ClipProperty {
    PROP_X = 0,
    PROP_Y = 1,
    PROP_XSCALE = 2,
    PROP_YSCALE = 3,
    PROP_CURRENTFRAME = 4,
    PROP_TOTALFRAMES = 5,
    PROP_ALPHA = 6,
    PROP_VISIBLE = 7,
    PROP_WIDTH = 8,
    PROP_HEIGHT = 9,
    PROP_ROTATION = 10,
    PROP_TARGET = 11,
    PROP_FRAMESLOADED = 12,
    PROP_NAME = 13,
    PROP_DROPTARGET = 14,
    PROP_URL = 15,
    PROP_HIGHQUALITY = 16,
    PROP_FOCUSRECT = 17,
    PROP_SOUNDBUFTIME = 18,
    PROP_QUALITY = 19,
    PROP_XMOUSE = 20,
    PROP_YMOUSE = 21,
    PROP_COUNT = 22
};

struct ActionCode {
    const uint8_t* code = nullptr;
    size_t size = 0;
};

struct Bounds {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Color.setTransform's record: multipliers in percent, offsets -255..255.
struct ColorTransform {
    double ra = 100, rb = 0, ga = 100, gb = 0, ba = 100, bb = 0, aa = 100, ab = 0;
};

enum DrawOp {
    DRAW_CLEAR,
    DRAW_LINE_STYLE,    // args: thickness (NaN: no line), rgb, alpha
    DRAW_BEGIN_FILL,    // args: rgb, alpha
    DRAW_GRADIENT_FILL, // args: 0 linear / 1 radial, then the matrix a b c d tx ty; stops below
    DRAW_END_FILL,
    DRAW_MOVE_TO, // args: x, y
    DRAW_LINE_TO, // args: x, y
    DRAW_CURVE_TO // args: control x, y, anchor x, y
};

struct GradientStop {
    uint32_t rgb = 0;
    double alpha = 100;
    double ratio = 0;
};

struct DrawCommand {
    DrawOp op = DRAW_CLEAR;
    double args[8] = {};
    std::vector<GradientStop> stops;
};

class Host {
public:
    virtual ~Host() = default;

    // Output. One call per trace action, the text with its "\r" already
    // turned into "\n"; the player writes it and a line end.
    virtual void Trace(const std::string& text) = 0;
    // getURL and loadMovie; method 0 none, 1 GET, 2 POST.
    virtual void GetUrl(const std::string& url, const std::string& target, int method) {
        (void)url, (void)target, (void)method;
    }
    // fscommand(command, args): "quit" and "fullscreen" are the saver's.
    virtual void FsCommand(const std::string& command, const std::string& args) { (void)command, (void)args; }
    // A runaway script was abandoned (too many actions or nested calls).
    virtual void ScriptStopped(const std::string& reason) { (void)reason; }
    virtual void StopSounds() {}
    virtual void ToggleQuality() {}

    // The display tree. Level(0) is the root movie; null for an empty level.
    virtual ClipRef Level(int number) = 0;
    virtual int LevelNumber(ClipRef root) {
        (void)root;
        return 0;
    }
    // Null for a level's root.
    virtual ClipRef Parent(ClipRef clip) = 0;
    // The child of parent with that instance name (the one lowest in depth
    // when several share it); null when none. A named shape may be given:
    // scripts then see the clip it is in.
    virtual ClipRef Child(ClipRef parent, const std::string& name, bool caseSensitive) = 0;
    // Every named child, lowest depth first.
    virtual void Children(ClipRef parent, std::vector<ClipRef>* out) = 0;
    virtual ClipKind Kind(ClipRef clip) = 0;
    virtual std::string Name(ClipRef clip) = 0;
    virtual void SetName(ClipRef clip, const std::string& name) { (void)clip, (void)name; }
    virtual int Depth(ClipRef clip) = 0;

    // Numeric properties (all but PROP_TARGET, PROP_NAME, PROP_DROPTARGET,
    // PROP_URL, PROP_QUALITY, which the engine or the string calls handle).
    virtual double GetProperty(ClipRef clip, int property) = 0;
    virtual void SetProperty(ClipRef clip, int property, double value) = 0;
    virtual std::string GetStringProperty(ClipRef clip, int property) {
        (void)clip;
        return property == PROP_QUALITY ? "HIGH" : "";
    }
    virtual void SetStringProperty(ClipRef clip, int property, const std::string& value) {
        (void)clip, (void)property, (void)value;
    }

    // Timelines. GotoFrame runs the target frame's placement tags at once
    // and hands its frame actions to mvAvm::QueueActions; frames outside
    // 1..total are the host's to clamp or ignore.
    virtual void GotoFrame(ClipRef clip, int frame, bool play) = 0;
    // The frame with that label (case-blind), 0 when none.
    virtual int FrameOfLabel(ClipRef clip, const std::string& label) = 0;
    virtual void SetPlaying(ClipRef clip, bool playing) = 0;
    // The frame action blocks of a frame, for the Call action; none by default.
    virtual void FrameActions(ClipRef clip, int frame, std::vector<ActionCode>* out) { (void)clip, (void)frame, (void)out; }

    // Display list changes asked by scripts; each new clip is announced
    // through mvAvm::ClipCreated before the call returns. Null on failure.
    virtual ClipRef DuplicateClip(ClipRef clip, const std::string& name, int depth) {
        (void)clip, (void)name, (void)depth;
        return nullptr;
    }
    // exportName compares case-blind with the movie's export names.
    virtual ClipRef AttachClip(ClipRef parent, const std::string& exportName, const std::string& name, int depth) {
        (void)parent, (void)exportName, (void)name, (void)depth;
        return nullptr;
    }
    virtual ClipRef CreateEmptyClip(ClipRef parent, const std::string& name, int depth) {
        (void)parent, (void)name, (void)depth;
        return nullptr;
    }
    virtual ClipRef CreateTextField(ClipRef parent, const std::string& name, int depth, const Bounds& box) {
        (void)parent, (void)name, (void)depth, (void)box;
        return nullptr;
    }
    virtual bool RemoveClip(ClipRef clip) {
        (void)clip;
        return false;
    }
    // Moves clip to depth, swapping with whatever is there.
    virtual bool SwapDepths(ClipRef clip, int depth) {
        (void)clip, (void)depth;
        return false;
    }
    virtual ClipRef ClipAtDepth(ClipRef parent, int depth) {
        (void)parent, (void)depth;
        return nullptr;
    }
    virtual int NextHighestDepth(ClipRef parent) {
        (void)parent;
        return 0;
    }

    // Geometry, in the coordinates of space (null: the stage).
    virtual Bounds GetBounds(ClipRef clip, ClipRef space) {
        (void)clip, (void)space;
        return Bounds();
    }
    // x, y on the stage.
    virtual bool HitTestPoint(ClipRef clip, double x, double y, bool shapeOnly) {
        (void)clip, (void)x, (void)y, (void)shapeOnly;
        return false;
    }
    virtual void LocalToGlobal(ClipRef clip, double* x, double* y) { (void)clip, (void)x, (void)y; }
    virtual void GlobalToLocal(ClipRef clip, double* x, double* y) { (void)clip, (void)x, (void)y; }
    virtual void StartDrag(ClipRef clip, bool lockCenter, const Bounds* limits) {
        (void)clip, (void)lockCenter, (void)limits;
    }
    virtual void StopDrag() {}

    virtual void Draw(ClipRef clip, const DrawCommand& command) { (void)clip, (void)command; }
    virtual ColorTransform GetColorTransform(ClipRef clip) {
        (void)clip;
        return ColorTransform();
    }
    virtual void SetColorTransform(ClipRef clip, const ColorTransform& transform) { (void)clip, (void)transform; }

    // Text fields: "text", "htmlText", "textColor", "variable", ... as text;
    // false for a property the host does not keep.
    virtual bool GetTextProperty(ClipRef field, const std::string& name, std::string* value) {
        (void)field, (void)name, (void)value;
        return false;
    }
    virtual bool SetTextProperty(ClipRef field, const std::string& name, const std::string& value) {
        (void)field, (void)name, (void)value;
        return false;
    }

    // Input and stage.
    virtual bool IsKeyDown(int keyCode) {
        (void)keyCode;
        return false;
    }
    virtual void MousePosition(double* x, double* y) { *x = *y = 0; }
    virtual void ShowMouse(bool visible) { (void)visible; }
    virtual double StageWidth() { return 550; }
    virtual double StageHeight() { return 400; }

    // Clocks: milliseconds since the movie started (getTimer, intervals),
    // milliseconds since 1970 UTC, and the local zone's offset from UTC in
    // minutes at a moment (east positive).
    virtual double TimerMs() = 0;
    virtual double NowMs();
    virtual double LocalOffsetMinutes(double utcMs);
};

} // namespace avm1
