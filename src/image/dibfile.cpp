#include "image/dibfile.h"

#include "image/dibrle.h"

#include <cstring>

namespace {

constexpr int FILE_HEADER_SIZE = 14;
// The one header form read. Others (12, 108, 124 bytes) are refused: taken as
// 40 bytes and a table they would give shifted pixels and wrong colours.
constexpr int INFO_SIZE = sizeof(BITMAPINFOHEADER);
constexpr WORD BMP_MAGIC = 0x4D42; // "BM"

WORD ReadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

void PutWord(BYTE* p, DWORD value) {
    p[0] = static_cast<BYTE>(value);
    p[1] = static_cast<BYTE>(value >> 8);
}

void PutDword(BYTE* p, DWORD value) {
    PutWord(p, value);
    PutWord(p + 2, value >> 16);
}

bool IsRle(const DIBIMAGE* image) {
    return image->info.biCompression == BI_RLE8 || image->info.biCompression == BI_RLE4;
}

// After `got` of `size` pixel bytes arrived: RLE data is decoded from what is
// there, plain rows that are missing become zero.
void AcceptPixelBytes(DIBIMAGE* image, DWORD got, DWORD size) {
    if (IsRle(image)) {
        if (image->info.biSizeImage > got)
            image->info.biSizeImage = got;
    } else if (got < size) {
        std::memset(image->bits + got, 0, size - got);
    }
}

void CopyTable(DIBIMAGE* image, int count) {
    std::memcpy(image->colors, image->fileColors, count * sizeof(RGBQUAD));
}

} // namespace

int DibDecompress(DIBIMAGE* image) {
    switch (image->info.biCompression) {
    case BI_RLE8:
        return DibDecodeRle8(image, image->info.biSizeImage);
    case BI_RLE4:
        return DibDecodeRle4(image, image->info.biSizeImage);
    default:
        return IMG_OK;
    }
}

int DibReadFile(DIBIMAGE* image, FileBox* file) {
    image->bits = nullptr;
    BYTE fileHeader[FILE_HEADER_SIZE];
    if (ReadFileBox(file, fileHeader, FILE_HEADER_SIZE) != FILE_HEADER_SIZE)
        return IMG_ERR_READ;
    if (ReadWord(fileHeader) != BMP_MAGIC)
        return IMG_ERR_FORMAT;
    if (ReadFileBox(file, &image->info, INFO_SIZE) != INFO_SIZE)
        return IMG_ERR_READ;
    if (image->cancel)
        return IMG_ERR_CANCELLED;
    if (image->info.biSize != INFO_SIZE)
        return IMG_ERR_FORMAT;
    int result = DibValidateHeader(image);
    if (result != IMG_OK)
        return result;
    int count = DibTableCount(image);
    if (count > 0) {
        int tableBytes = count * static_cast<int>(sizeof(RGBQUAD));
        if (ReadFileBox(file, image->fileColors, tableBytes) != tableBytes)
            return IMG_ERR_READ;
        CopyTable(image, count);
    }
    if (image->cancel)
        return IMG_ERR_CANCELLED;

    image->stride = static_cast<DWORD>(DibStride(image->info.biWidth, image->info.biBitCount));
    DWORD size = static_cast<DWORD>(DibImageSize(image));
    image->progressTotal = static_cast<LONG>(4 * count + size + size / 2);
    image->progressPos = static_cast<LONG>(size);
    image->bits = static_cast<BYTE*>(std::malloc(size ? size : 1));
    if (!image->bits)
        return IMG_ERR_MEMORY;

    int got = ReadFileBox(file, image->bits, static_cast<int>(size));
    result = got < 0 ? IMG_ERR_READ : IMG_OK;
    if (image->cancel)
        result = IMG_ERR_CANCELLED;
    image->progressPos = static_cast<LONG>(size);
    if (result == IMG_OK) {
        AcceptPixelBytes(image, static_cast<DWORD>(got), size);
        result = DibDecompress(image);
    }
    if (result != IMG_OK)
        FreeAlloc(image->bits);
    image->progressPos = image->progressTotal;
    return result;
}

int DibLoadFile(DIBIMAGE* image, const char* path) {
    image->bits = nullptr;
    image->progressPos = 0;
    image->progressTotal = 0x10000;
    FileBox* file = OpenFileBox(path, GENERIC_READ, FILE_SHARE_READ);
    if (!file)
        return IMG_ERR_OPEN;
    int result = DibReadFile(image, file);
    CloseFileBox(file);
    return result;
}

int DibLoadPacked(DIBIMAGE* image, const void* data, DWORD size, const BYTE** next) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    if (size < static_cast<DWORD>(INFO_SIZE))
        return IMG_ERR_READ;
    std::memcpy(&image->info, bytes, INFO_SIZE);
    DWORD declared = image->info.biSizeImage;
    if (image->info.biSize != INFO_SIZE)
        return IMG_ERR_FORMAT;
    int result = DibValidateHeader(image);
    if (result != IMG_OK)
        return result;
    int count = DibTableCount(image);
    DWORD start = INFO_SIZE + 4 * count;
    if (start > size)
        return IMG_ERR_READ;
    if (count > 0) {
        std::memcpy(image->fileColors, bytes + INFO_SIZE, count * sizeof(RGBQUAD));
        CopyTable(image, count);
    }

    image->stride = static_cast<DWORD>(DibStride(image->info.biWidth, image->info.biBitCount));
    DWORD available = size - start;
    DWORD bufferSize = static_cast<DWORD>(DibImageSize(image));
    // The data the header claims: encoded bytes, or rows with any padding.
    DWORD claimed = IsRle(image) ? (declared ? declared : bufferSize) : (declared > bufferSize ? declared : bufferSize);
    // Encoded data needs no more room than there is data.
    if (IsRle(image) && bufferSize > available)
        bufferSize = available;
    image->bits = static_cast<BYTE*>(std::malloc(bufferSize ? bufferSize : 1));
    if (!image->bits)
        return IMG_ERR_MEMORY;
    DWORD copied = bufferSize < available ? bufferSize : available;
    std::memcpy(image->bits, bytes + start, copied);
    AcceptPixelBytes(image, copied, bufferSize);

    result = image->cancel ? IMG_ERR_CANCELLED : DibDecompress(image);
    if (result != IMG_OK)
        FreeAlloc(image->bits);
    if (next)
        *next = bytes + start + (claimed < available ? claimed : available);
    return result;
}

int DibLoadResource(DIBIMAGE* image, HMODULE module, const char* name) {
    HRSRC resource = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!resource)
        return IMG_ERR_RESOURCE;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return IMG_ERR_RESOURCE;
    const void* data = LockResource(loaded);
    int result = data ? DibLoadPacked(image, data, SizeofResource(module, resource), nullptr) : IMG_ERR_RESOURCE;
    FreeResource(loaded);
    return result;
}

BYTE* DibCompress(DIBIMAGE* image, BITMAPINFOHEADER* header) {
    *header = image->info;
    DWORD plain = static_cast<DWORD>(DibImageSize(image));
    header->biSizeImage = plain;
    int bitCount = image->info.biBitCount;
    if (image->info.biCompression != BI_RGB || (bitCount != 4 && bitCount != 8))
        return image->bits;
    DWORD length = 0;
    BYTE* encoded = bitCount == 8 ? DibEncodeRle8(image, &length) : DibEncodeRle4(image, &length);
    if (!encoded)
        return image->bits;
    if (plain < 2 || length >= plain - 2) {
        FreeAlloc(encoded);
        return image->bits;
    }
    header->biCompression = bitCount == 8 ? BI_RLE8 : BI_RLE4;
    header->biSizeImage = length;
    return encoded;
}

int DibWriteFile(DIBIMAGE* image, FileBox* file, BOOL compress) {
    image->info.biSize = INFO_SIZE;
    if (!image->bits)
        return IMG_ERR_FORMAT;
    BITMAPINFOHEADER header = image->info;
    BYTE* data = image->bits;
    DWORD dataBytes = static_cast<DWORD>(DibImageSize(image));
    if (compress) {
        data = DibCompress(image, &header);
        dataBytes = header.biSizeImage;
    }
    // The table written and the offset announced follow one count.
    DWORD tableBytes = 4 * DibTableCount(image);
    DWORD offBits = FILE_HEADER_SIZE + INFO_SIZE + tableBytes;
    DWORD fileSize = offBits + dataBytes;
    BYTE fileHeader[FILE_HEADER_SIZE] = {};
    PutWord(fileHeader, BMP_MAGIC);
    PutDword(fileHeader + 2, fileSize);
    PutDword(fileHeader + 10, offBits);

    image->progressTotal = static_cast<LONG>(fileSize);
    image->progressPos = 0;
    struct Piece {
        const void* bytes;
        DWORD count;
    } pieces[] = {
        {fileHeader, FILE_HEADER_SIZE},
        {&header, INFO_SIZE},
        {image->fileColors, tableBytes},
        {data, dataBytes},
    };
    int result = IMG_OK;
    for (const Piece& piece : pieces) {
        if (piece.count == 0)
            continue;
        if (WriteFileBox(file, piece.bytes, static_cast<int>(piece.count)) != static_cast<int>(piece.count)) {
            result = IMG_ERR_WRITE;
            break;
        }
        image->progressPos += static_cast<LONG>(piece.count);
    }
    if (data != image->bits)
        FreeAlloc(data);
    return result;
}

int DibSaveFile(DIBIMAGE* image, const char* path, BOOL compress) {
    image->progressPos = 0;
    image->progressTotal = 0x10000;
    FileBox* file = CreateFileBox(path, FILE_ATTRIBUTE_NORMAL, 0);
    if (!file)
        return IMG_ERR_CREATE;
    int result = DibWriteFile(image, file, compress);
    CloseFileBox(file);
    if (result != IMG_OK)
        DeleteFileByName(path);
    return result;
}

int DibReadInfoFromFile(FileBox* file, DIBINFO* out) {
    BYTE fileHeader[FILE_HEADER_SIZE];
    if (ReadFileBox(file, fileHeader, FILE_HEADER_SIZE) != FILE_HEADER_SIZE)
        return IMG_ERR_READ;
    if (ReadWord(fileHeader) != BMP_MAGIC)
        return IMG_ERR_FORMAT;
    BITMAPINFOHEADER info;
    if (ReadFileBox(file, &info, INFO_SIZE) != INFO_SIZE)
        return IMG_ERR_READ;
    out->width = info.biWidth;
    out->height = info.biHeight;
    out->compression = info.biCompression;
    out->bitCount = info.biBitCount;
    return IMG_OK;
}

int DibReadInfo(const char* path, DIBINFO* out) {
    FileBox* file = OpenFileBox(path, GENERIC_READ, FILE_SHARE_READ);
    if (!file)
        return IMG_ERR_OPEN;
    int result = DibReadInfoFromFile(file, out);
    CloseFileBox(file);
    return result;
}
