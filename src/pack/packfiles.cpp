#include "packfiles.h"

#include "image/dibfile.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

bool Bytes::Read(const std::string& path) {
    data.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data.append(buffer, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

static DWORD Dword(const std::string& data, size_t at) {
    DWORD value = 0;
    if (at + 4 <= data.size())
        memcpy(&value, data.data() + at, 4);
    return value;
}

bool IsWindowsProgram(const std::string& data) {
    if (data.size() < 0x40 || data[0] != 'M' || data[1] != 'Z')
        return false;
    DWORD header = Dword(data, 0x3C);
    return header <= data.size() - 4 && memcmp(data.data() + header, "PE\0\0", 4) == 0;
}

namespace {

std::string Number(long long value) {
    return std::to_string(value);
}

// Names what DibReadFile refused, checking the header in the reader's order.
std::string PictureFault(int result, const std::string& data) {
    const size_t headers = 14 + sizeof(BITMAPINFOHEADER);
    if (result == IMG_ERR_OPEN)
        return "cannot read the file";
    if (data.size() < 2 || data[0] != 'B' || data[1] != 'M')
        return "not a BMP file";
    if (data.size() < headers)
        return "not a BMP file: cut short at " + Number(data.size()) + " bytes, inside its headers";
    BITMAPINFOHEADER info;
    memcpy(&info, data.data() + 14, sizeof info);
    const std::string depth = Number(info.biBitCount) + " bits";
    if (info.biSize != sizeof info)
        return "unsupported BMP header of " + Number(info.biSize) + " bytes (only the 40-byte form is read)";
    if (result == IMG_ERR_READ)
        return "cut short at " + Number(data.size()) + " bytes, inside its colour table";
    if (result == IMG_ERR_MEMORY)
        return "too large to load: " + Number(info.biWidth) + " x " + Number(info.biHeight) + " pixels of " + depth;
    if (info.biBitCount != 1 && info.biBitCount != 4 && info.biBitCount != 8 && info.biBitCount != 24)
        return "unsupported depth of " + depth;
    const bool rle = (info.biBitCount == 8 && info.biCompression == BI_RLE8) ||
                     (info.biBitCount == 4 && info.biCompression == BI_RLE4);
    if (info.biCompression != BI_RGB && !rle)
        return "unsupported compression " + Number(info.biCompression) + " at " + depth;
    if (info.biClrUsed > 256)
        return "bad colour count " + Number(info.biClrUsed) + " (at most 256)";
    if (info.biWidth <= 0 || info.biHeight <= 0)
        return "bad picture size " + Number(info.biWidth) + " x " + Number(info.biHeight) +
               " (top-down pictures are not read)";
    if (info.biWidth > DibMaxWidth(info.biBitCount))
        return "too wide: " + Number(info.biWidth) + " pixels at " + depth + " (at most " +
               Number(DibMaxWidth(info.biBitCount)) + ")";
    if (rle)
        return "damaged run-length data";
    return "too large: " + Number(info.biWidth) + " x " + Number(info.biHeight) + " pixels of " + depth;
}

} // namespace

std::string CheckPicture(const std::string& path, const std::string& data, size_t* readSize) {
    FileBox* file = OpenFileBox(path.c_str(), GENERIC_READ, FILE_SHARE_READ);
    if (!file)
        return PictureFault(IMG_ERR_OPEN, data);
    DIBIMAGE image = {};
    int result = DibReadFile(&image, file);
    CloseFileBox(file);
    DibFree(&image);
    if (result != IMG_OK)
        return PictureFault(result, data);
    // The reader takes the plain rows whole, or the encoded bytes the file's
    // header names; decoding has since reset that header.
    BITMAPINFOHEADER info;
    memcpy(&info, data.data() + 14, sizeof info);
    size_t pixels = static_cast<size_t>(image.stride) * image.info.biHeight;
    if (info.biCompression != BI_RGB && info.biSizeImage)
        pixels = info.biSizeImage;
    *readSize = 14 + sizeof info + sizeof(RGBQUAD) * DibTableCount(&image) + pixels;
    return "";
}

bool IsMovie(const std::string& data) {
    return data.size() >= 8 && (data.compare(0, 3, "FWS") == 0 || data.compare(0, 3, "CWS") == 0);
}

PackageState ReadTrailer(const std::string& data, mvTrailer* trailer) {
    *trailer = mvTrailer{};
    DWORD got = 0;
    if (data.size() >= TRAILER_SIZE) {
        memcpy(trailer, data.data() + data.size() - TRAILER_SIZE, TRAILER_SIZE);
        got = TRAILER_SIZE;
    }
    return CheckTrailer(*trailer, got, static_cast<DWORD>(data.size()));
}

std::string MakeProjector(const std::string& player, const std::string& movie) {
    std::string out = player + movie;
    DWORD tail[2] = {PROJECTOR_MAGIC, static_cast<DWORD>(movie.size())};
    out.append(reinterpret_cast<const char*>(tail), sizeof tail);
    return out;
}

DWORD ProjectorMovieSize(const std::string& data) {
    if (data.size() < 8 || Dword(data, data.size() - 8) != PROJECTOR_MAGIC)
        return 0;
    DWORD size = Dword(data, data.size() - 4);
    return size <= data.size() - 8 ? size : 0;
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : path;
}

static bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(h, info) != FALSE;
    CloseHandle(h);
    return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (_stricmp(FullPath(a).c_str(), FullPath(b).c_str()) == 0)
        return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

static std::string LastErrorText() {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

std::string ReplaceFile(const std::string& target, const std::string& data) {
    std::string full = FullPath(target);
    std::string dir = full.substr(0, full.find_last_of("\\/") + 1);
    char temp[MAX_PATH];
    if (!GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "mvp", 0, temp))
        return "cannot write in its folder: " + LastErrorText();
    FILE* f = fopen(temp, "wb");
    bool ok = f && fwrite(data.data(), 1, data.size(), f) == data.size();
    if (f && fclose(f) != 0)
        ok = false;
    if (!ok) {
        DeleteFileA(temp);
        return "cannot write: disk full or not writable";
    }
    if (!MoveFileExA(temp, full.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        std::string why = LastErrorText();
        DeleteFileA(temp);
        return "cannot replace it: " + why;
    }
    return "";
}
