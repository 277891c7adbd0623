#include "player/sound/soundfuzz.h"

#include "player/sound/bytereader.h"
#include "player/sound/soundplayer.h"

#include <algorithm>

namespace snd {

void SndFuzzRecord(std::vector<uint8_t>* input, uint8_t kind, const std::vector<uint8_t>& body) {
    const size_t n = std::min<size_t>(body.size(), 0xFFFF);
    input->push_back(kind);
    input->push_back(static_cast<uint8_t>(n));
    input->push_back(static_cast<uint8_t>(n >> 8));
    input->insert(input->end(), body.begin(), body.begin() + n);
}

int SndFuzzOne(const uint8_t* data, size_t size) {
    SoundPlayer player;
    player.Open(SND_OPEN_MANUAL);
    std::vector<int16_t> out(2 * 4410);
    ByteReader r(data, size);
    int records = 0;
    while (r.Remaining() >= 3) {
        const uint8_t kind = r.U8();
        const size_t length = std::min<size_t>(r.U16(), r.Remaining());
        const uint8_t* body = r.Here();
        const int stream = kind >> 4; // a few streams at once
        switch ((kind & 15) % SND_FUZZ_KINDS) {
        case SND_FUZZ_DEFINE:
            player.DefineSound(body, length);
            break;
        case SND_FUZZ_START:
            player.StartSound(body, length);
            break;
        case SND_FUZZ_HEAD:
            player.StreamHead(stream, body, length);
            break;
        case SND_FUZZ_BLOCK:
            player.StreamBlock(stream, body, length);
            break;
        case SND_FUZZ_STOP_STREAM:
            player.StopStream(stream);
            break;
        default: {
            ByteReader s(body, length);
            const uint16_t id = s.U16();
            const int loops = s.U16();
            player.StartSoundById(id, loops, s.U16() / 1000.0);
            break;
        }
        }
        r.Skip(length);
        player.Render(out.data(), 441);
        player.StreamSeconds(stream);
        ++records;
    }
    player.Render(out.data(), out.size() / 2);
    player.Close();
    return records;
}

} // namespace snd
