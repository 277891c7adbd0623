#include "player/movie.h"

#include "player/png.h"

#include <cctype>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

int Timeline::FrameOfLabel(const std::string& label) const {
    auto it = labels.find(Lower(label));
    return it == labels.end() ? -1 : it->second;
}

void Movie::Release() {
    dictionary_.clear();
    body_.clear();
    body_.shrink_to_fit();
    root = Timeline();
    exports.clear();
    bitmapPixels = 0;
    hasBackground_ = false;
    jpegTables_ = ByteRange();
    damaged = false;
    background = SwfColor{255, 255, 255, 255};
}

ByteRange Movie::RangeOf(const uint8_t* p, size_t n) const {
    ByteRange r;
    r.offset = static_cast<uint32_t>(p - body_.data());
    r.length = static_cast<uint32_t>(n);
    return r;
}

int Movie::Load(const uint8_t* data, size_t size) {
    Release();
    size_t tags = 0;
    int result = SwfOpen(data, size, &header, &body_, &tags);
    if (result != SWF_OK)
        return result;
    ParseTimeline(tags, body_.size() - tags, &root, true);
    if (root.frames.empty())
        root.frames.emplace_back();
    return SWF_OK;
}

const Character* Movie::Find(uint16_t id) const {
    auto it = dictionary_.find(id);
    return it == dictionary_.end() ? nullptr : it->second.get();
}

const Font* Movie::GetFont(uint16_t id) const {
    const Character* c = Find(id);
    return c && c->kind == CHAR_FONT ? &static_cast<const FontCharacter*>(c)->font : nullptr;
}

const Font* Movie::FindFont(const std::string& face, bool bold, bool italic) const {
    std::string want = Lower(face);
    const Font* best = nullptr;
    // The lowest id wins among equals, so that the choice does not depend on the map's order.
    uint16_t bestId = 0;
    for (const auto& entry : dictionary_) {
        if (entry.second->kind != CHAR_FONT)
            continue;
        const Font& f = static_cast<const FontCharacter*>(entry.second.get())->font;
        if (Lower(f.name) != want || f.bold != bold || f.italic != italic || f.glyphs.empty())
            continue;
        if (!best || entry.first < bestId) {
            best = &f;
            bestId = entry.first;
        }
    }
    return best;
}

const Bitmap* Movie::GetBitmap(uint16_t id) {
    auto it = dictionary_.find(id);
    if (it == dictionary_.end() || it->second->kind != CHAR_BITMAP)
        return nullptr;
    BitmapCharacter* b = static_cast<BitmapCharacter*>(it->second.get());
    if (!b->decoded) {
        b->decoded = true;
        const uint8_t* p = Bytes(b->data);
        size_t n = b->data.length;
        if (b->tag == TAG_DEFINE_BITS_LOSSLESS || b->tag == TAG_DEFINE_BITS_LOSSLESS2) {
            b->usable = DecodeLossless(p, n, b->tag == TAG_DEFINE_BITS_LOSSLESS2 ? 2 : 1, &b->bitmap);
        } else if (b->tag == TAG_DEFINE_BITS) {
            b->usable = DecodeJpeg(p, n, Bytes(jpegTables_), jpegTables_.length, &b->bitmap);
        } else if (b->tag == TAG_DEFINE_BITS_JPEG2) {
            b->usable = IsPng(p, n) ? DecodePng(p, n, &b->bitmap) : DecodeJpeg(p, n, nullptr, 0, &b->bitmap);
        } else if (b->tag == TAG_DEFINE_BITS_JPEG3 && n >= 4) {
            uint32_t alphaOffset = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
            if (alphaOffset <= n - 4) {
                if (IsPng(p + 4, alphaOffset)) {
                    // A PNG brings its own transparency; the alpha plane is for JPEG data only.
                    b->usable = DecodePng(p + 4, alphaOffset, &b->bitmap);
                } else {
                    b->usable = DecodeJpeg(p + 4, alphaOffset, nullptr, 0, &b->bitmap);
                    if (b->usable)
                        ApplyAlphaPlane(p + 4 + alphaOffset, n - 4 - alphaOffset, &b->bitmap);
                }
            }
        }
        int64_t pixels = static_cast<int64_t>(b->bitmap.width) * b->bitmap.height;
        if (b->usable && bitmapPixels + pixels > MOVIE_BITMAP_BUDGET)
            b->usable = false;
        if (b->usable) {
            bitmapPixels += pixels;
        } else {
            b->bitmap = Bitmap();
            damaged = true;
        }
    }
    return b->usable ? &b->bitmap : nullptr;
}

void Movie::Define(std::unique_ptr<Character> c, uint16_t id) {
    c->id = id;
    dictionary_.emplace(id, std::move(c)); // a second definition of an id is ignored
}

bool Movie::ParsePlace(const SwfTag& tag, FrameCommand* out) {
    SwfReader r(tag.data, tag.length);
    PlaceCommand& p = out->place;
    out->kind = CMD_PLACE;
    if (tag.code == TAG_PLACE_OBJECT) {
        p.flags = PLACE_CHARACTER | PLACE_MATRIX;
        p.characterId = r.U16();
        p.depth = r.U16();
        p.matrix = ReadMatrix(r);
        if (!r.Failed() && !r.AtEnd()) {
            p.cxform = ReadColorTransform(r, false);
            p.flags |= PLACE_CXFORM;
        }
        return !r.Failed();
    }
    uint8_t f1 = r.U8();
    uint8_t f2 = tag.code == TAG_PLACE_OBJECT3 ? r.U8() : 0;
    p.depth = r.U16();
    if (f1 & 0x01)
        p.flags |= PLACE_MOVE;
    if ((f2 & 0x08) || ((f2 & 0x10) && (f1 & 0x02)))
        r.String(); // class name
    if (f1 & 0x02) {
        p.flags |= PLACE_CHARACTER;
        p.characterId = r.U16();
    }
    if (f1 & 0x04) {
        p.flags |= PLACE_MATRIX;
        p.matrix = ReadMatrix(r);
    }
    if (f1 & 0x08) {
        p.flags |= PLACE_CXFORM;
        p.cxform = ReadColorTransform(r, true);
    }
    if (f1 & 0x10) {
        p.flags |= PLACE_RATIO;
        p.ratio = r.U16();
    }
    if (f1 & 0x20) {
        p.flags |= PLACE_NAME;
        p.name = r.String();
    }
    if (f1 & 0x40) {
        p.flags |= PLACE_CLIP_DEPTH;
        p.clipDepth = r.U16();
    }
    if (r.Failed())
        return false;
    if (f2 & 0x01) {
        p.flags |= PLACE_FILTERS;
        if (!ParseFilters(r, &p.filters))
            return true; // the placement itself is good
    }
    if (f2 & 0x02) {
        p.flags |= PLACE_BLEND;
        p.blendMode = r.U8();
        if (p.blendMode == 0 || p.blendMode > BLEND_HARDLIGHT)
            p.blendMode = BLEND_NORMAL;
    }
    if (f2 & 0x04)
        r.U8(); // cache as bitmap
    if (f2 & 0x20) {
        p.flags |= PLACE_VISIBLE;
        p.visible = r.U8() != 0;
    }
    if (f2 & 0x40)
        ReadRgba(r);
    if ((f1 & 0x80) && !r.Failed()) {
        p.flags |= PLACE_CLIP_ACTIONS;
        p.clipActions = RangeOf(tag.data + r.Position(), r.Remaining());
    }
    return true;
}

void Movie::ParseDefinition(const SwfTag& tag) {
    static const uint16_t definitions[] = {TAG_DEFINE_SHAPE, TAG_DEFINE_SHAPE2, TAG_DEFINE_SHAPE3, TAG_DEFINE_SHAPE4,
                                           TAG_DEFINE_MORPH_SHAPE, TAG_DEFINE_MORPH_SHAPE2, TAG_DEFINE_BITS,
                                           TAG_DEFINE_BITS_JPEG2, TAG_DEFINE_BITS_JPEG3, TAG_DEFINE_BITS_LOSSLESS,
                                           TAG_DEFINE_BITS_LOSSLESS2, TAG_DEFINE_FONT, TAG_DEFINE_FONT2, TAG_DEFINE_FONT3,
                                           TAG_DEFINE_TEXT, TAG_DEFINE_TEXT2, TAG_DEFINE_EDIT_TEXT, TAG_DEFINE_BUTTON,
                                           TAG_DEFINE_BUTTON2};
    bool known = false;
    for (uint16_t code : definitions)
        known = known || code == tag.code;
    if (!known)
        return; // unknown tags are skipped by their length
    SwfReader r(tag.data, tag.length);
    uint16_t id = r.U16();
    if (r.Failed()) {
        damaged = true;
        return;
    }
    if (Find(id))
        return;
    bool ok = true;
    switch (tag.code) {
    case TAG_DEFINE_SHAPE:
    case TAG_DEFINE_SHAPE2:
    case TAG_DEFINE_SHAPE3:
    case TAG_DEFINE_SHAPE4: {
        auto c = std::make_unique<ShapeCharacter>();
        int version = tag.code == TAG_DEFINE_SHAPE ? 1 : tag.code == TAG_DEFINE_SHAPE2 ? 2 : tag.code == TAG_DEFINE_SHAPE3 ? 3 : 4;
        ok = ParseDefineShape(r, version, &c->shape);
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_MORPH_SHAPE:
    case TAG_DEFINE_MORPH_SHAPE2: {
        auto c = std::make_unique<MorphCharacter>();
        ok = ParseDefineMorphShape(r, tag.code == TAG_DEFINE_MORPH_SHAPE2 ? 2 : 1, &c->morph);
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_BITS:
    case TAG_DEFINE_BITS_JPEG2:
    case TAG_DEFINE_BITS_JPEG3:
    case TAG_DEFINE_BITS_LOSSLESS:
    case TAG_DEFINE_BITS_LOSSLESS2: {
        auto c = std::make_unique<BitmapCharacter>();
        c->tag = tag.code;
        c->data = RangeOf(tag.data + 2, tag.length - 2);
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_FONT:
    case TAG_DEFINE_FONT2:
    case TAG_DEFINE_FONT3: {
        auto c = std::make_unique<FontCharacter>();
        if (tag.code == TAG_DEFINE_FONT) {
            SwfReader glyphs(tag.data + 2, tag.length - 2);
            ok = ParseDefineFont(glyphs, &c->font);
        } else {
            ok = ParseDefineFont2(r, tag.code == TAG_DEFINE_FONT3 ? 3 : 2, &c->font);
        }
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_TEXT:
    case TAG_DEFINE_TEXT2: {
        auto c = std::make_unique<TextCharacter>();
        ok = ParseDefineText(r, tag.code == TAG_DEFINE_TEXT2 ? 2 : 1, &c->text);
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_EDIT_TEXT: {
        auto c = std::make_unique<EditTextCharacter>();
        ok = ParseDefineEditText(r, &c->def);
        Define(std::move(c), id);
        break;
    }
    case TAG_DEFINE_BUTTON:
    case TAG_DEFINE_BUTTON2: {
        auto c = std::make_unique<ButtonCharacter>();
        c->data = RangeOf(tag.data + 2, tag.length - 2);
        Define(std::move(c), id);
        break;
    }
    default:
        break;
    }
    if (!ok)
        damaged = true;
}

void Movie::ParseTimeline(size_t offset, size_t size, Timeline* timeline, bool isRoot) {
    SwfTagReader tags(body_.data() + offset, size);
    SwfTag tag;
    FrameDef frame;
    bool pending = false; // tags seen since the last ShowFrame
    while (tags.Next(&tag)) {
        if (tag.truncated)
            damaged = true;
        SwfReader r(tag.data, tag.length);
        switch (tag.code) {
        case TAG_END:
            break;
        case TAG_SHOW_FRAME:
            timeline->frames.push_back(std::move(frame));
            frame = FrameDef();
            pending = false;
            continue;
        case TAG_PLACE_OBJECT:
        case TAG_PLACE_OBJECT2:
        case TAG_PLACE_OBJECT3: {
            FrameCommand cmd;
            if (ParsePlace(tag, &cmd))
                frame.commands.push_back(std::move(cmd));
            else
                damaged = true;
            break;
        }
        case TAG_REMOVE_OBJECT:
        case TAG_REMOVE_OBJECT2: {
            FrameCommand cmd;
            cmd.kind = CMD_REMOVE;
            if (tag.code == TAG_REMOVE_OBJECT)
                r.U16();
            cmd.place.depth = r.U16();
            if (!r.Failed())
                frame.commands.push_back(std::move(cmd));
            break;
        }
        case TAG_SET_BACKGROUND_COLOR: {
            // The first colour holds for the whole movie; later ones are ignored.
            SwfColor c = ReadRgb(r);
            if (!r.Failed() && isRoot && !hasBackground_) {
                background = c;
                hasBackground_ = true;
            }
            break;
        }
        case TAG_FRAME_LABEL: {
            std::string label = Lower(r.String());
            timeline->labels.emplace(label, static_cast<int>(timeline->frames.size()));
            break;
        }
        case TAG_DO_ACTION:
            frame.actions.push_back(RangeOf(tag.data, tag.length));
            break;
        case TAG_DO_INIT_ACTION: {
            InitAction a;
            a.spriteId = r.U16();
            if (!r.Failed()) {
                a.code = RangeOf(tag.data + 2, tag.length - 2);
                frame.initActions.push_back(a);
            }
            break;
        }
        case TAG_JPEG_TABLES:
            if (isRoot && jpegTables_.length == 0)
                jpegTables_ = RangeOf(tag.data, tag.length);
            break;
        case TAG_EXPORT_ASSETS:
            if (isRoot) {
                int count = r.U16();
                for (int i = 0; i < count && !r.Failed(); ++i) {
                    uint16_t id = r.U16();
                    std::string name = r.String();
                    if (!r.Failed())
                        exports.emplace(name, id);
                }
            }
            break;
        case TAG_DEFINE_SPRITE:
            if (isRoot) {
                uint16_t id = r.U16();
                r.U16(); // frame count: the ShowFrame tags decide
                if (r.Failed() || Find(id))
                    break;
                auto sprite = std::make_unique<SpriteCharacter>();
                // Sprites inside sprites are not part of the format; their tags are skipped.
                ParseTimeline(static_cast<size_t>(tag.data + 4 - body_.data()), tag.length - 4, &sprite->timeline, false);
                Define(std::move(sprite), id);
            }
            break;
        default:
            if (isRoot)
                ParseDefinition(tag);
            break;
        }
        if (tag.code != TAG_END)
            pending = true;
    }
    if (tags.Truncated())
        damaged = true;
    if (pending && !frame.commands.empty())
        timeline->frames.push_back(std::move(frame));
}
