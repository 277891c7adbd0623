#include "player/bitmap.h"

#include "player/swfreader.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <zlib.h>

#include <cstring>

bool BitmapSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= BITMAP_MAX_SIDE && height <= BITMAP_MAX_SIDE &&
           width * height <= BITMAP_MAX_PIXELS;
}

bool InflateBounded(const uint8_t* data, size_t size, size_t capacity, std::vector<uint8_t>* out) {
    out->assign(capacity, 0);
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK) {
        out->clear();
        return false;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out->data();
    z.avail_out = static_cast<uInt>(capacity);
    while (z.avail_out > 0) {
        int status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK)
            break;
    }
    size_t produced = capacity - z.avail_out;
    inflateEnd(&z);
    out->resize(produced);
    return produced > 0;
}

namespace {

uint32_t Premultiplied(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    // Stored premultiplied already; a colour above its alpha would overflow blending.
    if (r > a)
        r = a;
    if (g > a)
        g = a;
    if (b > a)
        b = a;
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t Multiply(uint32_t c, uint32_t a) { return (c * a + 127) / 255; }

} // namespace

bool DecodeLossless(const uint8_t* data, size_t size, int version, Bitmap* out) {
    SwfReader r(data, size);
    int format = r.U8();
    int width = r.U16();
    int height = r.U16();
    if (r.Failed() || !BitmapSizeAllowed(width, height))
        return false;
    int tableSize = format == 3 ? r.U8() + 1 : 0;
    if (r.Failed())
        return false;
    bool alpha = version == 2;
    size_t stride, tableBytes = 0;
    if (format == 3) {
        stride = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
        tableBytes = static_cast<size_t>(tableSize) * (alpha ? 4 : 3);
    } else if (format == 4) {
        stride = (static_cast<size_t>(width) * 2 + 3) & ~static_cast<size_t>(3);
    } else if (format == 5) {
        stride = static_cast<size_t>(width) * 4;
    } else {
        return false;
    }
    std::vector<uint8_t> raw;
    InflateBounded(data + r.Position(), r.Remaining(), tableBytes + stride * height, &raw);
    raw.resize(tableBytes + stride * height, 0); // a short stream leaves the rest transparent or black
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * height, 0);
    out->opaque = !alpha;
    uint32_t table[256] = {};
    for (int i = 0; i < tableSize; ++i) {
        const uint8_t* e = raw.data() + i * (alpha ? 4 : 3);
        table[i] = alpha ? Premultiplied(e[3], e[0], e[1], e[2]) : 0xFF000000u | e[0] << 16 | e[1] << 8 | e[2];
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = raw.data() + tableBytes + stride * y;
        uint32_t* dst = out->pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (format == 3) {
                dst[x] = row[x] < tableSize ? table[row[x]] : 0;
            } else if (format == 4) {
                uint32_t v = row[2 * x] << 8 | row[2 * x + 1];
                uint32_t r5 = (v >> 10) & 31, g5 = (v >> 5) & 31, b5 = v & 31;
                dst[x] = 0xFF000000u | (r5 * 255 / 31) << 16 | (g5 * 255 / 31) << 8 | b5 * 255 / 31;
            } else {
                const uint8_t* p = row + 4 * x;
                dst[x] = alpha ? Premultiplied(p[0], p[1], p[2], p[3]) : 0xFF000000u | p[1] << 16 | p[2] << 8 | p[3];
            }
        }
    }
    if (alpha) {
        out->opaque = true;
        for (uint32_t p : out->pixels)
            if ((p >> 24) != 255) {
                out->opaque = false;
                break;
            }
    }
    return true;
}

namespace {

// The frame size from the first start-of-frame marker; false when none is found.
bool JpegSize(const std::vector<uint8_t>& j, int* width, int* height) {
    size_t i = 2;
    while (i + 9 < j.size()) {
        if (j[i] != 0xFF) {
            ++i;
            continue;
        }
        uint8_t m = j[i + 1];
        if (m == 0xFF || m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
            i += 2;
            continue;
        }
        size_t len = j[i + 2] << 8 | j[i + 3];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            *height = j[i + 5] << 8 | j[i + 6];
            *width = j[i + 7] << 8 | j[i + 8];
            return true;
        }
        if (m == 0xDA)
            return false;
        i += 2 + len;
    }
    return false;
}

struct PictureJob {
    const std::vector<uint8_t>* bytes;
    Bitmap* out;
    bool ok;
};

DWORD WINAPI LoadPicture(void* param) {
    PictureJob* job = static_cast<PictureJob*>(param);
    // The multithreaded apartment needs no window of its own.
    HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, job->bytes->size());
    IStream* stream = nullptr;
    IPicture* picture = nullptr;
    if (memory) {
        void* p = GlobalLock(memory);
        memcpy(p, job->bytes->data(), job->bytes->size());
        GlobalUnlock(memory);
        if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
            GlobalFree(memory);
            stream = nullptr;
        }
    }
    if (stream && OleLoadPicture(stream, static_cast<LONG>(job->bytes->size()), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(&picture)) == S_OK) {
        OLE_HANDLE handle = 0;
        short type = 0;
        BITMAP info = {};
        if (picture->get_Type(&type) == S_OK && type == PICTYPE_BITMAP && picture->get_Handle(&handle) == S_OK &&
            GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof info, &info) &&
            BitmapSizeAllowed(info.bmWidth, info.bmHeight)) {
            Bitmap* out = job->out;
            out->width = info.bmWidth;
            out->height = info.bmHeight;
            out->pixels.assign(static_cast<size_t>(out->width) * out->height, 0);
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = out->width;
            bi.bmiHeader.biHeight = -out->height;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            HDC dc = CreateCompatibleDC(nullptr);
            int rows = GetDIBits(dc, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), 0, out->height,
                                 out->pixels.data(), &bi, DIB_RGB_COLORS);
            DeleteDC(dc);
            for (uint32_t& px : out->pixels)
                px |= 0xFF000000u;
            out->opaque = true;
            job->ok = rows > 0;
        }
        picture->Release();
    }
    if (stream)
        stream->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    return 0;
}

// Drops every end-of-image marker that is directly followed by a start-of-image one.
void MergeStreams(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
    for (size_t i = 0; i < size; ++i) {
        if (i + 3 < size && data[i] == 0xFF && data[i + 1] == 0xD9 && data[i + 2] == 0xFF && data[i + 3] == 0xD8) {
            i += 3;
            continue;
        }
        out->push_back(data[i]);
    }
}

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, const uint8_t* tables, size_t tablesSize, Bitmap* out) {
    *out = Bitmap();
    std::vector<uint8_t> joined;
    if (tables && tablesSize > 0)
        joined.assign(tables, tables + tablesSize);
    joined.insert(joined.end(), data, data + size);
    std::vector<uint8_t> bytes;
    MergeStreams(joined.data(), joined.size(), &bytes);
    // A stream that starts with the pair itself (an empty table block) is handled above too.
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        // The table block ends where the image's own markers continue; nothing more to do.
        int w = 0, h = 0;
        if (!JpegSize(bytes, &w, &h) || !BitmapSizeAllowed(w, h))
            return false;
    } else if (!(bytes.size() >= 6 && memcmp(bytes.data(), "GIF8", 4) == 0)) {
        return false; // neither JPEG nor GIF (a PNG, or damage)
    }
    PictureJob job{&bytes, out, false};
    HANDLE thread = CreateThread(nullptr, 0, LoadPicture, &job, 0, nullptr);
    if (!thread)
        return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    if (!job.ok)
        *out = Bitmap();
    return job.ok;
}

void ApplyAlphaPlane(const uint8_t* data, size_t size, Bitmap* b) {
    size_t count = b->pixels.size();
    std::vector<uint8_t> alpha;
    if (!InflateBounded(data, size, count, &alpha))
        return;
    alpha.resize(count, 0);
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = b->pixels[i], a = alpha[i];
        b->pixels[i] = a << 24 | Multiply((p >> 16) & 255, a) << 16 | Multiply((p >> 8) & 255, a) << 8 | Multiply(p & 255, a);
    }
    b->opaque = false;
}
