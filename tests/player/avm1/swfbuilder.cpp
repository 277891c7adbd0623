#include "swfbuilder.h"

#include "fakeplayer.h"

namespace swftest {

static void U16(std::string& s, unsigned x) {
    s += static_cast<char>(x & 0xFF);
    s += static_cast<char>((x >> 8) & 0xFF);
}

static void Tag(std::string& out, unsigned code, const std::string& body) {
    U16(out, (code << 6) | 63);
    size_t n = body.size();
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((n >> (8 * i)) & 0xFF);
    out += body;
}

static std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

static std::string Place(const TestPlacement& p) {
    std::string body;
    body += static_cast<char>(0x02 | (p.name.empty() ? 0 : 0x20));
    U16(body, p.depth);
    U16(body, p.character);
    if (!p.name.empty()) {
        body += p.name;
        body += '\0';
    }
    return body;
}

static std::string Frames(const std::vector<std::vector<uint8_t>>& frames, const TestMovie* movie) {
    std::string tags;
    size_t count = frames.size();
    if (movie)
        for (const TestPlacement& p : movie->placements)
            count = std::max(count, static_cast<size_t>(p.frame));
    for (size_t f = 0; f < count; ++f) {
        if (movie)
            for (const TestPlacement& p : movie->placements)
                if (p.frame == static_cast<int>(f + 1))
                    Tag(tags, 26, Place(p));
        if (f < frames.size() && !frames[f].empty())
            Tag(tags, 12, Bytes(frames[f]));
        Tag(tags, 1, "");
    }
    return tags;
}

std::string BuildSwf(const TestMovie& movie) {
    std::string body;
    // A 550 x 400 stage: RECT with 15-bit fields (0, 11000, 0, 8000 twips).
    const unsigned char rect[] = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00};
    body.append(reinterpret_cast<const char*>(rect), sizeof rect);
    U16(body, 12 << 8);
    size_t frames = movie.frames.size();
    for (const TestPlacement& p : movie.placements)
        frames = std::max(frames, static_cast<size_t>(p.frame));
    U16(body, static_cast<unsigned>(frames ? frames : 1));
    for (const TestSprite& s : movie.sprites) {
        std::string sprite;
        U16(sprite, s.id);
        U16(sprite, static_cast<unsigned>(s.frames.size() ? s.frames.size() : 1));
        sprite += Frames(s.frames, nullptr);
        Tag(sprite, 0, "");
        Tag(body, 39, sprite);
        if (!s.exportName.empty()) {
            std::string e;
            U16(e, 1);
            U16(e, s.id);
            e += s.exportName;
            e += '\0';
            Tag(body, 56, e);
        }
    }
    body += Frames(movie.frames, &movie);
    Tag(body, 0, "");
    std::string out = "FWS";
    out += static_cast<char>(movie.version);
    size_t total = body.size() + 8;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((total >> (8 * i)) & 0xFF);
    return out + body;
}

std::string RunMovie(const TestMovie& movie, int frames) {
    FakePlayer player;
    std::string error;
    if (!player.Load(BuildSwf(movie), &error))
        return "load failed: " + error;
    player.Run(frames);
    return player.Output();
}

std::string RunCode(const std::vector<uint8_t>& code, int version) {
    TestMovie movie;
    movie.version = version;
    movie.frames.push_back(code);
    return RunMovie(movie, 1);
}

} // namespace swftest
