// Damaged input: thousands of mutated BMP files and packed DIBs, from a fixed
// seed, through the fuzz entry point. None may crash, every result must be a
// library code, and every picture that loads must fit its buffer.
#include "imagefuzz.h"

#include "image/dibfile.h"
#include "image/dibrle.h"
#include "imagetest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include <random>

namespace {

using imagetest::Bytes;
using imagetest::Header;

std::vector<std::string> Corpus() {
    std::vector<std::string> corpus;
    std::string pixels24;
    for (int i = 0; i < 24 * 5; ++i)
        pixels24 += static_cast<char>(i * 29);
    corpus.push_back(imagetest::BmpBytes(Header(7, 5, 24), {}, pixels24));
    std::string pixels8;
    for (int i = 0; i < 12 * 4; ++i)
        pixels8 += static_cast<char>(i / 5);
    corpus.push_back(imagetest::BmpBytes(Header(9, 4, 8), imagetest::Table(256), pixels8));
    corpus.push_back(imagetest::BmpBytes(Header(9, 4, 8, BI_RGB, 5), imagetest::Table(5), pixels8));
    corpus.push_back(imagetest::BmpBytes(Header(13, 3, 4), imagetest::Table(16), pixels8.substr(0, 24)));
    corpus.push_back(imagetest::BmpBytes(Header(33, 4, 1), imagetest::Table(2), pixels8.substr(0, 32)));
    std::string rle8 = Bytes({4, 1, 0, 3, 5, 6, 7, 0, 2, 9, 0, 0, 0, 2, 3, 1, 6, 2, 0, 0, 13, 4, 0, 0, 0, 1});
    corpus.push_back(imagetest::BmpBytes(Header(13, 4, 8, BI_RLE8, 0, static_cast<DWORD>(rle8.size())),
                                         imagetest::Table(256), rle8));
    std::string rle4 =
        Bytes({5, 0x12, 2, 0x33, 0, 0, 0, 7, 0x45, 0x67, 0x89, 0xA0, 0, 0, 0, 2, 2, 0, 3, 0xBC, 0, 0, 0, 1});
    corpus.push_back(
        imagetest::BmpBytes(Header(7, 4, 4, BI_RLE4, 0, static_cast<DWORD>(rle4.size())), imagetest::Table(16), rle4));
    return corpus;
}

class Mutator {
public:
    explicit Mutator(unsigned seed) : random_(seed) {}

    std::string Mutate(std::string bytes) {
        int count = 1 + Below(4);
        for (int i = 0; i < count && !bytes.empty(); ++i) {
            switch (Below(6)) {
            case 0: // any byte
                bytes[Below(static_cast<int>(bytes.size()))] = static_cast<char>(random_());
                break;
            case 1: // a header field: width, height, bit count, compression, size, colours
                SetField(bytes);
                break;
            case 2: // cut short
                bytes.resize(Below(static_cast<int>(bytes.size())));
                break;
            case 3: // an RLE escape somewhere in the data
                Escape(bytes);
                break;
            case 4: // bytes appended
                for (int n = Below(40); n > 0; --n)
                    bytes += static_cast<char>(random_());
                break;
            default: // a colour table or data byte
                if (bytes.size() > 54)
                    bytes[54 + Below(static_cast<int>(bytes.size()) - 54)] = static_cast<char>(Interesting());
                break;
            }
        }
        return bytes;
    }

private:
    int Below(int n) { return n > 0 ? static_cast<int>(random_() % n) : 0; }

    DWORD Interesting() {
        static const DWORD values[] = {0,          1,          2,          3,          4,          7,     8,
                                       15,         16,         24,         32,         255,        256,   257,
                                       0x7FFF,     0xFFFF,     0x10000,    21844,      21845,      65504, 65533,
                                       0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x40000000, 100000};
        return Below(4) == 0 ? random_() : values[Below(sizeof values / sizeof values[0])];
    }

    void SetField(std::string& bytes) {
        // Offsets in the file of biWidth, biHeight, biBitCount, biCompression,
        // biSizeImage, biClrUsed.
        static const int offsets[] = {18, 22, 28, 30, 34, 46};
        static const int sizes[] = {4, 4, 2, 4, 4, 4};
        int field = Below(6);
        if (bytes.size() < static_cast<size_t>(offsets[field] + sizes[field]))
            return;
        DWORD value = Interesting();
        std::memcpy(&bytes[offsets[field]], &value, sizes[field]);
    }

    void Escape(std::string& bytes) {
        if (bytes.size() < 60)
            return;
        size_t at = 54 + Below(static_cast<int>(bytes.size()) - 56);
        bytes[at] = 0;
        bytes[at + 1] = static_cast<char>(Below(4) == 0 ? random_() : Below(3));
    }

    std::mt19937 random_;
};

TEST(DamagedInput, MutatedFilesAndPackedDibsNeverBreakTheLibrary) {
    const auto corpus = Corpus();
    std::string scratch = testsupport::ScratchDir("mutation") + "\\input.bmp";
    Mutator mutator(20240611);
    int loaded = 0;
    const int rounds = 3000;
    for (int i = 0; i < rounds; ++i) {
        std::string input = mutator.Mutate(corpus[i % corpus.size()]);
        std::string why;
        bool ok = ImageFuzzInput(reinterpret_cast<const BYTE*>(input.data()), input.size(), scratch.c_str(), &why);
        ASSERT_TRUE(ok) << "round " << i << ": " << why;
        DIBIMAGE image = {};
        if (DibLoadPacked(&image, input.data() + 14, input.size() >= 14 ? static_cast<DWORD>(input.size() - 14) : 0,
                          nullptr) == IMG_OK)
            ++loaded;
        DibFree(&image);
    }
    // The mutations must leave enough pictures loadable to reach the later steps.
    EXPECT_GT(loaded, rounds / 10);
}

TEST(DamagedInput, TheUnmutatedCorpusLoads) {
    for (const std::string& bytes : Corpus()) {
        DIBIMAGE image = {};
        EXPECT_EQ(DibLoadPacked(&image, bytes.data() + 14, static_cast<DWORD>(bytes.size() - 14), nullptr), IMG_OK);
        DibFree(&image);
        std::string why;
        EXPECT_TRUE(ImageFuzzInput(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), nullptr, &why)) << why;
    }
}

} // namespace
