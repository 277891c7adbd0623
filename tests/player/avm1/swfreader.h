// The tests' own minimal SWF reader, enough to drive the script engine
// without the player: the header (plain or zlib), the tags of each frame of
// the root timeline and of every sprite, the placement records, labels,
// exports and the bounds of shapes and text fields. Other tags are kept
// as nothing.
//
// ReadSwf fills a SwfMovie and returns false with a one-line reason for a
// file it cannot read; what it returns owns all its bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace swftest {

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0; // tx, ty in twips
};

struct ClipAction {
    uint32_t events = 0;
    uint8_t keyCode = 0;
    std::vector<uint8_t> code;
};

// Clip event bits of PlaceObject2's clip actions, as a little-endian word.
enum : uint32_t {
    EVENT_LOAD = 0x1,
    EVENT_ENTER_FRAME = 0x2,
    EVENT_UNLOAD = 0x4,
    EVENT_MOUSE_MOVE = 0x8,
    EVENT_MOUSE_DOWN = 0x10,
    EVENT_MOUSE_UP = 0x20,
    EVENT_KEY_DOWN = 0x40,
    EVENT_KEY_UP = 0x80,
    EVENT_DATA = 0x100,
    EVENT_INITIALIZE = 0x200,
    EVENT_PRESS = 0x400,
    EVENT_RELEASE = 0x800,
    EVENT_CONSTRUCT = 0x40000,
};

struct PlaceRecord {
    bool move = false;
    bool hasCharacter = false;
    bool hasMatrix = false;
    bool hasName = false;
    bool hasRatio = false;
    bool hasColor = false;
    uint16_t depth = 0;
    uint16_t character = 0;
    uint16_t ratio = 0;
    Matrix matrix;
    double colorMult[4] = {1, 1, 1, 1}; // r, g, b, a
    double colorAdd[4] = {0, 0, 0, 0};
    std::string name;
    std::vector<ClipAction> actions;
};

enum TagKind { TAG_PLACE, TAG_REMOVE, TAG_DO_ACTION, TAG_INIT_ACTION };

struct FrameTag {
    TagKind kind = TAG_PLACE;
    PlaceRecord place;     // TAG_PLACE
    uint16_t depth = 0;    // TAG_REMOVE
    uint16_t sprite = 0;   // TAG_INIT_ACTION
    std::vector<uint8_t> code;
};

struct Frame {
    std::vector<FrameTag> tags;
    std::string label;
};

struct Timeline {
    std::vector<Frame> frames;
    uint16_t declaredFrames = 0;
};

enum CharacterKind { CHAR_SHAPE, CHAR_SPRITE, CHAR_TEXT, CHAR_EDIT_TEXT, CHAR_BUTTON, CHAR_OTHER };

struct Character {
    CharacterKind kind = CHAR_OTHER;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // twips
    std::shared_ptr<Timeline> timeline;            // CHAR_SPRITE
    std::string exportName;
    std::string variable;    // CHAR_EDIT_TEXT
    std::string initialText; // CHAR_EDIT_TEXT
    bool html = false;
};

struct SwfMovie {
    int version = 0;
    double frameRate = 12;
    double width = 550, height = 400; // pixels
    Timeline root;
    std::map<uint16_t, Character> characters;
    std::map<std::string, uint16_t> exports;
};

bool ReadSwf(const std::string& bytes, SwfMovie* movie, std::string* error);

} // namespace swftest
