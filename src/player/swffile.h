// The outer layer of a movie: the header (plain "FWS" or zlib "CWS"), the
// decompressed body and the framing of its tags.
//
// SwfOpen copies or inflates the movie into the caller's buffer, bounded by
// SWF_MAX_BODY whatever the header claims; a wrong FileLength is tolerated. It
// returns SWF_OK or one of the SWF_ERR_ codes, whose text SwfErrorText gives.
// SwfTagReader walks tags over a byte range it does not own; a tag whose
// length runs past the range is cut to what is there and marked truncated.
#pragma once

#include "player/swfrecords.h"

#include <cstdint>
#include <vector>

enum : int {
    SWF_OK = 0,
    SWF_ERR_NOT_SWF = 1,
    SWF_ERR_TRUNCATED = 2,
    SWF_ERR_COMPRESSION = 3,
    SWF_ERR_TOO_LARGE = 4,
    SWF_ERR_UNSUPPORTED = 5,
};

// Upper bound of a decompressed movie.
constexpr size_t SWF_MAX_BODY = 256u << 20;

struct SwfHeader {
    bool compressed = false;
    int version = 0;
    uint32_t fileLength = 0;
    SwfRect frameSize;
    float frameRate = 0; // frames per second as stored (8.8)
    uint16_t frameCount = 0;
};

// body receives the uncompressed file, header included; tagsOffset where the
// first tag starts in it.
int SwfOpen(const uint8_t* data, size_t size, SwfHeader* header, std::vector<uint8_t>* body, size_t* tagsOffset);
const char* SwfErrorText(int code);
// Reads only the header (inflating no more than its first bytes); false when it cannot be had.
bool SwfPeekHeader(const uint8_t* data, size_t size, SwfHeader* header);

enum : uint16_t {
    TAG_END = 0,
    TAG_SHOW_FRAME = 1,
    TAG_DEFINE_SHAPE = 2,
    TAG_PLACE_OBJECT = 4,
    TAG_REMOVE_OBJECT = 5,
    TAG_DEFINE_BITS = 6,
    TAG_DEFINE_BUTTON = 7,
    TAG_JPEG_TABLES = 8,
    TAG_SET_BACKGROUND_COLOR = 9,
    TAG_DEFINE_FONT = 10,
    TAG_DEFINE_TEXT = 11,
    TAG_DO_ACTION = 12,
    TAG_DEFINE_FONT_INFO = 13,
    TAG_DEFINE_BITS_LOSSLESS = 20,
    TAG_DEFINE_BITS_JPEG2 = 21,
    TAG_DEFINE_SHAPE2 = 22,
    TAG_PLACE_OBJECT2 = 26,
    TAG_REMOVE_OBJECT2 = 28,
    TAG_DEFINE_SHAPE3 = 32,
    TAG_DEFINE_TEXT2 = 33,
    TAG_DEFINE_BUTTON2 = 34,
    TAG_DEFINE_BITS_JPEG3 = 35,
    TAG_DEFINE_BITS_LOSSLESS2 = 36,
    TAG_DEFINE_EDIT_TEXT = 37,
    TAG_DEFINE_SPRITE = 39,
    TAG_FRAME_LABEL = 43,
    TAG_DEFINE_MORPH_SHAPE = 46,
    TAG_DEFINE_FONT2 = 48,
    TAG_EXPORT_ASSETS = 56,
    TAG_DO_INIT_ACTION = 59,
    TAG_PLACE_OBJECT3 = 70,
    TAG_DEFINE_FONT3 = 75,
    TAG_DEFINE_SHAPE4 = 83,
    TAG_DEFINE_MORPH_SHAPE2 = 84,
};

struct SwfTag {
    uint16_t code = 0;
    const uint8_t* data = nullptr;
    size_t length = 0;
    bool truncated = false;
};

class SwfTagReader {
public:
    SwfTagReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // False at the end of the range or after an End tag.
    bool Next(SwfTag* tag);
    bool Truncated() const { return truncated_; }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ended_ = false;
    bool truncated_ = false;
};
