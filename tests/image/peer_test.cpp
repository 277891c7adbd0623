// Peer check against ImageMagick: its BMP files read as it decodes them, and
// it decodes the BMP files we write to our pixels. ImageMagick runs on the
// Linux side of Wine; pixels are compared in its rgb: form.
#include "image/dibfile.h"

#include "imagetest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include <memory>
#include <random>

namespace {

using imagetest::Bytes;
using imagetest::Header;
using imagetest::Picture;
using testsupport::ReadFileBytes;

// Every .bmp of the folder gets ImageMagick's own decoding beside it as .rgb.
const char* DECODE_ALL = "for f in *.bmp; do /usr/bin/convert \"$f\" -depth 8 \"rgb:${f%.bmp}.rgb\" || exit 1; done";

struct MadeCase {
    const char* name;
    const char* command; // ImageMagick's arguments that make name.bmp
    int bitCount;
    DWORD compression;
};

const MadeCase MADE[] = {
    {"bits1", "-size 13x7 pattern:checkerboard -monochrome -compress None", 1, BI_RGB},
    {"bits1_w33", "-size 33x3 -seed 5 plasma:fractal -monochrome -compress None", 1, BI_RGB},
    {"bits4", "-size 13x7 -seed 3 plasma:fractal -colors 12 -type palette -compress None", 4, BI_RGB},
    {"bits4_w1", "-size 1x5 -seed 4 plasma:fractal -colors 9 -type palette -compress None", 4, BI_RGB},
    {"bits8", "-size 17x5 -seed 3 plasma:fractal -colors 200 -type palette -compress None", 8, BI_RGB},
    {"bits24", "-size 13x7 -seed 3 plasma:fractal -type truecolor -compress None", 24, BI_RGB},
    {"bits24_w1", "-size 1x3 -seed 6 plasma:fractal -type truecolor -compress None", 24, BI_RGB},
    {"rle8", "-size 19x7 -seed 3 plasma:fractal -colors 200 -type palette -compress RLE", 8, BI_RLE8},
    {"rle8_runs", "-size 41x9 gradient:red-blue -colors 40 -type palette -compress RLE", 8, BI_RLE8},
};

class PeerCheck : public testing::Test {
protected:
    static void SetUpTestSuite() {
        made_ = testsupport::ScratchDir("peer-made");
        std::string script;
        for (const MadeCase& c : MADE)
            script += std::string("/usr/bin/convert ") + c.command + " BMP3:" + c.name + ".bmp || exit 1\n";
        script += DECODE_ALL;
        madeStatus_ = imagetest::RunUnixScript(made_, script);
    }

    // Writes the files, lets ImageMagick decode them and returns the folder.
    static std::string Decode(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files) {
        std::string dir = testsupport::ScratchDir(name);
        for (const auto& file : files)
            EXPECT_TRUE(testsupport::WriteFileBytes(dir + "\\" + file.first + ".bmp", file.second));
        EXPECT_EQ(imagetest::RunUnixScript(dir, DECODE_ALL), 0) << ReadFileBytes(dir + "\\script.out");
        return dir;
    }

    static std::string made_;
    static int madeStatus_;
};

std::string PeerCheck::made_;
int PeerCheck::madeStatus_ = -1;

TEST_F(PeerCheck, ReaderDecodesImageMagickFilesAsItDoes) {
    ASSERT_EQ(madeStatus_, 0) << ReadFileBytes(made_ + "\\script.out");
    for (const MadeCase& c : MADE) {
        SCOPED_TRACE(c.name);
        Picture p;
        std::string path = made_ + "\\" + c.name + ".bmp";
        ASSERT_EQ(DibLoadFile(p.get(), path.c_str()), IMG_OK);
        EXPECT_EQ(p->info.biBitCount, c.bitCount);
        EXPECT_EQ(p->loadedCompression, c.compression);
        std::string expected = ReadFileBytes(made_ + "\\" + c.name + ".rgb");
        ASSERT_EQ(expected.size(), static_cast<size_t>(p->info.biWidth) * p->info.biHeight * 3);
        EXPECT_TRUE(imagetest::RgbDump(p.get()) == expected);
    }
}

TEST_F(PeerCheck, ReaderDecodesRle4AndShortTablesAsImageMagickDoes) {
    std::vector<std::pair<std::string, std::string>> files;
    // RLE4, 7 x 3: encoded runs, an odd run, an absolute run and a run of two nibbles.
    std::string rle4 = Bytes({5, 0x12, 2,    0x33, 0,    0,          // 1 2 1 2 1 3 3
                              0, 7,    0x45, 0x67, 0x89, 0xA0, 0, 0, // absolute 4 5 6 7 8 9 A
                              7, 0xBC, 0,    0,    0,    1});
    files.push_back({"rle4", imagetest::BmpBytes(Header(7, 3, 4, BI_RLE4, 0, static_cast<DWORD>(rle4.size())),
                                                 imagetest::Table(16), rle4)});
    // Absolute runs with padding: 5 pixels (3 bytes and a pad), then 3.
    std::string padded = Bytes({0, 5, 0x12, 0x34, 0x50, 0, 0, 3, 0xFE, 0xD0, 0, 0, 8, 0x77, 0, 0, 0, 1});
    files.push_back({"rle4_pad", imagetest::BmpBytes(Header(8, 2, 4, BI_RLE4, 0, static_cast<DWORD>(padded.size())),
                                                     imagetest::Table(16), padded)});
    // Short tables: indices stay within them.
    std::string pixels8;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x)
            pixels8 += static_cast<char>(x < 5 ? (x + y) % 5 : 0);
    files.push_back({"short8", imagetest::BmpBytes(Header(5, 3, 8, BI_RGB, 5), imagetest::Table(5), pixels8)});
    files.push_back({"short4", imagetest::BmpBytes(Header(7, 2, 4, BI_RGB, 3), imagetest::Table(3),
                                                   Bytes({0x01, 0x20, 0x12, 0x00, 0x21, 0x02, 0x10, 0x00}))});
    files.push_back({"short1", imagetest::BmpBytes(Header(9, 2, 1, BI_RGB, 2), imagetest::Table(2),
                                                   Bytes({0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0}))});
    std::string dir = Decode("peer-hand", files);
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        Picture p;
        ASSERT_EQ(DibLoadFile(p.get(), (dir + "\\" + file.first + ".bmp").c_str()), IMG_OK);
        std::string expected = ReadFileBytes(dir + "\\" + file.first + ".rgb");
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(imagetest::RgbDump(p.get()) == expected);
    }
}

TEST_F(PeerCheck, ImageMagickDecodesOurFilesToOurPixels) {
    std::mt19937 random(11);
    struct Made {
        std::string name;
        Picture picture;
        BOOL compress;
    };
    std::vector<std::unique_ptr<Made>> pictures;
    const int widths[] = {1, 13, 33};
    for (int bitCount : {1, 4, 8, 24}) {
        for (int width : widths) {
            for (BOOL compress : {FALSE, TRUE}) {
                auto made = std::make_unique<Made>();
                made->name = "ours" + std::to_string(bitCount) + "_" + std::to_string(width) + (compress ? "_rle" : "");
                made->compress = compress;
                int n = bitCount == 24 ? 0 : 1 << bitCount;
                auto table = imagetest::Table(n);
                DIBIMAGE* p = made->picture.get();
                ASSERT_EQ(DibCreate(p, width, 6, bitCount, table.data(), n), IMG_OK);
                // Runs of random length, so that the RLE writer has work of both kinds.
                for (int y = 0; y < 6; ++y) {
                    DWORD value = 0;
                    for (int x = 0; x < width; ++x) {
                        if (random() % 8 == 0)
                            value = random();
                        if (bitCount == 24) {
                            DibSetPixel(p, x, y, value & 0xFFFFFF, nullptr);
                        } else {
                            const RGBQUAD& c = table[value % n];
                            DibSetPixel(p, x, y, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), nullptr);
                        }
                    }
                }
                pictures.push_back(std::move(made));
            }
        }
    }
    std::string dir = testsupport::ScratchDir("peer-ours");
    int encoded = 0;
    for (const auto& made : pictures) {
        std::string path = dir + "\\" + made->name + ".bmp";
        ASSERT_EQ(DibSaveFile(made->picture.get(), path.c_str(), made->compress), IMG_OK);
        DIBINFO info = {};
        ASSERT_EQ(DibReadInfo(path.c_str(), &info), IMG_OK);
        encoded += info.compression != BI_RGB;
    }
    EXPECT_GE(encoded, 3); // 8 bits at 13 and 33 pixels a row, 4 bits at 33
    ASSERT_EQ(imagetest::RunUnixScript(dir, DECODE_ALL), 0) << ReadFileBytes(dir + "\\script.out");
    for (const auto& made : pictures) {
        SCOPED_TRACE(made->name);
        std::string expected = ReadFileBytes(dir + "\\" + made->name + ".rgb");
        EXPECT_TRUE(imagetest::RgbDump(made->picture.get()) == expected);
    }
}

} // namespace
