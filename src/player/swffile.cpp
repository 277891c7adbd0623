#include "player/swffile.h"

#include <zlib.h>

#include <cstring>

namespace {

// Inflates src into out after its first 8 bytes, growing by chunks up to SWF_MAX_BODY.
int Inflate(const uint8_t* src, size_t size, size_t expected, std::vector<uint8_t>* out) {
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK)
        return SWF_ERR_COMPRESSION;
    size_t capacity = expected > 8 && expected <= SWF_MAX_BODY ? expected : 1u << 20;
    out->resize(capacity);
    size_t produced = 8;
    z.next_in = const_cast<Bytef*>(src);
    z.avail_in = static_cast<uInt>(size);
    int result = SWF_OK;
    for (;;) {
        if (produced == out->size()) {
            if (out->size() >= SWF_MAX_BODY) {
                result = SWF_ERR_TOO_LARGE;
                break;
            }
            size_t grow = out->size() * 2;
            out->resize(grow < SWF_MAX_BODY ? grow : SWF_MAX_BODY);
        }
        z.next_out = out->data() + produced;
        z.avail_out = static_cast<uInt>(out->size() - produced);
        int status = inflate(&z, Z_NO_FLUSH);
        produced = out->size() - z.avail_out;
        if (status == Z_STREAM_END)
            break;
        if (status == Z_BUF_ERROR && z.avail_in == 0)
            break; // cut short: keep what was inflated
        if (status != Z_OK && status != Z_BUF_ERROR) {
            // Damage after a good part: play what came out before it.
            if (produced < 8 + 13)
                result = SWF_ERR_COMPRESSION;
            break;
        }
    }
    inflateEnd(&z);
    out->resize(produced);
    return result;
}

} // namespace

int SwfOpen(const uint8_t* data, size_t size, SwfHeader* header, std::vector<uint8_t>* body, size_t* tagsOffset) {
    *header = SwfHeader();
    body->clear();
    *tagsOffset = 0;
    if (size < 8 || data[1] != 'W' || data[2] != 'S')
        return SWF_ERR_NOT_SWF;
    if (data[0] == 'Z')
        return SWF_ERR_UNSUPPORTED;
    if (data[0] != 'F' && data[0] != 'C')
        return SWF_ERR_NOT_SWF;
    header->compressed = data[0] == 'C';
    header->version = data[3];
    header->fileLength = data[4] | data[5] << 8 | data[6] << 16 | static_cast<uint32_t>(data[7]) << 24;
    if (header->compressed) {
        int result = Inflate(data + 8, size - 8, header->fileLength, body);
        if (result != SWF_OK) {
            body->clear();
            return result;
        }
    } else {
        if (size > SWF_MAX_BODY)
            return SWF_ERR_TOO_LARGE;
        body->assign(data, data + size);
    }
    memcpy(body->data(), data, 8);
    SwfReader r(body->data() + 8, body->size() - 8);
    header->frameSize = ReadRect(r);
    uint16_t rate = r.U16();
    header->frameRate = rate / 256.0f;
    header->frameCount = r.U16();
    if (r.Failed()) {
        body->clear();
        return SWF_ERR_TRUNCATED;
    }
    *tagsOffset = 8 + r.Position();
    return SWF_OK;
}

bool SwfPeekHeader(const uint8_t* data, size_t size, SwfHeader* header) {
    *header = SwfHeader();
    if (size < 8 || data[1] != 'W' || data[2] != 'S' || (data[0] != 'F' && data[0] != 'C'))
        return false;
    // The stage rectangle, rate and count take at most 17 + 4 bytes.
    uint8_t head[32] = {};
    size_t have = 0;
    if (data[0] == 'F') {
        have = size - 8 < sizeof head ? size - 8 : sizeof head;
        memcpy(head, data + 8, have);
    } else {
        z_stream z;
        memset(&z, 0, sizeof z);
        if (inflateInit(&z) != Z_OK)
            return false;
        z.next_in = const_cast<Bytef*>(data + 8);
        z.avail_in = static_cast<uInt>(size - 8);
        z.next_out = head;
        z.avail_out = sizeof head;
        inflate(&z, Z_SYNC_FLUSH);
        have = sizeof head - z.avail_out;
        inflateEnd(&z);
    }
    SwfReader r(head, have);
    header->compressed = data[0] == 'C';
    header->version = data[3];
    header->frameSize = ReadRect(r);
    header->frameRate = r.U16() / 256.0f;
    header->frameCount = r.U16();
    return !r.Failed();
}

const char* SwfErrorText(int code) {
    switch (code) {
    case SWF_OK:
        return "No error.";
    case SWF_ERR_NOT_SWF:
        return "Not an SWF movie.";
    case SWF_ERR_TRUNCATED:
        return "The movie is cut short.";
    case SWF_ERR_COMPRESSION:
        return "The movie's compressed data is damaged.";
    case SWF_ERR_TOO_LARGE:
        return "The movie is too large.";
    case SWF_ERR_UNSUPPORTED:
        return "The movie uses a compression this player does not support.";
    default:
        return "The movie cannot be read.";
    }
}

bool SwfTagReader::Next(SwfTag* tag) {
    if (ended_ || size_ - pos_ < 2)
        return false;
    uint16_t head = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    size_t length = head & 0x3F;
    if (length == 0x3F) {
        if (size_ - pos_ < 4) {
            pos_ = size_;
            truncated_ = true;
            return false;
        }
        length = data_[pos_] | data_[pos_ + 1] << 8 | data_[pos_ + 2] << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
    }
    tag->code = head >> 6;
    tag->data = data_ + pos_;
    tag->truncated = length > size_ - pos_;
    if (tag->truncated) {
        length = size_ - pos_;
        truncated_ = true;
    }
    tag->length = length;
    pos_ += length;
    if (tag->code == TAG_END)
        ended_ = true;
    return true;
}
