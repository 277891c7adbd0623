// The display list: instances of characters placed on timelines, and the
// timelines that play them. A Stage owns the root SpriteInstance; each
// SpriteInstance owns its children by depth. Nothing here draws; the
// renderer reads these objects.
//
// The methods of SpriteInstance, DisplayObject and EditTextInstance are what
// a script engine drives (play, stop, go to a frame or label, create, remove
// and duplicate instances, draw into a clip, set a field's text); each marks
// the stage changed so that the next frame is drawn. Timeline-placed children
// have depths from the tags; children made by scripts keep theirs through
// every goto.
//
// Call order per frame: Stage::Tick advances every playing timeline once
// (parents before children); then the renderer draws when Stage::changed is
// set, and clears it.
#pragma once

#include "player/movie.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Stage;
class SpriteInstance;

enum ObjectKind : uint8_t { OBJ_SHAPE, OBJ_MORPH, OBJ_SPRITE, OBJ_TEXT, OBJ_EDIT_TEXT, OBJ_BUTTON };

class DisplayObject {
public:
    DisplayObject(ObjectKind kind, Stage* stage, const Character* character);
    virtual ~DisplayObject();
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    void SetMatrix(const SwfMatrix& m);
    void SetColorTransform(const SwfColorTransform& c);
    void SetVisible(bool v);
    void SetName(const std::string& n) { name = n; }
    void SetRatio(uint16_t r);
    void SetBlendMode(uint8_t mode);
    void SetClipDepth(int depth);
    void SetFilters(const std::vector<Filter>& list);

    const ObjectKind kind;
    Stage* const stage;
    const Character* const character; // null for an empty clip made by a script
    SpriteInstance* parent = nullptr;
    int depth = 0;
    std::string name;
    SwfMatrix matrix;
    SwfColorTransform cxform;
    uint16_t ratio = 0;
    int clipDepth = 0; // nonzero: a mask for the depths above it up to this one
    uint8_t blendMode = BLEND_NORMAL;
    bool visible = true;
    bool fromTimeline = true;
    ByteRange clipActions;
    std::vector<Filter> filters;
};

class ShapeInstance : public DisplayObject {
public:
    ShapeInstance(Stage* s, const ShapeCharacter* c) : DisplayObject(OBJ_SHAPE, s, c) {}
    const Shape& GetShape() const { return static_cast<const ShapeCharacter*>(character)->shape; }
};

class MorphInstance : public DisplayObject {
public:
    MorphInstance(Stage* s, const MorphCharacter* c) : DisplayObject(OBJ_MORPH, s, c) {}
    // The shape at the current ratio, rebuilt only when the ratio changed.
    const Shape& GetShape();

private:
    Shape shape_;
    int builtRatio_ = -1;
};

class TextInstance : public DisplayObject {
public:
    TextInstance(Stage* s, const TextCharacter* c) : DisplayObject(OBJ_TEXT, s, c) {}
    const StaticText& GetText() const { return static_cast<const TextCharacter*>(character)->text; }
};

class EditTextInstance : public DisplayObject {
public:
    EditTextInstance(Stage* s, const EditTextCharacter* c);
    const EditTextDef& Def() const { return static_cast<const EditTextCharacter*>(character)->def; }
    const std::string& GetText() const { return text_; }
    void SetText(const std::string& text);
    // Glyph runs in field coordinates, laid out again after SetText.
    const std::vector<TextRun>& Runs();

private:
    std::string text_;
    std::vector<TextRun> runs_;
    bool laidOut_ = false;
};

class ButtonInstance : public DisplayObject {
public:
    ButtonInstance(Stage* s, const ButtonCharacter* c) : DisplayObject(OBJ_BUTTON, s, c) {}
};

// Vector drawing into a clip, beneath its children.
class Drawing {
public:
    void Clear();
    void LineStyle(float widthTwips, SwfColor color); // a negative width ends lines
    void BeginFill(SwfColor color);
    void BeginFill(const FillStyle& fill);
    void EndFill();
    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    void CurveTo(float cx, float cy, float x, float y);
    const Shape& GetShape();
    bool Empty() const { return records_.records.empty(); }

private:
    void NewGroup();
    ShapeRecords records_;
    Shape shape_;
    bool built_ = false;
    bool filling_ = false;
    bool lining_ = false;
    float x_ = 0, y_ = 0, startX_ = 0, startY_ = 0;
    FillStyle fill_;
    ::LineStyle line_;
};

class SpriteInstance : public DisplayObject {
public:
    SpriteInstance(Stage* s, const SpriteCharacter* c, const Timeline* timeline, int nesting);

    int FrameCount() const { return static_cast<int>(timeline_->frames.size()); }
    int CurrentFrame() const { return currentFrame_; } // 0-based
    bool Playing() const { return playing_; }
    void Play();
    void Stop();
    // 0-based; out-of-range frames are clamped. Runs the frames between as the timeline would.
    void GotoFrame(int frame, bool play);
    bool GotoLabel(const std::string& label, bool play);
    void NextFrame();
    void PrevFrame();

    // Script-made instances: false/null when the id or depth is unusable.
    DisplayObject* CreateInstance(uint16_t characterId, int depth, const std::string& name);
    DisplayObject* CreateEmptyClip(int depth, const std::string& name);
    DisplayObject* DuplicateInstance(const DisplayObject* source, const std::string& name, int depth);
    bool RemoveInstance(int depth);
    void SwapDepths(int a, int b);
    DisplayObject* AtDepth(int depth) const;
    DisplayObject* FindByName(const std::string& name) const;
    Drawing& GetDrawing();
    const Drawing* DrawingIfAny() const { return drawing_.get(); }

    const std::map<int, std::unique_ptr<DisplayObject>>& Children() const { return children_; }

    // Runs frame 0 when the clip first appears.
    void Start();
    // True when no timeline in this clip or below it can move on by itself.
    bool Still() const;
    // One timeline step, then the children's.
    void Tick(unsigned tick);
    unsigned createdTick = 0;

private:
    void RunFrame(int frame);
    void Apply(const FrameCommand& cmd);
    // The fields the tag gives, through the setters.
    static void ApplyPlacement(DisplayObject* o, const PlaceCommand& p);
    void Rewind(int target);
    std::unique_ptr<DisplayObject> Instantiate(uint16_t characterId);
    void Place(std::unique_ptr<DisplayObject> object, int depth);

    const Timeline* timeline_;
    int nesting_;
    int currentFrame_ = -1;
    bool playing_ = true;
    std::map<int, std::unique_ptr<DisplayObject>> children_;
    std::unique_ptr<Drawing> drawing_;
};

class Stage {
public:
    // Maximum depth of nested clips and number of instances: a movie that
    // places a sprite inside itself stops growing there.
    static constexpr int MAX_NESTING = 32;
    static constexpr int MAX_INSTANCES = 100000;

    explicit Stage(Movie* movie);
    ~Stage();
    // Drops the display list; safe to call twice.
    void Release();
    // Creates the root timeline and runs its first frame.
    void Start();
    void Tick();

    Movie* const movie;
    std::unique_ptr<SpriteInstance> root;
    SwfColor background;
    bool changed = true;
    int instances = 0;
    unsigned tick = 0;
    // Name=value pairs from the configuration file, for the root's scripts.
    std::vector<std::pair<std::string, std::string>> variables;
    // Frame scripts that became due, in order, for the script engine to run and clear.
    std::vector<ByteRange> pendingActions;
};
