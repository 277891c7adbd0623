// mvpack build --picture takes exactly the BMP files that the settings
// dialog's reader takes: each picture below is read by DibReadFile here and
// given to mvpack, whose verdict must agree; a refused picture gets one line
// naming the file and why, exit code 1, and no output.
#include "image/dibfile.h"
#include "imagetest.h"
#include "moviesaver/trailer.h"
#include "previewfixture.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using namespace testsupport;
using imagetest::BmpBytes;
using imagetest::Bytes;
using imagetest::Header;
using imagetest::Table;

struct PictureCase {
    const char* what;
    std::string bytes;
    const char* refusal; // part of the message, null when the picture is taken
    size_t stored = 0;   // bytes of the package's picture when not bytes.size()
};

std::string Rows(int stride, int height) {
    return std::string(static_cast<size_t>(stride) * height, '\x01');
}

// The same header with one field changed.
BITMAPINFOHEADER With(BITMAPINFOHEADER h, void (*change)(BITMAPINFOHEADER&)) {
    change(h);
    return h;
}

TEST(MvpackPicture, TakesExactlyThePicturesTheDialogReads) {
    const BITMAPINFOHEADER rgb24 = Header(3, 2, 24);
    const BITMAPINFOHEADER rgb8 = Header(5, 3, 8);
    // RLE8 of a 4 x 2 picture: a run of 4, end of line, a run of 4, end of bitmap.
    const std::string rle = Bytes({4, 7, 0, 0, 4, 9, 0, 1});
    const std::string v5 = [] {
        BITMAPV5HEADER h = {};
        h.bV5Size = sizeof h;
        h.bV5Width = 2;
        h.bV5Height = 2;
        h.bV5Planes = 1;
        h.bV5BitCount = 24;
        std::string bytes = BmpBytes(Header(2, 2, 24), {}, Rows(8, 2));
        return bytes.substr(0, 14) + std::string(reinterpret_cast<const char*>(&h), sizeof h) + Rows(8, 2);
    }();
    const PictureCase cases[] = {
        {"24 bits", BmpBytes(rgb24, {}, Rows(12, 2)), nullptr},
        {"8 bits, 256 colours", BmpBytes(rgb8, Table(256), Rows(8, 3)), nullptr},
        {"8 bits, 16 colours named", BmpBytes(Header(5, 3, 8, BI_RGB, 16), Table(16), Rows(8, 3)), nullptr},
        {"4 bits", BmpBytes(Header(9, 2, 4), Table(16), Rows(8, 2)), nullptr},
        {"1 bit", BmpBytes(Header(33, 2, 1), Table(2), Rows(8, 2)), nullptr},
        {"RLE8", BmpBytes(Header(4, 2, 8, BI_RLE8, 0, 8), Table(256), rle), nullptr},
        {"RLE4", BmpBytes(Header(4, 1, 4, BI_RLE4, 0, 4), Table(16), Bytes({4, 0x12, 0, 1})), nullptr},
        // Zeros make up the rows, as when the reader reads the file alone.
        {"pixel rows cut short", BmpBytes(rgb24, {}, Rows(12, 1)), nullptr, 54 + 24},
        {"gap before the pixels (bfOffBits is not read)", BmpBytes(rgb24, {}, Rows(12, 2) + "pad"), nullptr},
        {"not a BMP", "GIF89a and some more bytes to make it long enough for a header ....", "not a BMP file"},
        {"file header only", BmpBytes(rgb24, {}, "").substr(0, 20), "cut short at 20 bytes"},
        {"colour table cut short", BmpBytes(rgb8, Table(256), "").substr(0, 54 + 600), "inside its colour table"},
        {"124-byte header", v5, "unsupported BMP header of 124 bytes"},
        {"12-byte header", BmpBytes(With(rgb24, [](BITMAPINFOHEADER& h) { h.biSize = 12; }), {}, Rows(12, 2)),
         "unsupported BMP header of 12 bytes"},
        {"32 bits", BmpBytes(Header(2, 2, 32), {}, Rows(8, 2)), "unsupported depth of 32 bits"},
        {"16 bits", BmpBytes(Header(2, 2, 16), {}, Rows(4, 2)), "unsupported depth of 16 bits"},
        {"RLE4 at 8 bits", BmpBytes(Header(4, 2, 8, BI_RLE4, 0, 8), Table(256), rle), "unsupported compression 2"},
        {"RLE8 at 24 bits", BmpBytes(Header(4, 2, 24, BI_RLE8, 0, 8), {}, rle), "unsupported compression 1"},
        {"bit fields", BmpBytes(Header(2, 2, 24, BI_BITFIELDS), {}, Rows(8, 2)), "unsupported compression 3"},
        {"257 colours", BmpBytes(Header(2, 2, 8, BI_RGB, 257), Table(256), Rows(4, 2)), "bad colour count 257"},
        {"top-down rows", BmpBytes(Header(3, -2, 24), {}, Rows(12, 2)), "bad picture size 3 x -2"},
        {"no width", BmpBytes(Header(0, 2, 24), {}, ""), "bad picture size 0 x 2"},
        {"wider than rows can be", BmpBytes(Header(21845, 1, 24), {}, ""), "too wide: 21845 pixels"},
        {"more than 2 GB of rows", BmpBytes(Header(65532, 40000, 8), Table(256), ""), "too large"},
        {"RLE8 without end of bitmap", BmpBytes(Header(4, 2, 8, BI_RLE8, 0, 6), Table(256), rle.substr(0, 6)),
         "damaged run-length data"},
        {"RLE8 past the last row", BmpBytes(Header(4, 1, 8, BI_RLE8, 0, 6), Table(256), Bytes({4, 7, 4, 7, 0, 1})),
         "damaged run-length data"},
    };

    std::string dir = ScratchDir("mvpack-picture");
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::string picture = dir + "\\picture.bmp";
        std::string output = dir + "\\Out.scr";
        ASSERT_TRUE(WriteFileBytes(picture, c.bytes));
        DIBIMAGE image = {};
        int read = DibLoadFile(&image, picture.c_str());
        DibFree(&image);
        EXPECT_EQ(read == IMG_OK, c.refusal == nullptr) << "the reader's verdict: " << read;

        std::string err;
        int code = RunProgram(BinPath("mvpack.exe"),
                              "build --module \"" + BinPath("MovieSaver.scr") + "\" --player \"" +
                                  BinPath("spiprobe.exe") + "\" --picture \"" + picture + "\" -o \"" + output + "\"",
                              nullptr, &err);
        if (!c.refusal) {
            EXPECT_EQ(code, 0) << err;
            std::string out = ReadFileBytes(output);
            ASSERT_GE(out.size(), TRAILER_SIZE);
            mvTrailer t;
            memcpy(&t, out.data() + out.size() - TRAILER_SIZE, TRAILER_SIZE);
            std::string stored = c.bytes;
            stored.resize(c.stored ? c.stored : c.bytes.size(), '\0');
            EXPECT_EQ(out.substr(t.pictureOffset, t.playerOffset - t.pictureOffset), stored);
        } else {
            EXPECT_EQ(code, 1);
            EXPECT_EQ(err.rfind("mvpack: " + picture + ": ", 0), 0u) << err;
            EXPECT_NE(err.find(c.refusal), std::string::npos) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_FALSE(PathExists(output));
        }
        DeleteFileA(output.c_str());
    }
}

} // namespace
