#include "fakeplayer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

using avm1::ClipRef;

namespace swftest {

namespace {

const int ScriptDepthBase = 16384;
const double Pi = 3.14159265358979323846;
// What an empty clip reports as its bounds.
const double EmptyBound = 6710886.35;

Matrix Multiply(const Matrix& m, const Matrix& n) {
    // m applied after n.
    Matrix r;
    r.a = m.a * n.a + m.c * n.b;
    r.b = m.b * n.a + m.d * n.b;
    r.c = m.a * n.c + m.c * n.d;
    r.d = m.b * n.c + m.d * n.d;
    r.tx = m.a * n.tx + m.c * n.ty + m.tx;
    r.ty = m.b * n.tx + m.d * n.ty + m.ty;
    return r;
}

Matrix Invert(const Matrix& m) {
    double det = m.a * m.d - m.b * m.c;
    Matrix r;
    if (det == 0) {
        r.a = r.d = 0;
        r.tx = -m.tx;
        r.ty = -m.ty;
        return r;
    }
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    return r;
}

void Apply(const Matrix& m, double x, double y, double* ox, double* oy) {
    *ox = m.a * x + m.c * y + m.tx;
    *oy = m.b * x + m.d * y + m.ty;
}

bool SameName(const std::string& a, const std::string& b, bool caseSensitive) {
    if (caseSensitive || a.size() != b.size())
        return a == b;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int TotalFrames(const DisplayObject* o) {
    if (!o->timeline)
        return 1;
    int n = static_cast<int>(o->timeline->frames.size());
    int declared = o->timeline->declaredFrames;
    return std::max(1, std::max(n, declared));
}

} // namespace

FakePlayer::FakePlayer() = default;

FakePlayer::~FakePlayer() {
    // The machine goes first: it may still name clips while it is released.
    vm_.Release();
    root_.reset();
}

bool FakePlayer::Load(const std::string& swfBytes, std::string* error) {
    if (!ReadSwf(swfBytes, &movie_, error))
        return false;
    if (!vm_.Init(this, movie_.version)) {
        *error = "no memory for the script engine";
        return false;
    }
    root_.reset(new DisplayObject);
    root_->kind = avm1::CLIP_MOVIE;
    root_->timeline = &movie_.root;
    root_->created = nextCreated_++;
    alive_.insert({root_.get(), root_->created});
    vm_.ClipCreated(root_.get(), "");
    return true;
}

void FakePlayer::Run(int frames) {
    for (int f = 1; f <= frames && !quit_; ++f) {
        if (f == 1) {
            EnterFrame(root_.get(), 1, true);
        } else {
            std::vector<DisplayObject*> all;
            Collect(root_.get(), &all);
            std::sort(all.begin(), all.end(),
                      [](const DisplayObject* a, const DisplayObject* b) { return a->created > b->created; });
            std::vector<uint64_t> ids;
            for (DisplayObject* o : all)
                ids.push_back(o->created);
            for (size_t i = 0; i < all.size(); ++i)
                if (Alive(all[i], ids[i]) && all[i]->timeline && all[i]->playing)
                    Advance(all[i]);
            for (size_t i = 0; i < all.size(); ++i) {
                if (!Alive(all[i], ids[i]) || all[i]->kind != avm1::CLIP_MOVIE)
                    continue;
                RunEvent(all[i], EVENT_ENTER_FRAME);
                if (Alive(all[i], ids[i]))
                    vm_.CallMethod(all[i], "onEnterFrame");
            }
        }
        vm_.RunQueue();
        timeMs_ += movie_.frameRate > 0 ? 1000.0 / movie_.frameRate : 83;
        vm_.Tick();
        vm_.RunQueue();
        vm_.Collect();
    }
}

void FakePlayer::Collect(DisplayObject* o, std::vector<DisplayObject*>* out) {
    for (auto& child : o->children)
        Collect(child.second.get(), out);
    out->push_back(o);
}

std::string FakePlayer::NewInstanceName() { return "instance" + std::to_string(nextInstance_++); }

DisplayObject* FakePlayer::NewObject(DisplayObject* parent, uint16_t character, int depth, const std::string& name,
                                     bool dynamic, bool autoName) {
    std::unique_ptr<DisplayObject> o(new DisplayObject);
    o->parent = parent;
    o->character = character;
    auto it = movie_.characters.find(character);
    o->def = it == movie_.characters.end() ? nullptr : &it->second;
    o->kind = avm1::CLIP_OTHER;
    if (!o->def || o->def->kind == CHAR_SPRITE) {
        o->kind = avm1::CLIP_MOVIE;
        o->timeline = o->def ? o->def->timeline.get() : nullptr;
    } else if (o->def->kind == CHAR_EDIT_TEXT) {
        o->kind = avm1::CLIP_TEXT;
        o->text = o->def->initialText;
    } else if (o->def->kind == CHAR_BUTTON) {
        o->kind = avm1::CLIP_BUTTON;
    }
    o->depth = depth;
    o->name = name;
    // Unnamed placements get "instanceN"; a name given empty stays empty.
    if (autoName && o->name.empty() && o->kind != avm1::CLIP_OTHER)
        o->name = NewInstanceName();
    o->dynamic = dynamic;
    o->created = nextCreated_++;
    if (!o->timeline)
        o->currentFrame = 1;
    DisplayObject* raw = o.get();
    alive_.insert({raw, raw->created});
    parent->children[depth] = std::move(o);
    return raw;
}

DisplayObject* FakePlayer::Place(DisplayObject* parent, const PlaceRecord& record, bool dynamic,
                                 const std::string& name, int depth) {
    DisplayObject* o = NewObject(parent, record.character, depth, name, dynamic, !dynamic && !record.hasName);
    if (record.hasMatrix) {
        o->matrix = record.matrix;
        Decompose(o);
    }
    if (record.hasColor) {
        o->color.ra = record.colorMult[0] * 100;
        o->color.ga = record.colorMult[1] * 100;
        o->color.ba = record.colorMult[2] * 100;
        o->color.aa = record.colorMult[3] * 100;
        o->color.rb = record.colorAdd[0];
        o->color.gb = record.colorAdd[1];
        o->color.bb = record.colorAdd[2];
        o->color.ab = record.colorAdd[3];
        o->alpha = o->color.aa;
    }
    o->actions = record.actions;
    Settle(o);
    return o;
}

// The steps of a new clip: initialize now, load queued, its first frame,
// and construct once the outermost placement is done.
void FakePlayer::Settle(DisplayObject* o) {
    if (o->kind == avm1::CLIP_OTHER)
        return;
    ++placing_;
    RunEvent(o, EVENT_INITIALIZE);
    pendingConstruct_.push_back(o);
    if (o->kind == avm1::CLIP_MOVIE) {
        for (const ClipAction& a : o->actions)
            if (a.events & EVENT_LOAD)
                vm_.QueueActions(o, a.code.data(), a.code.size());
        vm_.QueueMethod(o, "onLoad");
        if (o->timeline)
            EnterFrame(o, 1, true);
    }
    if (--placing_ == 0) {
        std::vector<DisplayObject*> pending;
        pending.swap(pendingConstruct_);
        std::vector<uint64_t> ids;
        for (DisplayObject* p : pending)
            ids.push_back(p->created);
        for (size_t i = 0; i < pending.size(); ++i) {
            DisplayObject* p = pending[i];
            if (!Alive(p, ids[i]))
                continue;
            RunEvent(p, EVENT_CONSTRUCT);
            vm_.ClipCreated(p, p->def ? p->def->exportName : std::string());
        }
    }
}

void FakePlayer::RunEvent(DisplayObject* o, uint32_t event) {
    std::vector<ClipAction> actions = o->actions;
    for (const ClipAction& a : actions)
        if (a.events & event)
            vm_.RunActions(o, a.code.data(), a.code.size());
}

void FakePlayer::Remove(DisplayObject* o) {
    DisplayObject* parent = o->parent;
    if (!parent || o->removing)
        return;
    o->removing = true;
    uint64_t id = o->created;
    std::vector<DisplayObject*> all;
    Collect(o, &all);
    std::vector<uint64_t> ids;
    for (DisplayObject* d : all)
        ids.push_back(d->created);
    for (size_t i = 0; i < all.size(); ++i) {
        if (!Alive(all[i], ids[i]) || all[i]->kind != avm1::CLIP_MOVIE)
            continue;
        RunEvent(all[i], EVENT_UNLOAD);
        if (Alive(all[i], ids[i]))
            vm_.CallMethod(all[i], "onUnload");
    }
    // The handlers may have removed it already.
    if (!Alive(o, id))
        return;
    parent = o->parent;
    auto it = parent->children.find(o->depth);
    if (it == parent->children.end() || it->second.get() != o)
        return;
    Forget(o);
    parent->children.erase(it);
}

void FakePlayer::Forget(DisplayObject* o) {
    std::vector<DisplayObject*> all;
    Collect(o, &all);
    for (DisplayObject* d : all) {
        vm_.ClipRemoved(d);
        alive_.erase({d, d->created});
    }
}

void FakePlayer::EnterFrame(DisplayObject* o, int frame, bool runActions) {
    o->currentFrame = frame;
    if (!o->timeline || frame < 1 || frame > static_cast<int>(o->timeline->frames.size()))
        return;
    // A script may move this timeline on while its tags are applied; the
    // frame is copied so that nothing here refers into a changed list.
    std::vector<FrameTag> tags = o->timeline->frames[frame - 1].tags;
    for (const FrameTag& tag : tags) {
        ApplyTag(o, tag, runActions);
        if (o->currentFrame != frame)
            break;
    }
}

void FakePlayer::ApplyTag(DisplayObject* o, const FrameTag& tag, bool runActions) {
    switch (tag.kind) {
    case TAG_PLACE: {
        const PlaceRecord& p = tag.place;
        auto it = o->children.find(p.depth);
        DisplayObject* existing = it == o->children.end() ? nullptr : it->second.get();
        if (!p.move) {
            if (existing || !p.hasCharacter)
                return;
            Place(o, p, false, p.name, p.depth)->placedFrame = o->currentFrame;
            return;
        }
        if (!existing) {
            if (p.hasCharacter)
                Place(o, p, false, p.name, p.depth)->placedFrame = o->currentFrame;
            return;
        }
        if (p.hasCharacter && existing->character != p.character && existing->kind == avm1::CLIP_OTHER) {
            auto c = movie_.characters.find(p.character);
            if (c != movie_.characters.end() && c->second.kind != CHAR_SPRITE) {
                existing->character = p.character;
                existing->def = &c->second;
            }
        }
        if (p.hasMatrix && !existing->scriptMoved) {
            existing->matrix = p.matrix;
            Decompose(existing);
        }
        if (p.hasColor && !existing->scriptMoved)
            existing->alpha = p.colorMult[3] * 100 + p.colorAdd[3] / 2.55;
        return;
    }
    case TAG_REMOVE: {
        auto it = o->children.find(tag.depth);
        if (it != o->children.end() && !it->second->dynamic)
            Remove(it->second.get());
        return;
    }
    case TAG_DO_ACTION:
        if (runActions)
            vm_.QueueActions(o, tag.code.data(), tag.code.size());
        return;
    case TAG_INIT_ACTION:
        if (!initDone_[tag.sprite]) {
            initDone_[tag.sprite] = true;
            vm_.RunInitActions(o, tag.code.data(), tag.code.size());
        }
        return;
    }
}

void FakePlayer::Advance(DisplayObject* o) {
    int total = TotalFrames(o);
    if (total <= 1)
        return;
    int next = o->currentFrame + 1;
    if (next > total)
        next = 1;
    GotoFrame(o, next, true);
}

void FakePlayer::GotoFrame(ClipRef clip, int frame, bool play) {
    DisplayObject* o = Obj(clip);
    o->playing = play;
    int total = TotalFrames(o);
    if (frame < 1)
        frame = 1;
    // Past the end: to the last frame, without its scripts.
    bool runActions = frame <= total;
    if (frame > total)
        frame = total;
    if (frame == o->currentFrame)
        return;
    if (frame == o->currentFrame + 1)
        EnterFrame(o, frame, runActions);
    else
        Seek(o, frame, runActions);
}

// Brings the timeline to frame directly: the state of its children there
// is worked out first, so that what the frames in between place and remove
// again never exists, and a child that stays (the same placement: depth,
// character and frame) keeps its identity. Then the frame's scripts are
// queued and its new children placed, in the order of its tags.
void FakePlayer::Seek(DisplayObject* o, int frame, bool runActions) {
    struct Slot {
        PlaceRecord record;
        int placedFrame = 0;
        DisplayObject* existing = nullptr;
    };
    std::map<int, Slot> slots;
    int from = 1;
    if (frame > o->currentFrame) {
        from = o->currentFrame + 1;
        for (auto& child : o->children) {
            if (child.second->dynamic)
                continue;
            Slot slot;
            slot.record.character = child.second->character;
            slot.placedFrame = child.second->placedFrame;
            slot.existing = child.second.get();
            slots[child.first] = slot;
        }
    }
    int frames = o->timeline ? static_cast<int>(o->timeline->frames.size()) : 0;
    for (int f = from; f <= frame && f <= frames; ++f) {
        for (const FrameTag& tag : o->timeline->frames[f - 1].tags) {
            if (tag.kind == TAG_REMOVE) {
                slots.erase(tag.depth);
            } else if (tag.kind == TAG_PLACE) {
                const PlaceRecord& p = tag.place;
                auto it = slots.find(p.depth);
                if (it == slots.end()) {
                    if (p.hasCharacter) {
                        Slot slot;
                        slot.record = p;
                        slot.placedFrame = f;
                        slots[p.depth] = slot;
                    }
                } else if (p.move) {
                    PlaceRecord& r = it->second.record;
                    if (p.hasCharacter)
                        r.character = p.character;
                    if (p.hasMatrix) {
                        r.hasMatrix = true;
                        r.matrix = p.matrix;
                    }
                }
            } else if (tag.kind == TAG_INIT_ACTION && f < frame && !initDone_[tag.sprite]) {
                initDone_[tag.sprite] = true;
                vm_.RunInitActions(o, tag.code.data(), tag.code.size());
            }
        }
    }
    o->currentFrame = frame;
    // Children that are not in the target state go; those that are stay.
    std::vector<DisplayObject*> doomed;
    for (auto& child : o->children) {
        DisplayObject* d = child.second.get();
        if (d->dynamic)
            continue;
        auto it = slots.find(child.first);
        bool same = it != slots.end() && it->second.record.character == d->character &&
                    it->second.placedFrame == d->placedFrame;
        if (!same) {
            doomed.push_back(d);
            continue;
        }
        it->second.existing = d;
        const PlaceRecord& r = it->second.record;
        if (r.hasMatrix && !d->scriptMoved) {
            d->matrix = r.matrix;
            Decompose(d);
        }
    }
    for (DisplayObject* d : doomed)
        Remove(d);
    for (auto& slot : slots)
        if (!slot.second.existing && slot.second.placedFrame < frame && !o->children.count(slot.first))
            Place(o, slot.second.record, false, slot.second.record.name, slot.first)->placedFrame =
                slot.second.placedFrame;
    if (frame > frames)
        return;
    std::vector<FrameTag> tags = o->timeline->frames[frame - 1].tags;
    for (const FrameTag& tag : tags) {
        if (tag.kind == TAG_DO_ACTION && runActions) {
            vm_.QueueActions(o, tag.code.data(), tag.code.size());
        } else if (tag.kind == TAG_INIT_ACTION) {
            ApplyTag(o, tag, true);
        } else if (tag.kind == TAG_PLACE) {
            auto it = slots.find(tag.place.depth);
            if (it != slots.end() && !it->second.existing && it->second.placedFrame == frame &&
                !o->children.count(tag.place.depth))
                Place(o, it->second.record, false, it->second.record.name, tag.place.depth)->placedFrame = frame;
        }
        if (o->currentFrame != frame)
            return;
    }
}

int FakePlayer::FrameOfLabel(ClipRef clip, const std::string& label) {
    DisplayObject* o = Obj(clip);
    if (!o->timeline)
        return 0;
    for (size_t i = 0; i < o->timeline->frames.size(); ++i)
        if (!o->timeline->frames[i].label.empty() && SameName(o->timeline->frames[i].label, label, false))
            return static_cast<int>(i + 1);
    return 0;
}

void FakePlayer::SetPlaying(ClipRef clip, bool playing) { Obj(clip)->playing = playing; }

void FakePlayer::FrameActions(ClipRef clip, int frame, std::vector<avm1::ActionCode>* out) {
    DisplayObject* o = Obj(clip);
    if (!o->timeline || frame < 1 || frame > static_cast<int>(o->timeline->frames.size()))
        return;
    for (const FrameTag& tag : o->timeline->frames[frame - 1].tags) {
        if (tag.kind == TAG_DO_ACTION) {
            avm1::ActionCode code;
            code.code = tag.code.data();
            code.size = tag.code.size();
            out->push_back(code);
        }
    }
}

void FakePlayer::Trace(const std::string& text) {
    output_ += text;
    output_ += '\n';
}

void FakePlayer::FsCommand(const std::string& command, const std::string& args) {
    (void)args;
    if (SameName(command, "quit", false))
        quit_ = true;
}

ClipRef FakePlayer::Level(int number) { return number == 0 ? root_.get() : nullptr; }

ClipRef FakePlayer::Parent(ClipRef clip) { return Obj(clip)->parent; }

ClipRef FakePlayer::Child(ClipRef parent, const std::string& name, bool caseSensitive) {
    for (auto& child : Obj(parent)->children)
        if (!child.second->name.empty() && SameName(child.second->name, name, caseSensitive))
            return child.second.get();
    return nullptr;
}

void FakePlayer::Children(ClipRef parent, std::vector<ClipRef>* out) {
    for (auto& child : Obj(parent)->children)
        if (child.second->kind != avm1::CLIP_OTHER)
            out->push_back(child.second.get());
}

avm1::ClipKind FakePlayer::Kind(ClipRef clip) { return Obj(clip)->kind; }

std::string FakePlayer::Name(ClipRef clip) { return Obj(clip)->name; }

void FakePlayer::SetName(ClipRef clip, const std::string& name) { Obj(clip)->name = name; }

int FakePlayer::Depth(ClipRef clip) { return Obj(clip)->depth - ScriptDepthBase; }

void FakePlayer::Decompose(DisplayObject* o) {
    const Matrix& m = o->matrix;
    o->xscale = std::sqrt(m.a * m.a + m.b * m.b) * 100;
    o->yscale = std::sqrt(m.c * m.c + m.d * m.d) * 100;
    if (m.a * m.d - m.b * m.c < 0)
        o->yscale = -o->yscale;
    o->rotation = std::atan2(m.b, m.a) * 180 / Pi;
}

void FakePlayer::Compose(DisplayObject* o) {
    double r = o->rotation * Pi / 180;
    double xs = o->xscale / 100, ys = o->yscale / 100;
    o->matrix.a = std::cos(r) * xs;
    o->matrix.b = std::sin(r) * xs;
    o->matrix.c = -std::sin(r) * ys;
    o->matrix.d = std::cos(r) * ys;
}

Matrix FakePlayer::ToStage(DisplayObject* o) {
    Matrix m;
    for (DisplayObject* p = o; p && p->parent; p = p->parent)
        m = Multiply(p->matrix, m);
    return m;
}

bool FakePlayer::Bounds(DisplayObject* o, const Matrix& toSpace, avm1::Bounds* out) {
    bool any = false;
    auto add = [&](double x0, double y0, double x1, double y1, const Matrix& m) {
        const double xs[2] = {x0, x1}, ys[2] = {y0, y1};
        for (double x : xs) {
            for (double y : ys) {
                double px, py;
                Apply(m, x, y, &px, &py);
                if (!any) {
                    out->xMin = out->xMax = px;
                    out->yMin = out->yMax = py;
                    any = true;
                } else {
                    out->xMin = std::min(out->xMin, px);
                    out->xMax = std::max(out->xMax, px);
                    out->yMin = std::min(out->yMin, py);
                    out->yMax = std::max(out->yMax, py);
                }
            }
        }
    };
    if (o->def && o->def->kind != CHAR_SPRITE && o->def->kind != CHAR_BUTTON)
        add(o->def->xMin, o->def->yMin, o->def->xMax, o->def->yMax, toSpace);
    if (o->hasDrawing)
        add(o->drawXMin * 20, o->drawYMin * 20, o->drawXMax * 20, o->drawYMax * 20, toSpace);
    for (auto& child : o->children) {
        avm1::Bounds b;
        if (Bounds(child.second.get(), Multiply(toSpace, child.second->matrix), &b)) {
            Matrix identity;
            add(b.xMin, b.yMin, b.xMax, b.yMax, identity);
        }
    }
    return any;
}

double FakePlayer::GetProperty(ClipRef clip, int property) {
    DisplayObject* o = Obj(clip);
    switch (property) {
    case avm1::PROP_X:
        return o->matrix.tx / 20;
    case avm1::PROP_Y:
        return o->matrix.ty / 20;
    case avm1::PROP_XSCALE:
        return o->xscale;
    case avm1::PROP_YSCALE:
        return o->yscale;
    case avm1::PROP_CURRENTFRAME:
        return std::max(1, o->currentFrame);
    case avm1::PROP_TOTALFRAMES:
    case avm1::PROP_FRAMESLOADED:
        return TotalFrames(o);
    case avm1::PROP_ALPHA:
        return o->alpha;
    case avm1::PROP_VISIBLE:
        return o->visible ? 1 : 0;
    case avm1::PROP_WIDTH:
    case avm1::PROP_HEIGHT: {
        avm1::Bounds b;
        if (!Bounds(o, o->matrix, &b))
            return 0;
        double size = property == avm1::PROP_WIDTH ? b.xMax - b.xMin : b.yMax - b.yMin;
        return std::round(size) / 20;
    }
    case avm1::PROP_ROTATION:
        return o->rotation;
    case avm1::PROP_HIGHQUALITY:
        return 1;
    case avm1::PROP_FOCUSRECT:
        return 1;
    case avm1::PROP_SOUNDBUFTIME:
        return 5;
    case avm1::PROP_XMOUSE:
    case avm1::PROP_YMOUSE: {
        double x = 0, y = 0;
        GlobalToLocal(clip, &x, &y);
        return property == avm1::PROP_XMOUSE ? x : y;
    }
    default:
        return 0;
    }
}

void FakePlayer::SetProperty(ClipRef clip, int property, double value) {
    DisplayObject* o = Obj(clip);
    if (std::isnan(value) && property != avm1::PROP_ALPHA)
        return;
    switch (property) {
    case avm1::PROP_X:
        o->matrix.tx = std::round(value * 20);
        o->scriptMoved = true;
        break;
    case avm1::PROP_Y:
        o->matrix.ty = std::round(value * 20);
        o->scriptMoved = true;
        break;
    case avm1::PROP_XSCALE:
        o->xscale = value;
        Compose(o);
        o->scriptMoved = true;
        break;
    case avm1::PROP_YSCALE:
        o->yscale = value;
        Compose(o);
        o->scriptMoved = true;
        break;
    case avm1::PROP_ROTATION:
        value = std::fmod(value, 360);
        if (value > 180)
            value -= 360;
        else if (value < -180)
            value += 360;
        o->rotation = value;
        Compose(o);
        o->scriptMoved = true;
        break;
    case avm1::PROP_ALPHA:
        if (!std::isnan(value))
            o->alpha = value;
        break;
    case avm1::PROP_VISIBLE:
        o->visible = value != 0;
        break;
    case avm1::PROP_WIDTH:
    case avm1::PROP_HEIGHT: {
        double current = GetProperty(clip, property);
        if (current == 0)
            break;
        if (property == avm1::PROP_WIDTH)
            o->xscale *= value / current;
        else
            o->yscale *= value / current;
        Compose(o);
        o->scriptMoved = true;
        break;
    }
    default:
        break;
    }
}

// Removes what a script's new clip replaces at depth; false when that took
// the parent with it.
bool FakePlayer::ClearDepth(DisplayObject* parent, int depth) {
    uint64_t parentId = parent->created;
    auto it = parent->children.find(depth);
    if (it != parent->children.end())
        Remove(it->second.get());
    return Alive(parent, parentId);
}

ClipRef FakePlayer::DuplicateClip(ClipRef clip, const std::string& name, int depth) {
    DisplayObject* source = Obj(clip);
    DisplayObject* parent = source->parent;
    if (!parent)
        return nullptr;
    // What is copied is taken first: the clip at the target depth may be
    // the source itself, and goes before the copy comes.
    auto copyLook = [](const DisplayObject& from, DisplayObject* to) {
        to->matrix = from.matrix;
        to->xscale = from.xscale;
        to->yscale = from.yscale;
        to->rotation = from.rotation;
        to->alpha = from.alpha;
        to->visible = from.visible;
        to->color = from.color;
        to->actions = from.actions;
        to->hasDrawing = from.hasDrawing;
        to->drawXMin = from.drawXMin;
        to->drawYMin = from.drawYMin;
        to->drawXMax = from.drawXMax;
        to->drawYMax = from.drawYMax;
    };
    DisplayObject model;
    model.character = source->character;
    copyLook(*source, &model);
    int d = depth + ScriptDepthBase;
    if (!ClearDepth(parent, d))
        return nullptr;
    DisplayObject* copy = NewObject(parent, model.character, d, name, true, false);
    copyLook(model, copy);
    Settle(copy);
    return copy;
}

ClipRef FakePlayer::AttachClip(ClipRef parentRef, const std::string& exportName, const std::string& name,
                               int depth) {
    DisplayObject* parent = Obj(parentRef);
    auto e = movie_.exports.begin();
    while (e != movie_.exports.end() && !SameName(e->first, exportName, false))
        ++e;
    if (e == movie_.exports.end())
        return nullptr;
    auto c = movie_.characters.find(e->second);
    if (c == movie_.characters.end() || c->second.kind != CHAR_SPRITE)
        return nullptr;
    int d = depth + ScriptDepthBase;
    if (!ClearDepth(parent, d))
        return nullptr;
    PlaceRecord record;
    record.character = e->second;
    return Place(parent, record, true, name, d);
}

ClipRef FakePlayer::CreateEmptyClip(ClipRef parentRef, const std::string& name, int depth) {
    DisplayObject* parent = Obj(parentRef);
    int d = depth + ScriptDepthBase;
    if (!ClearDepth(parent, d))
        return nullptr;
    DisplayObject* o = NewObject(parent, 0, d, name, true, false);
    Settle(o);
    return o;
}

ClipRef FakePlayer::CreateTextField(ClipRef parentRef, const std::string& name, int depth,
                                    const avm1::Bounds& box) {
    DisplayObject* parent = Obj(parentRef);
    int d = depth + ScriptDepthBase;
    if (!ClearDepth(parent, d))
        return nullptr;
    DisplayObject* o = NewObject(parent, 0, d, name, true, false);
    o->kind = avm1::CLIP_TEXT;
    o->timeline = nullptr;
    o->matrix.tx = box.xMin * 20;
    o->matrix.ty = box.yMin * 20;
    o->hasDrawing = true;
    o->drawXMax = box.xMax - box.xMin;
    o->drawYMax = box.yMax - box.yMin;
    Settle(o);
    return o;
}

bool FakePlayer::RemoveClip(ClipRef clip) {
    DisplayObject* o = Obj(clip);
    if (!o->parent || o->removing)
        return false;
    Remove(o);
    return true;
}

bool FakePlayer::SwapDepths(ClipRef clip, int depth) {
    DisplayObject* o = Obj(clip);
    DisplayObject* parent = o->parent;
    if (!parent)
        return false;
    int target = depth + ScriptDepthBase;
    if (target == o->depth)
        return true;
    auto mine = parent->children.find(o->depth);
    std::unique_ptr<DisplayObject> self = std::move(mine->second);
    parent->children.erase(mine);
    auto other = parent->children.find(target);
    if (other != parent->children.end()) {
        std::unique_ptr<DisplayObject> moved = std::move(other->second);
        parent->children.erase(other);
        moved->depth = o->depth;
        moved->dynamic = true;
        parent->children[moved->depth] = std::move(moved);
    }
    o->depth = target;
    o->dynamic = true;
    parent->children[target] = std::move(self);
    return true;
}

ClipRef FakePlayer::ClipAtDepth(ClipRef parent, int depth) {
    auto& children = Obj(parent)->children;
    auto it = children.find(depth + ScriptDepthBase);
    return it == children.end() || it->second->kind == avm1::CLIP_OTHER ? nullptr : it->second.get();
}

int FakePlayer::NextHighestDepth(ClipRef parent) {
    int next = 0;
    for (auto& child : Obj(parent)->children)
        next = std::max(next, child.first - ScriptDepthBase + 1);
    return next;
}

avm1::Bounds FakePlayer::GetBounds(ClipRef clip, ClipRef space) {
    DisplayObject* o = Obj(clip);
    Matrix toSpace = ToStage(o);
    if (space)
        toSpace = Multiply(Invert(ToStage(Obj(space))), toSpace);
    avm1::Bounds b;
    if (!Bounds(o, toSpace, &b)) {
        b.xMin = b.yMin = b.xMax = b.yMax = EmptyBound;
        return b;
    }
    b.xMin /= 20;
    b.yMin /= 20;
    b.xMax /= 20;
    b.yMax /= 20;
    return b;
}

bool FakePlayer::HitTestPoint(ClipRef clip, double x, double y, bool shapeOnly) {
    (void)shapeOnly;
    avm1::Bounds b = GetBounds(clip, nullptr);
    return b.xMin != EmptyBound && x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
}

void FakePlayer::LocalToGlobal(ClipRef clip, double* x, double* y) {
    Matrix m = ToStage(Obj(clip));
    double px, py;
    Apply(m, *x * 20, *y * 20, &px, &py);
    *x = px / 20;
    *y = py / 20;
}

void FakePlayer::GlobalToLocal(ClipRef clip, double* x, double* y) {
    Matrix m = Invert(ToStage(Obj(clip)));
    double px, py;
    Apply(m, *x * 20, *y * 20, &px, &py);
    *x = px / 20;
    *y = py / 20;
}

void FakePlayer::Draw(ClipRef clip, const avm1::DrawCommand& command) {
    DisplayObject* o = Obj(clip);
    auto include = [o](double x, double y) {
        if (!o->hasDrawing) {
            o->hasDrawing = true;
            o->drawXMin = o->drawXMax = x;
            o->drawYMin = o->drawYMax = y;
            return;
        }
        o->drawXMin = std::min(o->drawXMin, x);
        o->drawXMax = std::max(o->drawXMax, x);
        o->drawYMin = std::min(o->drawYMin, y);
        o->drawYMax = std::max(o->drawYMax, y);
    };
    switch (command.op) {
    case avm1::DRAW_CLEAR:
        o->hasDrawing = false;
        o->penX = o->penY = 0;
        break;
    case avm1::DRAW_MOVE_TO:
        o->penX = command.args[0];
        o->penY = command.args[1];
        break;
    case avm1::DRAW_LINE_TO:
        include(o->penX, o->penY);
        o->penX = command.args[0];
        o->penY = command.args[1];
        include(o->penX, o->penY);
        break;
    case avm1::DRAW_CURVE_TO:
        include(o->penX, o->penY);
        include(command.args[0], command.args[1]);
        o->penX = command.args[2];
        o->penY = command.args[3];
        include(o->penX, o->penY);
        break;
    default:
        break;
    }
}

avm1::ColorTransform FakePlayer::GetColorTransform(ClipRef clip) { return Obj(clip)->color; }

void FakePlayer::SetColorTransform(ClipRef clip, const avm1::ColorTransform& transform) {
    Obj(clip)->color = transform;
}

bool FakePlayer::GetTextProperty(ClipRef field, const std::string& name, std::string* value) {
    DisplayObject* o = Obj(field);
    if (name == "text" || name == "htmlText") {
        *value = o->text;
        return true;
    }
    return false;
}

bool FakePlayer::SetTextProperty(ClipRef field, const std::string& name, const std::string& value) {
    DisplayObject* o = Obj(field);
    if (name == "text" || name == "htmlText") {
        o->text = value;
        return true;
    }
    return false;
}

} // namespace swftest
