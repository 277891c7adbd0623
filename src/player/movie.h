// Movie: a loaded SWF file. It owns the decompressed bytes, the dictionary of
// characters and the root timeline; nothing in it changes while the movie
// plays except the bitmap cache (decoded on first use). Script bytes (frame
// actions, init actions, clip actions) are kept as ranges of the body for
// the script engine.
//
// Load returns SWF_OK or an SWF_ERR_ code (SwfErrorText); a movie that
// parses only in part keeps what came before the damage and plays it.
#pragma once

#include "player/bitmap.h"
#include "player/filters.h"
#include "player/font.h"
#include "player/shape.h"
#include "player/swffile.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct ByteRange {
    uint32_t offset = 0, length = 0;
};

enum : uint16_t {
    PLACE_MOVE = 1,
    PLACE_CHARACTER = 2,
    PLACE_MATRIX = 4,
    PLACE_CXFORM = 8,
    PLACE_RATIO = 16,
    PLACE_NAME = 32,
    PLACE_CLIP_DEPTH = 64,
    PLACE_BLEND = 128,
    PLACE_VISIBLE = 256,
    PLACE_CLIP_ACTIONS = 512,
    PLACE_FILTERS = 1024,
};


struct PlaceCommand {
    uint16_t flags = 0;
    uint16_t depth = 0;
    uint16_t characterId = 0;
    SwfMatrix matrix;
    SwfColorTransform cxform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    uint8_t blendMode = BLEND_NORMAL;
    bool visible = true;
    ByteRange clipActions;
    std::vector<Filter> filters;
};

enum : uint8_t { CMD_PLACE, CMD_REMOVE };

struct FrameCommand {
    uint8_t kind = CMD_PLACE;
    PlaceCommand place; // for CMD_REMOVE only the depth counts
};

struct InitAction {
    uint16_t spriteId = 0;
    ByteRange code;
};

struct FrameDef {
    std::vector<FrameCommand> commands;
    std::vector<ByteRange> actions;
    std::vector<InitAction> initActions;
};

struct Timeline {
    std::vector<FrameDef> frames;
    std::map<std::string, int> labels; // lower-case label to 0-based frame

    // 0-based frame of a label (case-insensitive), -1 when there is none.
    int FrameOfLabel(const std::string& label) const;
};

enum CharacterKind : uint8_t { CHAR_SHAPE, CHAR_MORPH, CHAR_SPRITE, CHAR_BITMAP, CHAR_FONT, CHAR_TEXT, CHAR_EDIT_TEXT, CHAR_BUTTON };

struct Character {
    explicit Character(CharacterKind k) : kind(k) {}
    virtual ~Character() = default;
    CharacterKind kind;
    uint16_t id = 0;
};

struct ShapeCharacter : Character {
    ShapeCharacter() : Character(CHAR_SHAPE) {}
    Shape shape;
};

struct MorphCharacter : Character {
    MorphCharacter() : Character(CHAR_MORPH) {}
    MorphShape morph;
};

struct SpriteCharacter : Character {
    SpriteCharacter() : Character(CHAR_SPRITE) {}
    Timeline timeline;
};

struct BitmapCharacter : Character {
    BitmapCharacter() : Character(CHAR_BITMAP) {}
    uint16_t tag = 0;
    ByteRange data; // after the character id
    bool decoded = false;
    bool usable = false;
    Bitmap bitmap;
};

struct FontCharacter : Character {
    FontCharacter() : Character(CHAR_FONT) {}
    Font font;
};

struct TextCharacter : Character {
    TextCharacter() : Character(CHAR_TEXT) {}
    StaticText text;
};

struct EditTextCharacter : Character {
    EditTextCharacter() : Character(CHAR_EDIT_TEXT) {}
    EditTextDef def;
};

// Parsed later with buttons; kept so that an id is known.
struct ButtonCharacter : Character {
    ButtonCharacter() : Character(CHAR_BUTTON) {}
    ByteRange data;
};

// Decoded bitmap pixels of a whole movie stay below this many.
constexpr int64_t MOVIE_BITMAP_BUDGET = 64 << 20;

class Movie {
public:
    int Load(const uint8_t* data, size_t size);
    // Releases everything; safe to call twice.
    void Release();

    const Character* Find(uint16_t id) const;
    // The decoded bitmap, or null when it cannot be had.
    const Bitmap* GetBitmap(uint16_t id);
    const Font* GetFont(uint16_t id) const;
    // A font by face name (case-insensitive) and style, or null.
    const Font* FindFont(const std::string& face, bool bold, bool italic) const;
    const uint8_t* Bytes(const ByteRange& range) const { return body_.data() + range.offset; }

    SwfHeader header;
    SwfColor background{255, 255, 255, 255};
    Timeline root;
    std::map<std::string, uint16_t> exports;
    bool damaged = false; // some tag was cut short or unreadable; the rest still plays
    int64_t bitmapPixels = 0;

private:
    void ParseTimeline(size_t offset, size_t size, Timeline* timeline, bool isRoot);
    void ParseDefinition(const SwfTag& tag);
    bool ParsePlace(const SwfTag& tag, FrameCommand* out);
    void Define(std::unique_ptr<Character> c, uint16_t id);
    ByteRange RangeOf(const uint8_t* p, size_t n) const;

    std::vector<uint8_t> body_;
    std::unordered_map<uint16_t, std::unique_ptr<Character>> dictionary_;
    ByteRange jpegTables_;
    bool hasBackground_ = false;
};
