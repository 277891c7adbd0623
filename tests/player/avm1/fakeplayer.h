// A headless stand-in for the movie player, for testing the script engine
// on real movies: it plays the timelines of an SwfMovie on a trivial
// display list (names, depths, transforms, bounds, frames) without drawing
// anything, implements avm1::Host for it and collects the trace output.
//
// Each frame it advances every playing timeline (newest clip first), sends
// the enterFrame events, then runs the queued scripts, the intervals and the
// collector. fscommand("quit") ends the run. One FakePlayer plays one movie.
#pragma once

#include "player/avm1/mvavm.h"
#include "swfreader.h"

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

namespace swftest {

struct DisplayObject {
    DisplayObject* parent = nullptr;
    std::string name;
    int depth = 0; // timeline depth; script depth + 16384
    uint16_t character = 0;
    const Character* def = nullptr;
    avm1::ClipKind kind = avm1::CLIP_OTHER;
    std::map<int, std::unique_ptr<DisplayObject>> children;

    const Timeline* timeline = nullptr;
    int currentFrame = 0;
    bool playing = true;
    bool dynamic = false;     // made by a script, not by the timeline
    bool scriptMoved = false; // the timeline no longer moves it
    bool removing = false;    // its unload handlers are running
    uint64_t created = 0;     // creation order
    int placedFrame = 0;      // the frame whose tag placed it (0: made by a script)

    Matrix matrix;
    double xscale = 100, yscale = 100, rotation = 0;
    double alpha = 100;
    bool visible = true;
    avm1::ColorTransform color;
    std::vector<ClipAction> actions;

    std::string text;
    bool hasDrawing = false;
    double drawXMin = 0, drawYMin = 0, drawXMax = 0, drawYMax = 0; // pixels
    double penX = 0, penY = 0;
};

class FakePlayer : public avm1::Host {
public:
    FakePlayer();
    ~FakePlayer() override;

    bool Load(const std::string& swfBytes, std::string* error);
    // Plays frames 1..count (fewer when the movie quits).
    void Run(int frames);
    const std::string& Output() const { return output_; }
    bool Quit() const { return quit_; }
    mvAvm& Machine() { return vm_; }
    DisplayObject* Root() { return root_.get(); }

    // avm1::Host
    void Trace(const std::string& text) override;
    void FsCommand(const std::string& command, const std::string& args) override;
    avm1::ClipRef Level(int number) override;
    avm1::ClipRef Parent(avm1::ClipRef clip) override;
    avm1::ClipRef Child(avm1::ClipRef parent, const std::string& name, bool caseSensitive) override;
    void Children(avm1::ClipRef parent, std::vector<avm1::ClipRef>* out) override;
    avm1::ClipKind Kind(avm1::ClipRef clip) override;
    std::string Name(avm1::ClipRef clip) override;
    void SetName(avm1::ClipRef clip, const std::string& name) override;
    int Depth(avm1::ClipRef clip) override;
    double GetProperty(avm1::ClipRef clip, int property) override;
    void SetProperty(avm1::ClipRef clip, int property, double value) override;
    void GotoFrame(avm1::ClipRef clip, int frame, bool play) override;
    int FrameOfLabel(avm1::ClipRef clip, const std::string& label) override;
    void SetPlaying(avm1::ClipRef clip, bool playing) override;
    void FrameActions(avm1::ClipRef clip, int frame, std::vector<avm1::ActionCode>* out) override;
    avm1::ClipRef DuplicateClip(avm1::ClipRef clip, const std::string& name, int depth) override;
    avm1::ClipRef AttachClip(avm1::ClipRef parent, const std::string& exportName, const std::string& name,
                             int depth) override;
    avm1::ClipRef CreateEmptyClip(avm1::ClipRef parent, const std::string& name, int depth) override;
    avm1::ClipRef CreateTextField(avm1::ClipRef parent, const std::string& name, int depth,
                                  const avm1::Bounds& box) override;
    bool RemoveClip(avm1::ClipRef clip) override;
    bool SwapDepths(avm1::ClipRef clip, int depth) override;
    avm1::ClipRef ClipAtDepth(avm1::ClipRef parent, int depth) override;
    int NextHighestDepth(avm1::ClipRef parent) override;
    avm1::Bounds GetBounds(avm1::ClipRef clip, avm1::ClipRef space) override;
    bool HitTestPoint(avm1::ClipRef clip, double x, double y, bool shapeOnly) override;
    void LocalToGlobal(avm1::ClipRef clip, double* x, double* y) override;
    void GlobalToLocal(avm1::ClipRef clip, double* x, double* y) override;
    void Draw(avm1::ClipRef clip, const avm1::DrawCommand& command) override;
    avm1::ColorTransform GetColorTransform(avm1::ClipRef clip) override;
    void SetColorTransform(avm1::ClipRef clip, const avm1::ColorTransform& transform) override;
    bool GetTextProperty(avm1::ClipRef field, const std::string& name, std::string* value) override;
    bool SetTextProperty(avm1::ClipRef field, const std::string& name, const std::string& value) override;
    double StageWidth() override { return movie_.width; }
    double StageHeight() override { return movie_.height; }
    double TimerMs() override { return timeMs_; }
    double NowMs() override { return 1.0e12 + timeMs_; }
    double LocalOffsetMinutes(double) override { return 0; }

private:
    static DisplayObject* Obj(avm1::ClipRef clip) { return static_cast<DisplayObject*>(clip); }
    DisplayObject* Place(DisplayObject* parent, const PlaceRecord& record, bool dynamic, const std::string& name,
                         int depth);
    DisplayObject* NewObject(DisplayObject* parent, uint16_t character, int depth, const std::string& name,
                             bool dynamic, bool autoName);
    void Settle(DisplayObject* o);
    void Remove(DisplayObject* o);
    bool ClearDepth(DisplayObject* parent, int depth);
    void Forget(DisplayObject* o);
    void EnterFrame(DisplayObject* o, int frame, bool runActions);
    void Seek(DisplayObject* o, int frame, bool runActions);
    void ApplyTag(DisplayObject* o, const FrameTag& tag, bool runActions);
    void Advance(DisplayObject* o);
    void RunEvent(DisplayObject* o, uint32_t event);
    void Collect(DisplayObject* o, std::vector<DisplayObject*>* out);
    std::string NewInstanceName();
    void Compose(DisplayObject* o);
    void Decompose(DisplayObject* o);
    bool Bounds(DisplayObject* o, const Matrix& toSpace, avm1::Bounds* out);
    Matrix ToStage(DisplayObject* o);

    SwfMovie movie_;
    mvAvm vm_;
    std::unique_ptr<DisplayObject> root_;
    std::string output_;
    double timeMs_ = 0;
    bool quit_ = false;
    uint64_t nextCreated_ = 1;
    int nextInstance_ = 1;
    int placing_ = 0;
    std::vector<DisplayObject*> pendingConstruct_;
    // Live objects with their creation numbers: a freed object's address
    // may come back for a new one within a frame.
    std::set<std::pair<DisplayObject*, uint64_t>> alive_;
    bool Alive(DisplayObject* o, uint64_t created) const { return alive_.count({o, created}) != 0; }
    std::map<uint16_t, bool> initDone_;
};

} // namespace swftest
