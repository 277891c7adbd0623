#include "player/bmpout.h"

#include "util/filebox.h"

#include <vector>

bool WriteCanvasBmp(const char* path, const Canvas& canvas) {
    int w = canvas.width, h = canvas.height;
    if (w <= 0 || h <= 0)
        return false;
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    size_t imageSize = stride * h;
    std::vector<uint8_t> file(54 + imageSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h)); // bottom-up rows
    file[26] = 1;
    file[28] = 24;
    put32(34, static_cast<uint32_t>(imageSize));
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = canvas.Row(h - 1 - y);
        uint8_t* dst = file.data() + 54 + stride * y;
        for (int x = 0; x < w; ++x) {
            // The canvas is opaque (drawn over the background), so premultiplied is plain colour.
            dst[3 * x] = static_cast<uint8_t>(src[x]);
            dst[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
            dst[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);
        }
    }
    FileBox* box = CreateFileBox(path, FILE_ATTRIBUTE_NORMAL, 0);
    if (!box)
        return false;
    bool ok = WriteFileBox(box, file.data(), static_cast<int>(file.size())) == static_cast<int>(file.size());
    CloseFileBox(box);
    return ok;
}
