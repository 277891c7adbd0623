#include "image/dibrle.h"

#include "image/dibfile.h"
#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

#include <random>

namespace {

using imagetest::Bytes;
using imagetest::Header;
using imagetest::Picture;

struct RleCase {
    const char* what;
    int width, height, bitCount;
    std::string data;
    int result;
    std::string plain; // expected leading bytes of the plain rows
};

// Loads RLE data as a packed DIB whose biSizeImage is the data's length.
int LoadRle(DIBIMAGE* image, int width, int height, int bitCount, const std::string& data) {
    DWORD compression = bitCount == 8 ? BI_RLE8 : BI_RLE4;
    auto header = Header(width, height, bitCount, compression, 0, static_cast<DWORD>(data.size()));
    std::string bytes = imagetest::PackedBytes(header, imagetest::Table(bitCount == 8 ? 256 : 16), data);
    return DibLoadPacked(image, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr);
}

TEST(DibDecodeRle, ByteSequencesDecodeExactly) {
    const RleCase cases[] = {
        {"RLE8 encoded run", 4, 1, 8, Bytes({3, 7, 0, 1}), IMG_OK, Bytes({7, 7, 7, 0})},
        {"RLE8 absolute run, odd, padded", 4, 1, 8, Bytes({0, 3, 1, 2, 3, 0, 1, 9, 0, 1}), IMG_OK, Bytes({1, 2, 3, 9})},
        {"RLE8 end of line", 2, 2, 8, Bytes({1, 5, 0, 0, 2, 6, 0, 1}), IMG_OK, Bytes({5, 0, 0, 0, 6, 6})},
        {"RLE8 delta", 4, 2, 8, Bytes({0, 2, 2, 1, 1, 9, 0, 1}), IMG_OK, Bytes({0, 0, 0, 0, 0, 0, 9, 0})},
        {"RLE8 end of line, no end of bitmap", 4, 1, 8, Bytes({3, 7, 0, 0}), IMG_ERR_FORMAT, ""},
        {"RLE8 data ends inside a unit", 4, 1, 8, Bytes({3}), IMG_ERR_FORMAT, ""},
        {"RLE8 run past the last row", 4, 2, 8, Bytes({0, 0, 0, 0, 5, 1, 0, 1}), IMG_ERR_FORMAT, ""},
        {"RLE8 absolute run past the picture", 4, 1, 8, Bytes({0, 5, 1, 2, 3, 4, 5, 0, 0, 1}), IMG_ERR_FORMAT, ""},
        {"RLE8 absolute run cut short", 8, 1, 8, Bytes({0, 5, 1, 2}), IMG_ERR_FORMAT, ""},
        {"RLE8 delta cut short", 4, 1, 8, Bytes({0, 2, 1}), IMG_ERR_FORMAT, ""},
        {"RLE8 delta out of the picture", 4, 2, 8, Bytes({0, 2, 0, 3, 0, 1}), IMG_ERR_FORMAT, ""},
        {"RLE8 writes after end of lines beyond the picture", 4, 1, 8, Bytes({0, 0, 0, 0, 1, 1, 0, 1}), IMG_ERR_FORMAT,
         ""},
        {"RLE4 encoded run", 4, 1, 4, Bytes({4, 0x12, 0, 1}), IMG_OK, Bytes({0x12, 0x12})},
        {"RLE4 odd run", 4, 1, 4, Bytes({3, 0x12, 0, 1}), IMG_OK, Bytes({0x12, 0x10})},
        {"RLE4 absolute run takes four bytes", 4, 1, 4, Bytes({0, 3, 0x12, 0x30, 1, 0x40, 0, 1}), IMG_OK,
         Bytes({0x12, 0x34})},
        {"RLE4 absolute run of 5 pads to 16 bits", 8, 1, 4, Bytes({0, 5, 0x12, 0x34, 0x50, 0, 1, 0x60, 0, 1}), IMG_OK,
         Bytes({0x12, 0x34, 0x56})},
        {"RLE4 delta of one pixel", 4, 1, 4, Bytes({0, 2, 1, 0, 1, 0x50, 0, 1}), IMG_OK, Bytes({0x05})},
        {"RLE4 delta of three pixels and a row", 4, 2, 4, Bytes({0, 2, 3, 1, 1, 0x70, 0, 1}), IMG_OK,
         Bytes({0, 0, 0, 0, 0, 0x07})},
        {"RLE4 run past the picture", 4, 1, 4, Bytes({9, 0x12, 0, 1}), IMG_ERR_FORMAT, ""},
        {"RLE4 absolute run cut short", 8, 1, 4, Bytes({0, 6, 0x12}), IMG_ERR_FORMAT, ""},
        {"RLE4 no end of bitmap", 4, 1, 4, Bytes({4, 0x12}), IMG_ERR_FORMAT, ""},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.what);
        Picture p;
        ASSERT_EQ(LoadRle(p.get(), c.width, c.height, c.bitCount, c.data), c.result);
        if (c.result != IMG_OK) {
            EXPECT_EQ(p->bits, nullptr);
            continue;
        }
        EXPECT_EQ(p->info.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(p->info.biSizeImage, 0u);
        EXPECT_EQ(p->loadedCompression, static_cast<DWORD>(c.bitCount == 8 ? BI_RLE8 : BI_RLE4));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), c.plain.size()), c.plain);
    }
}

TEST(DibDecodeRle, PictureWithoutEncodedDataFails) {
    auto header = Header(4, 1, 8, BI_RLE8, 0, 0);
    std::string bytes = imagetest::PackedBytes(header, imagetest::Table(256), Bytes({3, 7, 0, 1}));
    Picture p;
    EXPECT_EQ(DibLoadPacked(p.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr), IMG_ERR_FORMAT);
    EXPECT_EQ(p->bits, nullptr);
}

// Rows of runs, single pixels and noise at every width up to 70.
void FillRows(DIBIMAGE* image, std::mt19937& random) {
    int maxValue = image->info.biBitCount == 8 ? 255 : 15;
    for (int y = 0; y < image->info.biHeight; ++y) {
        int x = 0;
        while (x < image->info.biWidth) {
            int value = static_cast<int>(random() % (maxValue + 1));
            int run = random() % 3 == 0 ? static_cast<int>(random() % 300) : 1;
            for (int i = 0; i < run && x < image->info.biWidth; ++i, ++x)
                DibSetPixel(image, x, y,
                            RGB(image->fileColors[value].rgbRed, image->fileColors[value].rgbGreen,
                                image->fileColors[value].rgbBlue),
                            nullptr);
        }
    }
}

TEST(DibEncodeRle, EncodedRowsDecodeToThePicture) {
    std::mt19937 random(7);
    for (int bitCount : {4, 8}) {
        auto table = imagetest::Table(bitCount == 8 ? 256 : 16);
        for (int width : {3, 4, 5, 17, 70, 255, 256, 600}) {
            SCOPED_TRACE(testing::Message() << width << " at " << bitCount);
            Picture p;
            ASSERT_EQ(DibCreate(p.get(), width, 9, bitCount, table.data(), static_cast<int>(table.size())), IMG_OK);
            std::memset(p->bits, 0, DibImageSize(p.get()));
            FillRows(p.get(), random);
            DWORD length = 0;
            BYTE* encoded = bitCount == 8 ? DibEncodeRle8(p.get(), &length) : DibEncodeRle4(p.get(), &length);
            if (!encoded) {
                // Only noise too dense to fit is refused.
                EXPECT_EQ(length, 0u);
                continue;
            }
            EXPECT_LE(length + 8, p->stride * 9);
            Picture back;
            back->info = p->info;
            back->info.biCompression = bitCount == 8 ? BI_RLE8 : BI_RLE4;
            back->stride = p->stride;
            back->bits = encoded;
            ASSERT_EQ(bitCount == 8 ? DibDecodeRle8(back.get(), length) : DibDecodeRle4(back.get(), length), IMG_OK);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(DibGetPixelIndex(back.get(), x, y), DibGetPixelIndex(p.get(), x, y)) << x << "," << y;
        }
    }
}

TEST(DibEncodeRle, RowsThatRunsWouldLengthenAreWrittenAbsolute) {
    // Three equal pixels and two different ones, over and over: mixed runs
    // would take 6 bytes for every 5 pixels, absolute runs about 5. The lower
    // rows are plain colour, so that the whole picture fits.
    auto table = imagetest::Table(256);
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 400, 8, 8, table.data(), 256), IMG_OK);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 400; ++x)
            p->bits[y * p->stride + x] = static_cast<BYTE>(y >= 4 ? 9 : x % 5 < 3 ? 3 * (x / 5) : 3 * (x / 5) + x % 5);
    DWORD length = 0;
    BYTE* encoded = DibEncodeRle8(p.get(), &length);
    ASSERT_NE(encoded, nullptr);
    // Per noisy row: two absolute runs (255 and 145 pixels, 406 bytes) and an end of line.
    EXPECT_EQ(length, 4u * 408 + 4u * 6 + 2);
    Picture back;
    back->info = p->info;
    back->stride = p->stride;
    back->bits = encoded;
    ASSERT_EQ(DibDecodeRle8(back.get(), length), IMG_OK);
    EXPECT_EQ(std::memcmp(back->bits, p->bits, 400), 0);

    Picture tiny;
    ASSERT_EQ(DibCreate(tiny.get(), 1, 1, 8, table.data(), 256), IMG_OK);
    EXPECT_EQ(DibEncodeRle8(tiny.get(), &length), nullptr);
    EXPECT_EQ(length, 0u);
}

} // namespace
