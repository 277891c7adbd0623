#include "image/dibfile.h"

#include "imagetest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include <malloc.h>

namespace {

using imagetest::BmpBytes;
using imagetest::Header;
using imagetest::Picture;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

std::string Pattern(size_t size, int seed = 1) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 7 + seed * 31 + i / 300) & 0xFF);
    return out;
}

// Opens path for reading; the caller closes.
FileBox* Open(const std::string& path) {
    return OpenFileBox(path.c_str(), GENERIC_READ, FILE_SHARE_READ);
}

DWORD Position(FileBox* file) {
    return SeekFileBox(file, 0, FILE_CURRENT);
}

TEST(DibReadFile, ReadsTableAndRowsAndStopsThere) {
    // 298 x 194 at 8 bits: a full table of 1024 bytes and rows of 300 bytes.
    std::string pixels = Pattern(300 * 194);
    std::string bytes = BmpBytes(Header(298, 194, 8), imagetest::Table(256), pixels) + "trailing item";
    std::string path = ScratchDir("readfile") + "\\p.bmp";
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    FileBox* file = Open(path);
    ASSERT_NE(file, nullptr);
    Picture p;
    EXPECT_EQ(DibReadFile(p.get(), file), IMG_OK);
    EXPECT_EQ(Position(file), 14u + 40 + 1024 + 58200);
    CloseFileBox(file);
    EXPECT_EQ(p->stride, 300u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), pixels.size()), pixels);
    EXPECT_EQ(std::memcmp(p->fileColors, imagetest::Table(256).data(), 1024), 0);
    EXPECT_EQ(std::memcmp(p->colors, p->fileColors, 1024), 0);
    EXPECT_EQ(p->progressPos, p->progressTotal);
    EXPECT_EQ(p->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
}

TEST(DibReadFile, ReadsTheFileAtItsCurrentPosition) {
    std::string bmp = BmpBytes(Header(3, 2, 24), {}, Pattern(24));
    std::string path = ScratchDir("readoffset") + "\\package.bin";
    ASSERT_TRUE(WriteFileBytes(path, std::string(1000, 'x') + bmp));
    FileBox* file = Open(path);
    ASSERT_NE(file, nullptr);
    SeekFileBox(file, 1000, FILE_BEGIN);
    Picture p;
    EXPECT_EQ(DibReadFile(p.get(), file), IMG_OK);
    CloseFileBox(file);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), 24), Pattern(24));
}

TEST(DibReadFile, ShortTableKeepsTheRestOfBothTables) {
    Picture p;
    std::memset(p->colors, 0xAB, sizeof p->colors);
    std::memset(p->fileColors, 0xCD, sizeof p->fileColors);
    ASSERT_EQ(imagetest::LoadBmpBytes(p.get(), BmpBytes(Header(4, 2, 8, BI_RGB, 16), imagetest::Table(16), Pattern(8))),
              IMG_OK);
    EXPECT_EQ(std::memcmp(p->fileColors, imagetest::Table(16).data(), 64), 0);
    EXPECT_EQ(p->fileColors[16].rgbRed, 0xCD);
    EXPECT_EQ(p->colors[255].rgbBlue, 0xAB);

    Picture rgb;
    std::memset(rgb->colors, 0xAB, sizeof rgb->colors);
    ASSERT_EQ(imagetest::LoadBmpBytes(rgb.get(), BmpBytes(Header(4, 2, 24), {}, Pattern(24))), IMG_OK);
    EXPECT_EQ(rgb->colors[0].rgbRed, 0xAB); // no table read
}

TEST(DibReadFile, PixelDataCutShortLoadsWithTheRestBlack) {
    Picture p;
    ASSERT_EQ(imagetest::LoadBmpBytes(p.get(), BmpBytes(Header(4, 3, 24), {}, Pattern(20))), IMG_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), 20), Pattern(20));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits) + 20, 16), std::string(16, '\0'));
}

TEST(DibReadFile, SmallSizeImageStillGivesWholeRows) {
    // biSizeImage 10 for rows of 12 x 3 bytes: the buffer holds every row.
    Picture p;
    std::string pixels = Pattern(36);
    ASSERT_EQ(imagetest::LoadBmpBytes(p.get(), BmpBytes(Header(4, 3, 24, BI_RGB, 0, 10), {}, pixels)), IMG_OK);
    EXPECT_EQ(p->info.biSizeImage, 0u);
    EXPECT_GE(_msize(p->bits), 36u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), 36), pixels);
}

TEST(DibReadFile, DamagedFilesGetTheirCode) {
    std::string good = BmpBytes(Header(4, 2, 8), imagetest::Table(256), Pattern(8));
    std::string notBmp = good;
    notBmp[1] = 'X';
    std::string deep = BmpBytes(Header(4, 2, 16), {}, Pattern(16));
    auto v5 = Header(4, 2, 24);
    v5.biSize = 124;
    auto core = Header(4, 2, 24);
    core.biSize = 12;
    struct Case {
        const char* what;
        std::string bytes;
        int result;
    } cases[] = {
        {"empty", "", IMG_ERR_READ},
        {"short file header", good.substr(0, 10), IMG_ERR_READ},
        {"not BM", notBmp, IMG_ERR_FORMAT},
        {"short info header", good.substr(0, 40), IMG_ERR_READ},
        {"short table", good.substr(0, 54 + 1000), IMG_ERR_READ},
        {"16 bits", deep, IMG_ERR_FORMAT},
        {"124-byte header", BmpBytes(v5, {}, Pattern(24 + 84)), IMG_ERR_FORMAT},
        {"12-byte header", BmpBytes(core, {}, Pattern(24)), IMG_ERR_FORMAT},
        {"top-down", BmpBytes(Header(4, -2, 24), {}, Pattern(24)), IMG_ERR_FORMAT},
        {"RLE8 data without end",
         BmpBytes(Header(4, 1, 8, BI_RLE8, 0, 4), imagetest::Table(256), imagetest::Bytes({3, 7, 0, 0})),
         IMG_ERR_FORMAT},
        {"RLE8 data cut short",
         BmpBytes(Header(4, 1, 8, BI_RLE8, 0, 400), imagetest::Table(256), imagetest::Bytes({3, 7, 0})),
         IMG_ERR_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Picture p;
        EXPECT_EQ(imagetest::LoadBmpBytes(p.get(), c.bytes), c.result);
        EXPECT_EQ(p->bits, nullptr);
    }
    Picture missing;
    EXPECT_EQ(DibLoadFile(missing.get(), "C:\\nowhere\\none.bmp"), IMG_ERR_OPEN);
}

TEST(DibReadFile, CancelStopsAfterTheHeaders) {
    std::string path = ScratchDir("readcancel") + "\\p.bmp";
    ASSERT_TRUE(WriteFileBytes(path, BmpBytes(Header(4, 2, 24), {}, Pattern(24))));
    FileBox* file = Open(path);
    ASSERT_NE(file, nullptr);
    Picture p;
    p->cancel = 1;
    EXPECT_EQ(DibReadFile(p.get(), file), IMG_ERR_CANCELLED);
    EXPECT_EQ(Position(file), 54u);
    EXPECT_EQ(p->bits, nullptr);
    CloseFileBox(file);
}

TEST(DibLoadPacked, LoadsWithinItsSizeAndPointsPastThePixels) {
    // 300 x 175 at 24 bits with biSizeImage 157500: no table, 157500 bytes.
    std::string pixels = Pattern(157500);
    std::string first = imagetest::PackedBytes(Header(300, 175, 24, BI_RGB, 0, 157500), {}, pixels);
    std::string second = imagetest::PackedBytes(Header(2, 2, 8, BI_RGB, 2), imagetest::Table(2), Pattern(8, 5));
    std::string both = first + second;
    Picture p;
    const BYTE* next = nullptr;
    ASSERT_EQ(DibLoadPacked(p.get(), both.data(), static_cast<DWORD>(both.size()), &next), IMG_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), pixels.size()), pixels);
    ASSERT_EQ(next, reinterpret_cast<const BYTE*>(both.data()) + first.size());
    Picture q;
    const BYTE* end = nullptr;
    DWORD rest = static_cast<DWORD>(both.size() - first.size());
    ASSERT_EQ(DibLoadPacked(q.get(), next, rest, &end), IMG_OK);
    EXPECT_EQ(end, reinterpret_cast<const BYTE*>(both.data()) + both.size());
    EXPECT_EQ(q->info.biClrUsed, 2u);
    EXPECT_EQ(p->progressTotal, 0); // packed loads leave progress alone
}

TEST(DibLoadPacked, DataShorterThanItsHeaderClaimsIsNeverOverrun) {
    std::string full = imagetest::PackedBytes(Header(8, 4, 8), imagetest::Table(256), Pattern(32));
    // A copy on the heap of exactly the given size, so that reading past it
    // would leave the block.
    auto load = [](const std::string& bytes, const BYTE** next) {
        std::vector<BYTE> exact(bytes.begin(), bytes.end());
        Picture p;
        int result = DibLoadPacked(p.get(), exact.data(), static_cast<DWORD>(exact.size()), next);
        if (next && *next)
            *next = reinterpret_cast<const BYTE*>(*next - exact.data()); // as an offset
        return result;
    };
    EXPECT_EQ(load(full.substr(0, 39), nullptr), IMG_ERR_READ);
    std::string v5 = full;
    v5[0] = 124;
    EXPECT_EQ(load(v5, nullptr), IMG_ERR_FORMAT);
    EXPECT_EQ(load(full.substr(0, 40 + 1000), nullptr), IMG_ERR_READ);
    const BYTE* next = nullptr;
    EXPECT_EQ(load(full.substr(0, 40 + 1024 + 10), &next), IMG_OK);
    EXPECT_EQ(reinterpret_cast<size_t>(next), 40u + 1024 + 10);

    Picture p;
    std::string cut = full.substr(0, 40 + 1024 + 10);
    ASSERT_EQ(DibLoadPacked(p.get(), cut.data(), static_cast<DWORD>(cut.size()), nullptr), IMG_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits), 10), Pattern(10));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->bits) + 10, 22), std::string(22, '\0'));

    // Encoded data that claims more than there is decodes what there is.
    std::string rle = imagetest::PackedBytes(Header(4, 1, 8, BI_RLE8, 0, 100000), imagetest::Table(256),
                                             imagetest::Bytes({3, 7, 0, 1}));
    Picture r;
    ASSERT_EQ(DibLoadPacked(r.get(), rle.data(), static_cast<DWORD>(rle.size()), nullptr), IMG_OK);
    EXPECT_EQ(r->bits[2], 7);
}

TEST(DibLoadResource, LoadsTheBitmapResourceOrReportsItMissing) {
    HMODULE self = GetModuleHandleA(nullptr);
    Picture p;
    ASSERT_EQ(DibLoadResource(p.get(), self, MAKEINTRESOURCEA(1001)), IMG_OK);
    EXPECT_EQ(p->info.biWidth, 5);
    EXPECT_EQ(p->info.biBitCount, 24);
    EXPECT_EQ(DibGetPixel(p.get(), 1, 0, nullptr), 0xC0B0A0u);
    EXPECT_EQ(DibGetPixel(p.get(), 0, 0, nullptr), 0x102030u);
    Picture none;
    EXPECT_EQ(DibLoadResource(none.get(), self, MAKEINTRESOURCEA(999)), IMG_ERR_RESOURCE);
    EXPECT_EQ(none->bits, nullptr);
}

TEST(DibWriteFile, WritesWhatTheReaderReadsBack) {
    std::string dir = ScratchDir("writefile");
    for (int bitCount : {1, 4, 8, 24}) {
        for (BOOL compress : {FALSE, TRUE}) {
            SCOPED_TRACE(testing::Message() << bitCount << (compress ? " compressed" : ""));
            Picture p;
            int n = bitCount == 24 ? 0 : 1 << bitCount;
            auto table = imagetest::Table(n);
            ASSERT_EQ(DibCreate(p.get(), 37, 11, bitCount, table.data(), n), IMG_OK);
            // Long runs, so that 4 and 8-bit pictures compress.
            for (int i = 0; i < DibImageSize(p.get()); ++i)
                p->bits[i] = static_cast<BYTE>((i / 12) * 0x11);
            std::string path = dir + "\\out.bmp";
            ASSERT_EQ(DibSaveFile(p.get(), path.c_str(), compress), IMG_OK);
            std::string bytes = testsupport::ReadFileBytes(path);
            DWORD offBits, size;
            std::memcpy(&size, bytes.data() + 2, 4);
            std::memcpy(&offBits, bytes.data() + 10, 4);
            EXPECT_EQ(size, bytes.size());
            EXPECT_EQ(offBits, 54u + 4 * n);
            Picture back;
            ASSERT_EQ(DibLoadFile(back.get(), path.c_str()), IMG_OK);
            bool rle = compress && (bitCount == 4 || bitCount == 8);
            EXPECT_EQ(back->loadedCompression, static_cast<DWORD>(rle ? (bitCount == 8 ? BI_RLE8 : BI_RLE4) : BI_RGB));
            EXPECT_EQ(imagetest::RgbDump(back.get()), imagetest::RgbDump(p.get()));
            EXPECT_EQ(p->progressPos, p->progressTotal);
        }
    }
}

TEST(DibWriteFile, HeaderSizeFollowsTheTableWritten) {
    // biClrImportant must not move the pixels away from where the offset says.
    Picture p;
    auto table = imagetest::Table(256);
    ASSERT_EQ(DibCreate(p.get(), 4, 2, 8, table.data(), 0), IMG_OK);
    p->info.biClrImportant = 5;
    std::string path = ScratchDir("writeimportant") + "\\out.bmp";
    ASSERT_EQ(DibSaveFile(p.get(), path.c_str(), FALSE), IMG_OK);
    std::string bytes = testsupport::ReadFileBytes(path);
    DWORD offBits;
    std::memcpy(&offBits, bytes.data() + 10, 4);
    EXPECT_EQ(offBits, 54u + 1024);
    EXPECT_EQ(bytes.size(), 54u + 1024 + 8);
}

TEST(DibWriteFile, IncompressiblePictureStaysPlain) {
    Picture p;
    auto table = imagetest::Table(256);
    ASSERT_EQ(DibCreate(p.get(), 64, 4, 8, table.data(), 256), IMG_OK);
    for (int i = 0; i < DibImageSize(p.get()); ++i)
        p->bits[i] = static_cast<BYTE>(i * 7);
    BITMAPINFOHEADER header;
    BYTE* data = DibCompress(p.get(), &header);
    EXPECT_EQ(data, p->bits);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biSizeImage, 256u);
}

TEST(DibSaveFile, FailuresLeaveNoFile) {
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 4, 2, 24, nullptr, 0), IMG_OK);
    EXPECT_EQ(DibSaveFile(p.get(), "C:\\nowhere\\out.bmp", FALSE), IMG_ERR_CREATE);
    Picture empty;
    std::string path = ScratchDir("saveempty") + "\\out.bmp";
    EXPECT_EQ(DibSaveFile(empty.get(), path.c_str(), FALSE), IMG_ERR_FORMAT);
    EXPECT_FALSE(testsupport::PathExists(path));
}

TEST(DibReadInfo, ReportsTheHeaderFields) {
    std::string path = ScratchDir("readinfo") + "\\p.bmp";
    ASSERT_TRUE(
        WriteFileBytes(path, BmpBytes(Header(7, 5, 4, BI_RLE4, 0, 2), imagetest::Table(16), imagetest::Bytes({0, 1}))));
    DIBINFO info = {};
    ASSERT_EQ(DibReadInfo(path.c_str(), &info), IMG_OK);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 5);
    EXPECT_EQ(info.compression, static_cast<DWORD>(BI_RLE4));
    EXPECT_EQ(info.bitCount, 4u);
    ASSERT_TRUE(WriteFileBytes(path, "BM" + std::string(20, '\0')));
    EXPECT_EQ(DibReadInfo(path.c_str(), &info), IMG_ERR_READ);
    ASSERT_TRUE(WriteFileBytes(path, std::string(60, 'x')));
    EXPECT_EQ(DibReadInfo(path.c_str(), &info), IMG_ERR_FORMAT);
    EXPECT_EQ(DibReadInfo("C:\\nowhere\\p.bmp", &info), IMG_ERR_OPEN);
}

} // namespace
