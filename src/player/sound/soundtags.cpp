#include "player/sound/soundtags.h"

#include "player/sound/bytereader.h"
#include "player/sound/sounddefs.h"

#include <algorithm>

namespace snd {

int SndRateFromCode(int code) {
    static const int rates[4] = {5512, 11025, 22050, 44100};
    return rates[code & 3];
}

namespace {

// The byte that DefineSound and both stream heads share: format, rate code, size, type.
template <class Record> void ReadFormatByte(uint8_t flags, Record* r) {
    r->format = flags >> 4;
    r->rate = SndRateFromCode((flags >> 2) & 3);
    r->is16Bit = (flags & 2) != 0;
    r->stereo = (flags & 1) != 0;
}

} // namespace

bool SndParseDefineSound(const uint8_t* body, size_t size, SoundDefinition* out) {
    ByteReader r(body, size);
    SoundDefinition d;
    d.id = r.U16();
    uint8_t flags = r.U8();
    d.sampleCount = r.U32();
    if (r.Failed())
        return false;
    ReadFormatByte(flags, &d);
    d.data = r.Here();
    d.size = r.Remaining();
    *out = d;
    return true;
}

bool SndParseSoundInfo(const uint8_t* data, size_t size, SoundStyle* out, size_t* used) {
    ByteReader r(data, size);
    SoundStyle s;
    uint8_t flags = r.U8();
    if (r.Failed())
        return false;
    s.stop = (flags & 0x20) != 0;
    s.noMultiple = (flags & 0x10) != 0;
    // Each optional field only when it is there in full.
    if ((flags & 0x01) && r.Remaining() >= 4) {
        s.hasInPoint = true;
        s.inPoint = r.U32();
    }
    if ((flags & 0x02) && r.Remaining() >= 4) {
        s.hasOutPoint = true;
        s.outPoint = r.U32();
    }
    if ((flags & 0x04) && r.Remaining() >= 2)
        s.loops = std::max<int>(1, r.U16());
    if ((flags & 0x08) && r.Remaining() >= 1) {
        int count = r.U8();
        for (int i = 0; i < count && r.Remaining() >= 8; ++i) {
            EnvelopePoint p;
            p.pos44 = r.U32();
            p.left = r.U16();
            p.right = r.U16();
            s.envelope.push_back(p);
        }
        std::stable_sort(s.envelope.begin(), s.envelope.end(),
                         [](const EnvelopePoint& a, const EnvelopePoint& b) { return a.pos44 < b.pos44; });
    }
    if (used)
        *used = size - r.Remaining();
    *out = std::move(s);
    return true;
}

bool SndParseStartSound(const uint8_t* body, size_t size, uint16_t* id, SoundStyle* style, size_t* used) {
    ByteReader r(body, size);
    uint16_t sound = r.U16();
    size_t info = 0;
    if (r.Failed() || !SndParseSoundInfo(r.Here(), r.Remaining(), style, &info))
        return false;
    *id = sound;
    if (used)
        *used = 2 + info;
    return true;
}

bool SndParseStreamHead(const uint8_t* body, size_t size, StreamFormat* out) {
    ByteReader r(body, size);
    r.U8(); // the advisory playback format
    uint8_t flags = r.U8();
    StreamFormat f;
    f.blockSamples = r.U16();
    if (r.Failed())
        return false;
    ReadFormatByte(flags, &f);
    // A head without its LatencySeek still describes the stream.
    if (f.format == SND_FMT_MP3 && r.Remaining() >= 2)
        f.latencySeek = r.S16();
    *out = f;
    return true;
}

} // namespace snd
