#include "player/display.h"

#include <cctype>

namespace {
std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Names compare without regard to case, as scripts of this era do.
bool SameName(const std::string& a, const std::string& b) { return a.size() == b.size() && Lower(a) == Lower(b); }
} // namespace

DisplayObject::DisplayObject(ObjectKind k, Stage* s, const Character* c) : kind(k), stage(s), character(c) {
    ++stage->instances;
}

DisplayObject::~DisplayObject() { --stage->instances; }

namespace {
// Stores a new value and marks the stage for drawing when it differs.
template <class T> void Change(T& field, const T& value, Stage* stage) {
    if (!(field == value)) {
        field = value;
        stage->changed = true;
    }
}
} // namespace

void DisplayObject::SetMatrix(const SwfMatrix& m) { Change(matrix, m, stage); }
void DisplayObject::SetColorTransform(const SwfColorTransform& c) { Change(cxform, c, stage); }
void DisplayObject::SetVisible(bool v) { Change(visible, v, stage); }
void DisplayObject::SetRatio(uint16_t r) { Change(ratio, r, stage); }
void DisplayObject::SetBlendMode(uint8_t mode) { Change(blendMode, mode, stage); }
void DisplayObject::SetClipDepth(int d) { Change(clipDepth, d, stage); }
void DisplayObject::SetFilters(const std::vector<Filter>& list) {
    filters = list;
    stage->changed = true;
}

const Shape& MorphInstance::GetShape() {
    if (builtRatio_ != ratio) {
        BuildMorphShape(static_cast<const MorphCharacter*>(character)->morph, ratio, &shape_);
        builtRatio_ = ratio;
    }
    return shape_;
}

EditTextInstance::EditTextInstance(Stage* s, const EditTextCharacter* c) : DisplayObject(OBJ_EDIT_TEXT, s, c) {
    text_ = c->def.text;
}

void EditTextInstance::SetText(const std::string& text) {
    if (text != text_) {
        text_ = text;
        laidOut_ = false;
        stage->changed = true;
    }
}

const std::vector<TextRun>& EditTextInstance::Runs() {
    if (!laidOut_) {
        const EditTextDef& def = Def();
        const Font* font = def.hasFont && def.useOutlines ? stage->movie->GetFont(def.fontId) : nullptr;
        if (!font && def.hasFont)
            font = stage->movie->GetFont(def.fontId); // device text drawn with the font's glyphs when it has any
        Movie* movie = stage->movie;
        LayoutEditText(def, text_, font,
                       [movie](const std::string& face, bool bold, bool italic) { return movie->FindFont(face, bold, italic); },
                       &runs_);
        laidOut_ = true;
    }
    return runs_;
}

// Drawing -------------------------------------------------------------------

void Drawing::Clear() {
    records_ = ShapeRecords();
    built_ = false;
    filling_ = lining_ = false;
    x_ = y_ = startX_ = startY_ = 0;
}

void Drawing::NewGroup() {
    StyleGroup g;
    if (filling_)
        g.fills.push_back(fill_);
    if (lining_)
        g.lines.push_back(line_);
    records_.groups.push_back(std::move(g));
    ShapeRecord r;
    r.kind = REC_STYLE;
    r.flags = STYLE_NEW | STYLE_MOVE | STYLE_FILL1 | STYLE_LINE;
    r.x = x_;
    r.y = y_;
    r.fill1 = filling_ ? 1 : 0;
    r.line = lining_ ? 1 : 0;
    if (records_.groups.size() == 1)
        r.flags = static_cast<uint8_t>(r.flags & ~STYLE_NEW); // the first group is the initial one
    records_.records.push_back(r);
    built_ = false;
}

void Drawing::LineStyle(float width, SwfColor color) {
    lining_ = width >= 0;
    line_ = ::LineStyle();
    line_.width = width;
    line_.color = color;
    NewGroup();
}

void Drawing::BeginFill(SwfColor color) {
    FillStyle f;
    f.color = color;
    BeginFill(f);
}

void Drawing::BeginFill(const FillStyle& fill) {
    EndFill();
    fill_ = fill;
    filling_ = true;
    startX_ = x_;
    startY_ = y_;
    NewGroup();
}

void Drawing::EndFill() {
    if (!filling_)
        return;
    if (x_ != startX_ || y_ != startY_)
        LineTo(startX_, startY_);
    filling_ = false;
    NewGroup();
}

void Drawing::MoveTo(float x, float y) {
    x_ = startX_ = x;
    y_ = startY_ = y;
    if (records_.groups.empty())
        NewGroup();
    ShapeRecord r;
    r.kind = REC_STYLE;
    r.flags = STYLE_MOVE;
    r.x = x;
    r.y = y;
    records_.records.push_back(r);
    built_ = false;
}

void Drawing::LineTo(float x, float y) {
    if (records_.groups.empty())
        NewGroup();
    ShapeRecord r;
    r.kind = REC_LINE;
    r.x = x - x_;
    r.y = y - y_;
    records_.records.push_back(r);
    x_ = x;
    y_ = y;
    built_ = false;
}

void Drawing::CurveTo(float cx, float cy, float x, float y) {
    if (records_.groups.empty())
        NewGroup();
    ShapeRecord r;
    r.kind = REC_CURVE;
    r.x = cx - x_;
    r.y = cy - y_;
    r.ax = x - cx;
    r.ay = y - cy;
    records_.records.push_back(r);
    x_ = x;
    y_ = y;
    built_ = false;
}

const Shape& Drawing::GetShape() {
    if (!built_) {
        // A fill still open draws as if closed, without closing it for later calls.
        ShapeRecords copy = records_;
        if (filling_ && (x_ != startX_ || y_ != startY_)) {
            ShapeRecord r;
            r.kind = REC_LINE;
            r.x = startX_ - x_;
            r.y = startY_ - y_;
            copy.records.push_back(r);
        }
        if (copy.groups.empty())
            copy.groups.emplace_back();
        BuildShape(copy, &shape_);
        built_ = true;
    }
    return shape_;
}

// SpriteInstance ------------------------------------------------------------

SpriteInstance::SpriteInstance(Stage* s, const SpriteCharacter* c, const Timeline* timeline, int nesting)
    : DisplayObject(OBJ_SPRITE, s, c), timeline_(timeline), nesting_(nesting) {}

void SpriteInstance::Play() {
    playing_ = true;
}

void SpriteInstance::Stop() { playing_ = false; }

void SpriteInstance::Start() {
    if (currentFrame_ < 0 && FrameCount() > 0) {
        currentFrame_ = 0;
        RunFrame(0);
    }
}

bool SpriteInstance::Still() const {
    if (playing_ && FrameCount() > 1)
        return false;
    for (const auto& entry : children_)
        if (entry.second->kind == OBJ_SPRITE && !static_cast<const SpriteInstance*>(entry.second.get())->Still())
            return false;
    return true;
}

void SpriteInstance::NextFrame() {
    playing_ = false;
    if (currentFrame_ + 1 < FrameCount())
        GotoFrame(currentFrame_ + 1, false);
}

void SpriteInstance::PrevFrame() {
    playing_ = false;
    if (currentFrame_ > 0)
        GotoFrame(currentFrame_ - 1, false);
}

void SpriteInstance::GotoFrame(int frame, bool play) {
    playing_ = play;
    int count = FrameCount();
    if (count == 0)
        return;
    if (frame < 0)
        frame = 0;
    if (frame >= count)
        frame = count - 1;
    if (frame == currentFrame_)
        return;
    if (frame < currentFrame_) {
        Rewind(frame);
        return;
    }
    while (currentFrame_ < frame)
        RunFrame(++currentFrame_);
}

bool SpriteInstance::GotoLabel(const std::string& label, bool play) {
    int frame = timeline_->FrameOfLabel(label);
    if (frame < 0)
        return false;
    GotoFrame(frame, play);
    return true;
}

void SpriteInstance::Tick(unsigned tick) {
    if (playing_ && FrameCount() > 1) {
        if (currentFrame_ + 1 >= FrameCount())
            Rewind(0); // like a projector, every timeline loops unless stopped
        else
            RunFrame(++currentFrame_);
    }
    // Children made during this step start on the next one.
    std::vector<SpriteInstance*> sprites;
    for (auto& entry : children_)
        if (entry.second->kind == OBJ_SPRITE)
            sprites.push_back(static_cast<SpriteInstance*>(entry.second.get()));
    for (SpriteInstance* s : sprites)
        if (s->createdTick != tick)
            s->Tick(tick);
}

std::unique_ptr<DisplayObject> SpriteInstance::Instantiate(uint16_t id) {
    const Character* c = stage->movie->Find(id);
    if (!c || stage->instances >= Stage::MAX_INSTANCES)
        return nullptr;
    std::unique_ptr<DisplayObject> o;
    switch (c->kind) {
    case CHAR_SHAPE:
        o = std::make_unique<ShapeInstance>(stage, static_cast<const ShapeCharacter*>(c));
        break;
    case CHAR_MORPH:
        o = std::make_unique<MorphInstance>(stage, static_cast<const MorphCharacter*>(c));
        break;
    case CHAR_TEXT:
        o = std::make_unique<TextInstance>(stage, static_cast<const TextCharacter*>(c));
        break;
    case CHAR_EDIT_TEXT:
        o = std::make_unique<EditTextInstance>(stage, static_cast<const EditTextCharacter*>(c));
        break;
    case CHAR_BUTTON:
        o = std::make_unique<ButtonInstance>(stage, static_cast<const ButtonCharacter*>(c));
        break;
    case CHAR_SPRITE: {
        if (nesting_ + 1 >= Stage::MAX_NESTING)
            return nullptr;
        auto s = static_cast<const SpriteCharacter*>(c);
        o = std::make_unique<SpriteInstance>(stage, s, &s->timeline, nesting_ + 1);
        break;
    }
    default:
        return nullptr;
    }
    return o;
}

void SpriteInstance::Place(std::unique_ptr<DisplayObject> o, int depth) {
    o->parent = this;
    o->depth = depth;
    DisplayObject* raw = o.get();
    children_[depth] = std::move(o);
    stage->changed = true;
    if (raw->kind == OBJ_SPRITE) {
        auto s = static_cast<SpriteInstance*>(raw);
        s->createdTick = stage->tick;
        s->Start();
    }
}

void SpriteInstance::ApplyPlacement(DisplayObject* o, const PlaceCommand& p) {
    if (p.flags & PLACE_MATRIX)
        o->SetMatrix(p.matrix);
    if (p.flags & PLACE_CXFORM)
        o->SetColorTransform(p.cxform);
    if (p.flags & PLACE_RATIO)
        o->SetRatio(p.ratio);
    if (p.flags & PLACE_NAME)
        o->SetName(p.name);
    if (p.flags & PLACE_CLIP_DEPTH)
        o->SetClipDepth(p.clipDepth);
    if (p.flags & PLACE_BLEND)
        o->SetBlendMode(p.blendMode);
    if (p.flags & PLACE_VISIBLE)
        o->SetVisible(p.visible);
    if (p.flags & PLACE_FILTERS)
        o->SetFilters(p.filters);
}

void SpriteInstance::Apply(const FrameCommand& cmd) {
    const PlaceCommand& p = cmd.place;
    if (cmd.kind == CMD_REMOVE) {
        RemoveInstance(p.depth);
        return;
    }
    auto it = children_.find(p.depth);
    DisplayObject* existing = it == children_.end() ? nullptr : it->second.get();
    DisplayObject* target = existing;
    if (p.flags & PLACE_CHARACTER) {
        if (existing && !(p.flags & PLACE_MOVE))
            return; // the depth is taken
        if (existing && existing->character && existing->character->id == p.characterId) {
            target = existing;
        } else {
            std::unique_ptr<DisplayObject> o = Instantiate(p.characterId);
            if (!o)
                return;
            if (existing) {
                // A replaced character keeps the old one's placement unless the tag gives a new one.
                o->matrix = existing->matrix;
                o->cxform = existing->cxform;
                o->name = existing->name;
                o->ratio = existing->ratio;
                o->clipDepth = existing->clipDepth;
                o->blendMode = existing->blendMode;
                RemoveInstance(p.depth);
            }
            ApplyPlacement(o.get(), p);
            if (p.flags & PLACE_CLIP_ACTIONS)
                o->clipActions = p.clipActions;
            Place(std::move(o), p.depth);
            return;
        }
    }
    if (target)
        ApplyPlacement(target, p);
}

void SpriteInstance::RunFrame(int frame) {
    const FrameDef& f = timeline_->frames[frame];
    for (const FrameCommand& cmd : f.commands)
        Apply(cmd);
    for (const ByteRange& a : f.actions)
        stage->pendingActions.push_back(a);
}

void SpriteInstance::Rewind(int target) {
    // The timeline state at the target frame, depth by depth, as the tags build it.
    std::map<int, PlaceCommand> state;
    for (int f = 0; f <= target; ++f) {
        for (const FrameCommand& cmd : timeline_->frames[f].commands) {
            const PlaceCommand& p = cmd.place;
            if (cmd.kind == CMD_REMOVE) {
                state.erase(p.depth);
            } else if (cmd.kind == CMD_PLACE) {
                auto it = state.find(p.depth);
                if (it == state.end()) {
                    if (p.flags & PLACE_CHARACTER)
                        state[p.depth] = p;
                    continue;
                }
                if ((p.flags & PLACE_CHARACTER) && !(p.flags & PLACE_MOVE))
                    continue;
                PlaceCommand& s = it->second;
                uint16_t keep = s.flags;
                uint16_t character = p.flags & PLACE_CHARACTER ? p.characterId : s.characterId;
                std::string name = p.flags & PLACE_NAME ? p.name : s.name;
                // The tag's values over the state's: the same fields an instance would take.
                PlaceCommand merged = p;
                merged.characterId = character;
                merged.name = name;
                if (!(p.flags & PLACE_MATRIX))
                    merged.matrix = s.matrix;
                if (!(p.flags & PLACE_CXFORM))
                    merged.cxform = s.cxform;
                if (!(p.flags & PLACE_RATIO))
                    merged.ratio = s.ratio;
                if (!(p.flags & PLACE_CLIP_DEPTH))
                    merged.clipDepth = s.clipDepth;
                if (!(p.flags & PLACE_BLEND))
                    merged.blendMode = s.blendMode;
                if (!(p.flags & PLACE_VISIBLE))
                    merged.visible = s.visible;
                if (!(p.flags & PLACE_FILTERS))
                    merged.filters = s.filters;
                if (!(p.flags & PLACE_CLIP_ACTIONS))
                    merged.clipActions = s.clipActions;
                s = std::move(merged);
                s.flags = static_cast<uint16_t>(keep | (p.flags & ~PLACE_MOVE));
            }
        }
    }
    // Timeline children absent from the target state go; script-made ones stay.
    for (auto it = children_.begin(); it != children_.end();) {
        DisplayObject* o = it->second.get();
        auto s = state.find(it->first);
        bool keep = !o->fromTimeline ||
                    (s != state.end() && o->character && o->character->id == s->second.characterId);
        if (keep) {
            ++it;
        } else {
            it = children_.erase(it);
            stage->changed = true;
        }
    }
    for (auto& entry : state) {
        const PlaceCommand& p = entry.second;
        auto it = children_.find(entry.first);
        if (it != children_.end() && it->second->fromTimeline) {
            DisplayObject* o = it->second.get();
            o->SetMatrix(p.flags & PLACE_MATRIX ? p.matrix : SwfMatrix());
            o->SetColorTransform(p.flags & PLACE_CXFORM ? p.cxform : SwfColorTransform());
            o->SetRatio(p.ratio);
            o->SetClipDepth(p.clipDepth);
            o->SetBlendMode(p.blendMode);
            o->SetVisible(p.visible);
            if (p.flags & PLACE_FILTERS)
                o->SetFilters(p.filters);
            continue;
        }
        if (it != children_.end())
            continue; // a script took the depth
        FrameCommand cmd;
        cmd.place = p;
        cmd.place.flags = static_cast<uint16_t>(p.flags & ~PLACE_MOVE);
        Apply(cmd);
    }
    currentFrame_ = target;
    const FrameDef& f = timeline_->frames[target];
    for (const ByteRange& a : f.actions)
        stage->pendingActions.push_back(a);
}

DisplayObject* SpriteInstance::CreateInstance(uint16_t id, int depth, const std::string& name) {
    std::unique_ptr<DisplayObject> o = Instantiate(id);
    if (!o)
        return nullptr;
    RemoveInstance(depth);
    o->fromTimeline = false;
    o->name = name;
    DisplayObject* raw = o.get();
    Place(std::move(o), depth);
    return raw;
}

DisplayObject* SpriteInstance::CreateEmptyClip(int depth, const std::string& name) {
    if (stage->instances >= Stage::MAX_INSTANCES || nesting_ + 1 >= Stage::MAX_NESTING)
        return nullptr;
    static const Timeline empty = [] {
        Timeline t;
        t.frames.emplace_back();
        return t;
    }();
    auto o = std::make_unique<SpriteInstance>(stage, nullptr, &empty, nesting_ + 1);
    RemoveInstance(depth);
    o->fromTimeline = false;
    o->name = name;
    DisplayObject* raw = o.get();
    Place(std::move(o), depth);
    return raw;
}

DisplayObject* SpriteInstance::DuplicateInstance(const DisplayObject* source, const std::string& name, int depth) {
    if (!source || !source->character)
        return nullptr;
    DisplayObject* copy = CreateInstance(source->character->id, depth, name);
    if (copy) {
        copy->matrix = source->matrix;
        copy->cxform = source->cxform;
        copy->ratio = source->ratio;
        copy->clipDepth = source->clipDepth;
        copy->blendMode = source->blendMode;
        copy->visible = source->visible;
        copy->filters = source->filters;
    }
    return copy;
}

bool SpriteInstance::RemoveInstance(int depth) {
    auto it = children_.find(depth);
    if (it == children_.end())
        return false;
    children_.erase(it);
    stage->changed = true;
    return true;
}

void SpriteInstance::SwapDepths(int a, int b) {
    if (a == b)
        return;
    auto ia = children_.find(a), ib = children_.find(b);
    std::unique_ptr<DisplayObject> oa = ia == children_.end() ? nullptr : std::move(ia->second);
    std::unique_ptr<DisplayObject> ob = ib == children_.end() ? nullptr : std::move(ib->second);
    children_.erase(a);
    children_.erase(b);
    if (oa) {
        oa->depth = b;
        children_[b] = std::move(oa);
    }
    if (ob) {
        ob->depth = a;
        children_[a] = std::move(ob);
    }
    stage->changed = true;
}

DisplayObject* SpriteInstance::AtDepth(int depth) const {
    auto it = children_.find(depth);
    return it == children_.end() ? nullptr : it->second.get();
}

DisplayObject* SpriteInstance::FindByName(const std::string& n) const {
    for (auto& entry : children_)
        if (SameName(entry.second->name, n))
            return entry.second.get();
    return nullptr;
}

Drawing& SpriteInstance::GetDrawing() {
    if (!drawing_)
        drawing_ = std::make_unique<Drawing>();
    stage->changed = true;
    return *drawing_;
}

// Stage ---------------------------------------------------------------------

Stage::Stage(Movie* m) : movie(m), background(m->background) {}

Stage::~Stage() { Release(); }

void Stage::Release() { root.reset(); }

void Stage::Start() {
    Release();
    background = movie->background;
    root = std::make_unique<SpriteInstance>(this, nullptr, &movie->root, 0);
    root->createdTick = tick;
    root->Start();
    changed = true;
}

void Stage::Tick() {
    ++tick;
    if (root)
        root->Tick(tick);
}
