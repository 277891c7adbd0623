// The mutation test: corpus movies and movies of our own, damaged in many
// fixed-seed ways, go through the fuzz entry point. Passing means no crash,
// no hang and no runaway allocation.
#include "player/bitmap.h"
#include "player/fuzz.h"
#include "player/swffile.h"

#include "swfwriter.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

std::vector<std::string> CorpusMovies() {
    std::vector<std::string> files;
    const std::string root = MS_SWF_CORPUS_DIR;
    int n = 0;
    for (const char* part : {"\\visual\\", "\\trace\\"}) {
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA((root + part + "*").c_str(), &data);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            // All of the pictures' movies, and a spread of the others.
            if (part[1] == 'v' || n++ % 8 == 0)
                files.push_back(root + part + name + "\\test.swf");
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    return files;
}

// Movies of our own that reach the renderer's every kind of fill, a morph, text and a sprite.
std::vector<uint8_t> OwnMovie() {
    SwfWriter w(8, 64, 48, 12);
    ShapeBuilder s;
    s.AddSolidFill({255, 0, 0, 255});
    s.AddGradientFill(FILL_RADIAL, SwfMatrix::Scale(0.05, 0.05), {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 0}}}, SPREAD_REFLECT);
    std::vector<SwfColor> pixels(16, SwfColor{0, 128, 255, 200});
    uint16_t bitmap = w.DefineBitmap(4, 4, pixels);
    s.AddBitmapFill(bitmap, SwfMatrix::Scale(20, 20), true, true);
    s.AddLine(60, {0, 0, 0, 255});
    s.Style(-1, 1, 1);
    s.Rect(0, 0, 600, 400);
    s.Style(-1, 2, -1);
    s.Ellipse(600, 500, 300, 200);
    s.Style(-1, 3, -1);
    s.Rect(100, 100, 900, 900);
    uint16_t shape = w.DefineShape(s, 4);
    ShapeBuilder a, b;
    a.AddSolidFill({0, 0, 0, 255});
    b.AddSolidFill({0, 255, 0, 128});
    a.Style(-1, 1, -1);
    a.Rect(0, 0, 100, 100);
    b.Rect(0, 0, 500, 300);
    uint16_t morph = w.DefineMorphShape(a, b);
    TimelineWriter t;
    PlaceArgs p;
    p.characterId = shape;
    t.Place(1, p);
    t.ShowFrame();
    uint16_t sprite = w.DefineSprite(t);
    for (int f = 0; f < 3; ++f) {
        PlaceArgs q;
        q.characterId = f == 0 ? sprite : 0;
        q.matrix = SwfMatrix::Translate(f * 40, 0);
        q.hasCxform = true;
        q.cxform.mulA = 0.5f;
        w.Place(1, q);
        PlaceArgs m;
        m.characterId = f == 0 ? morph : 0;
        m.ratio = f * 30000;
        m.hasMatrix = f == 0;
        m.blendMode = f == 0 ? 3 : 0;
        w.Place(2, m);
        w.ShowFrame();
    }
    return w.Finish(false);
}

// The body of a movie in uncompressed form, so that mutations hit tags, not the zlib stream.
bool Plain(const std::string& bytes, std::vector<uint8_t>* out) {
    SwfHeader h;
    size_t tags;
    if (SwfOpen(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &h, out, &tags) != SWF_OK)
        return false;
    (*out)[0] = 'F';
    return true;
}

void Mutate(std::vector<uint8_t>& m, std::mt19937& rng) {
    auto at = [&](size_t from) { return from + rng() % (m.size() - from); };
    switch (rng() % 6) {
    case 0: // a few flipped bits
        for (int i = 0, n = 1 + rng() % 8; i < n; ++i)
            m[at(8)] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
    case 1: // a run of 0xFF: long lengths, counts, ids
        for (size_t i = at(8), n = 1 + rng() % 6; n-- && i < m.size(); ++i)
            m[i] = 0xFF;
        break;
    case 2: // cut short
        m.resize(at(9));
        break;
    case 3: { // a chunk copied over another place
        size_t from = at(8), to = at(8), n = 1 + rng() % 64;
        for (size_t i = 0; i < n && from + i < m.size() && to + i < m.size(); ++i)
            m[to + i] = m[from + i];
        break;
    }
    case 4: // random bytes
        for (int i = 0, n = 1 + rng() % 16; i < n; ++i)
            m[at(8)] = static_cast<uint8_t>(rng());
        break;
    default: // a tag header's length set to the long form with a huge value
        if (m.size() > 30) {
            size_t i = at(21);
            m[i] |= 0x3F;
            if (i + 5 < m.size())
                m[i + 4] = 0x7F;
        }
        break;
    }
}

TEST(Mutation, DamagedMoviesNeverCrashTheReaderOrRenderer) {
    std::vector<std::vector<uint8_t>> movies;
    std::vector<uint8_t> own = OwnMovie();
    movies.push_back(own);
    for (const std::string& path : CorpusMovies()) {
        std::vector<uint8_t> plain;
        if (Plain(ReadFileBytes(path), &plain))
            movies.push_back(plain);
    }
    ASSERT_GT(movies.size(), 1u) << "corpus not found under " << MS_SWF_CORPUS_DIR;
    std::mt19937 rng(20261211);
    int runs = 0;
    for (const auto& movie : movies) {
        ASSERT_EQ(PlayerFuzzOne(movie.data(), movie.size()), SWF_OK);
        for (int i = 0; i < 30; ++i) {
            std::vector<uint8_t> m = movie;
            Mutate(m, rng);
            if (rng() % 3 == 0)
                Mutate(m, rng);
            PlayerFuzzOne(m.data(), m.size());
            ++runs;
        }
    }
    RecordProperty("runs", runs);
}

TEST(Mutation, HostileFixturesAreBounded) {
    // A lossless bitmap claiming the largest size there is, with almost no data.
    SwfWriter big(8, 32, 32, 12);
    uint16_t id = big.DefineBitmap(1, 1, {SwfColor{1, 2, 3, 255}});
    ShapeBuilder s;
    s.AddBitmapFill(id, SwfMatrix::Scale(20, 20), true, false);
    s.Style(-1, 1, -1);
    s.Rect(0, 0, 640, 640);
    PlaceArgs p;
    p.characterId = big.DefineShape(s);
    big.Place(1, p);
    big.ShowFrame();
    std::vector<uint8_t> movie = big.Finish(false);
    // The bitmap tag's size fields follow its id and format byte.
    for (size_t i = 0; i + 8 < movie.size(); ++i) {
        if (movie[i] == 1 && movie[i + 1] == 0 && movie[i + 2] == 5 && movie[i + 3] == 1 && movie[i + 5] == 1) {
            movie[i + 3] = movie[i + 4] = movie[i + 5] = movie[i + 6] = 0xFF;
            break;
        }
    }
    EXPECT_EQ(PlayerFuzzOne(movie.data(), movie.size()), SWF_OK);
    EXPECT_FALSE(BitmapSizeAllowed(65535, 65535));
    EXPECT_FALSE(BitmapSizeAllowed(8191, 8191));
    EXPECT_TRUE(BitmapSizeAllowed(4096, 4095));
    EXPECT_FALSE(BitmapSizeAllowed(4096, 4096));

    // A compressed movie whose header claims 4 GB.
    std::vector<uint8_t> own = OwnMovie();
    SwfWriter w(8, 10, 10, 1);
    w.ShowFrame();
    std::vector<uint8_t> small = w.Finish(true);
    small[4] = small[5] = small[6] = small[7] = 0xFF;
    EXPECT_EQ(PlayerFuzzOne(small.data(), small.size()), SWF_OK);

    // A shape with a fill count of 65535 and nothing behind it.
    std::vector<uint8_t> shapeTag = {0xBF, 0x08, 8, 0, 0, 0, 1, 0, 0x00, 0xFF, 0xFF, 0xFF};
    std::vector<uint8_t> hostile(own.begin(), own.begin() + 21);
    hostile.insert(hostile.end(), shapeTag.begin(), shapeTag.end());
    EXPECT_EQ(PlayerFuzzOne(hostile.data(), hostile.size()), SWF_OK);
}

} // namespace
