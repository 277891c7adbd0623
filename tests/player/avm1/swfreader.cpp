#include "swfreader.h"

#include <zlib.h>

namespace swftest {

namespace {

// Reads within [pos, end) of a buffer; every read past the end yields zeros
// and sets failed, so a damaged tag is noticed after the fact.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), end_(size) {}

    bool failed = false;

    size_t Pos() const { return pos_; }
    size_t Left() const { return pos_ < end_ ? end_ - pos_ : 0; }
    void Skip(size_t n) {
        Align();
        if (n > Left()) {
            failed = true;
            pos_ = end_;
        } else {
            pos_ += n;
        }
    }
    uint8_t U8() {
        Align();
        if (pos_ >= end_) {
            failed = true;
            return 0;
        }
        return data_[pos_++];
    }
    uint16_t U16() {
        uint16_t lo = U8();
        return static_cast<uint16_t>(lo | (U8() << 8));
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    std::string String() {
        Align();
        std::string s;
        while (pos_ < end_ && data_[pos_] != 0)
            s += static_cast<char>(data_[pos_++]);
        if (pos_ >= end_)
            failed = true;
        else
            ++pos_;
        return s;
    }
    std::vector<uint8_t> Bytes(size_t n) {
        Align();
        if (n > Left()) {
            failed = true;
            n = Left();
        }
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    uint32_t Bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (bit_ == 0) {
                if (pos_ >= end_) {
                    failed = true;
                    return v;
                }
                byte_ = data_[pos_++];
                bit_ = 8;
            }
            --bit_;
            v = (v << 1) | ((byte_ >> bit_) & 1);
        }
        return v;
    }
    int32_t SignedBits(int n) {
        uint32_t v = Bits(n);
        if (n > 0 && n < 32 && (v & (1u << (n - 1))))
            v |= ~((1u << n) - 1);
        return static_cast<int32_t>(v);
    }
    void Align() { bit_ = 0; }
    Reader Sub(size_t n) {
        Align();
        if (n > Left()) {
            failed = true;
            n = Left();
        }
        Reader r(data_ + pos_, n);
        pos_ += n;
        return r;
    }

private:
    const uint8_t* data_;
    size_t pos_ = 0;
    size_t end_;
    uint8_t byte_ = 0;
    int bit_ = 0;
};

void ReadRect(Reader& r, double* xMin, double* xMax, double* yMin, double* yMax) {
    int n = static_cast<int>(r.Bits(5));
    *xMin = r.SignedBits(n);
    *xMax = r.SignedBits(n);
    *yMin = r.SignedBits(n);
    *yMax = r.SignedBits(n);
    r.Align();
}

Matrix ReadMatrix(Reader& r) {
    Matrix m;
    if (r.Bits(1)) {
        int n = static_cast<int>(r.Bits(5));
        m.a = r.SignedBits(n) / 65536.0;
        m.d = r.SignedBits(n) / 65536.0;
    }
    if (r.Bits(1)) {
        int n = static_cast<int>(r.Bits(5));
        m.b = r.SignedBits(n) / 65536.0;
        m.c = r.SignedBits(n) / 65536.0;
    }
    int n = static_cast<int>(r.Bits(5));
    m.tx = r.SignedBits(n);
    m.ty = r.SignedBits(n);
    r.Align();
    return m;
}

void ReadColorTransform(Reader& r, PlaceRecord* p, bool alpha) {
    bool hasAdd = r.Bits(1) != 0;
    bool hasMult = r.Bits(1) != 0;
    int n = static_cast<int>(r.Bits(4));
    int count = alpha ? 4 : 3;
    if (hasMult)
        for (int i = 0; i < count; ++i)
            p->colorMult[i] = r.SignedBits(n) / 256.0;
    if (hasAdd)
        for (int i = 0; i < count; ++i)
            p->colorAdd[i] = r.SignedBits(n);
    r.Align();
}

void ReadClipActions(Reader& r, int version, PlaceRecord* p) {
    r.U16();
    bool wide = version >= 6;
    if (wide)
        r.U32();
    else
        r.U16();
    while (!r.failed && r.Left() > 0) {
        uint32_t events = wide ? r.U32() : r.U16();
        if (events == 0)
            break;
        uint32_t size = r.U32();
        ClipAction action;
        action.events = events;
        Reader body = r.Sub(size);
        if (events & 0x20000) {
            action.keyCode = body.U8();
            --size;
        }
        action.code = body.Bytes(body.Left());
        p->actions.push_back(action);
    }
}

bool ReadPlace(Reader& r, int code, int version, PlaceRecord* p) {
    if (code == 4) {
        p->hasCharacter = true;
        p->character = r.U16();
        p->depth = r.U16();
        p->hasMatrix = true;
        p->matrix = ReadMatrix(r);
        if (r.Left() > 0) {
            p->hasColor = true;
            ReadColorTransform(r, p, false);
        }
        return !r.failed;
    }
    uint8_t flags = r.U8();
    uint8_t flags2 = code == 70 ? r.U8() : 0;
    p->depth = r.U16();
    p->move = (flags & 1) != 0;
    if (code == 70 && ((flags2 & 8) || ((flags2 & 16) && (flags & 2))))
        r.String();
    if (flags & 2) {
        p->hasCharacter = true;
        p->character = r.U16();
    }
    if (flags & 4) {
        p->hasMatrix = true;
        p->matrix = ReadMatrix(r);
    }
    if (flags & 8) {
        p->hasColor = true;
        ReadColorTransform(r, p, true);
    }
    if (flags & 16) {
        p->hasRatio = true;
        p->ratio = r.U16();
    }
    if (flags & 32) {
        p->hasName = true;
        p->name = r.String();
    }
    if (flags & 64)
        r.U16();
    if (code == 70) {
        if (flags2 & 1) {
            // Filters: skipping them needs their sizes, which depend on type.
            uint8_t count = r.U8();
            for (int i = 0; i < count && !r.failed; ++i) {
                uint8_t type = r.U8();
                switch (type) {
                case 0: r.Skip(23); break;                        // drop shadow
                case 1: r.Skip(9); break;                         // blur
                case 2: r.Skip(15); break;                        // glow
                case 3: r.Skip(27); break;                        // bevel
                case 4:                                           // gradient glow
                case 7: {                                         // gradient bevel
                    uint8_t n = r.U8();
                    r.Skip(n * 5u + 19);
                    break;
                }
                case 5: {                                         // convolution
                    uint8_t w = r.U8(), h = r.U8();
                    r.Skip(8 + w * h * 4u + 4 + 1);
                    break;
                }
                case 6: r.Skip(80); break;                        // colour matrix
                default: return false;
                }
            }
        }
        if (flags2 & 2)
            r.U8();
        if (flags2 & 4)
            r.U8();
    }
    if ((flags & 128) && version >= 5)
        ReadClipActions(r, version, p);
    return !r.failed;
}

bool ReadTags(Reader& r, int version, SwfMovie* movie, Timeline* timeline, int nesting, std::string* error) {
    Frame frame;
    while (r.Left() >= 2) {
        uint16_t header = r.U16();
        uint16_t code = header >> 6;
        uint32_t length = header & 63;
        if (length == 63)
            length = r.U32();
        if (length > r.Left()) {
            *error = "tag " + std::to_string(code) + " runs past the end";
            return false;
        }
        Reader tag = r.Sub(length);
        switch (code) {
        case 0:
            if (!frame.tags.empty() || !frame.label.empty())
                timeline->frames.push_back(frame);
            return true;
        case 1:
            timeline->frames.push_back(frame);
            frame = Frame();
            break;
        case 4:
        case 26:
        case 70: {
            FrameTag t;
            t.kind = TAG_PLACE;
            if (ReadPlace(tag, code, version, &t.place))
                frame.tags.push_back(t);
            break;
        }
        case 5:
        case 28: {
            FrameTag t;
            t.kind = TAG_REMOVE;
            if (code == 5)
                tag.U16();
            t.depth = tag.U16();
            frame.tags.push_back(t);
            break;
        }
        case 12: {
            FrameTag t;
            t.kind = TAG_DO_ACTION;
            t.code = tag.Bytes(tag.Left());
            frame.tags.push_back(t);
            break;
        }
        case 59: {
            FrameTag t;
            t.kind = TAG_INIT_ACTION;
            t.sprite = tag.U16();
            t.code = tag.Bytes(tag.Left());
            frame.tags.push_back(t);
            break;
        }
        case 43:
            frame.label = tag.String();
            break;
        case 39: {
            if (nesting > 0)
                break; // sprites inside sprites are not allowed
            uint16_t id = tag.U16();
            Character c;
            c.kind = CHAR_SPRITE;
            c.timeline = std::make_shared<Timeline>();
            c.timeline->declaredFrames = tag.U16();
            std::string ignored;
            ReadTags(tag, version, movie, c.timeline.get(), nesting + 1, &ignored);
            movie->characters[id] = c;
            break;
        }
        case 56: {
            uint16_t count = tag.U16();
            for (uint16_t i = 0; i < count && !tag.failed; ++i) {
                uint16_t id = tag.U16();
                std::string name = tag.String();
                movie->characters[id].exportName = name;
                movie->exports[name] = id;
            }
            break;
        }
        case 2:
        case 22:
        case 32:
        case 83:
        case 46:
        case 84:
        case 11:
        case 33: {
            uint16_t id = tag.U16();
            Character c;
            c.kind = (code == 11 || code == 33) ? CHAR_TEXT : CHAR_SHAPE;
            ReadRect(tag, &c.xMin, &c.xMax, &c.yMin, &c.yMax);
            std::string name = movie->characters[id].exportName;
            c.exportName = name;
            movie->characters[id] = c;
            break;
        }
        case 37: {
            uint16_t id = tag.U16();
            Character c;
            c.kind = CHAR_EDIT_TEXT;
            ReadRect(tag, &c.xMin, &c.xMax, &c.yMin, &c.yMax);
            uint16_t flags = tag.U16();
            bool hasText = (flags & 0x8000) != 0;
            bool hasColor = (flags & 0x0400) != 0;
            bool hasMaxLength = (flags & 0x0200) != 0;
            bool hasFont = (flags & 0x0100) != 0;
            bool hasFontClass = (flags & 0x0080) != 0;
            bool hasLayout = (flags & 0x0020) != 0;
            c.html = (flags & 0x0002) != 0;
            if (hasFont)
                tag.U16();
            if (hasFontClass)
                tag.String();
            if (hasFont || hasFontClass)
                tag.U16();
            if (hasColor)
                tag.U32();
            if (hasMaxLength)
                tag.U16();
            if (hasLayout)
                tag.Skip(9);
            c.variable = tag.String();
            if (hasText)
                c.initialText = tag.String();
            movie->characters[id] = c;
            break;
        }
        case 7:
        case 34: {
            uint16_t id = tag.U16();
            Character c;
            c.kind = CHAR_BUTTON;
            movie->characters[id] = c;
            break;
        }
        default:
            break;
        }
    }
    if (!frame.tags.empty())
        timeline->frames.push_back(frame);
    return true;
}

} // namespace

bool ReadSwf(const std::string& bytes, SwfMovie* movie, std::string* error) {
    if (bytes.size() < 8) {
        *error = "too short for a header";
        return false;
    }
    char kind = bytes[0];
    if ((kind != 'F' && kind != 'C') || bytes[1] != 'W' || bytes[2] != 'S') {
        *error = "not an SWF file";
        return false;
    }
    movie->version = static_cast<uint8_t>(bytes[3]);
    uint32_t total = static_cast<uint8_t>(bytes[4]) | (static_cast<uint8_t>(bytes[5]) << 8) |
                     (static_cast<uint8_t>(bytes[6]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(bytes[7])) << 24);
    std::vector<uint8_t> body;
    if (kind == 'F') {
        body.assign(bytes.begin() + 8, bytes.end());
    } else {
        // Cap what a damaged length may make us allocate.
        if (total < 8 || total > (64u << 20)) {
            *error = "implausible length " + std::to_string(total);
            return false;
        }
        body.resize(total - 8);
        uLongf size = static_cast<uLongf>(body.size());
        int z = uncompress(body.data(), &size, reinterpret_cast<const Bytef*>(bytes.data() + 8),
                           static_cast<uLong>(bytes.size() - 8));
        if (z != Z_OK && z != Z_BUF_ERROR) {
            *error = "damaged compressed body";
            return false;
        }
        body.resize(size);
    }
    Reader r(body.data(), body.size());
    double xMin, xMax, yMin, yMax;
    ReadRect(r, &xMin, &xMax, &yMin, &yMax);
    movie->width = (xMax - xMin) / 20;
    movie->height = (yMax - yMin) / 20;
    movie->frameRate = r.U16() / 256.0;
    movie->root.declaredFrames = r.U16();
    if (r.failed) {
        *error = "header runs past the end";
        return false;
    }
    return ReadTags(r, movie->version, movie, &movie->root, 0, error);
}

} // namespace swftest
