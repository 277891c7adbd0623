#include "player/moviesource.h"

#include "util/filebox.h"

namespace {

// Reads count bytes at offset; false on any shortfall.
bool ReadAt(FileBox* box, uint32_t offset, uint8_t* buffer, uint32_t count) {
    if (SeekFileBox(box, static_cast<LONG>(offset), FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    while (count > 0) {
        int chunk = count > (1u << 20) ? 1 << 20 : static_cast<int>(count);
        int got = ReadFileBox(box, buffer, chunk);
        if (got <= 0)
            return false;
        buffer += got;
        count -= static_cast<uint32_t>(got);
    }
    return true;
}

bool FileSize(FileBox* box, uint32_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(box->handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    if (high != 0 || low > MOVIE_MAX_FILE + 8)
        return false;
    *size = low;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

int ReadMovieFile(const char* path, std::vector<uint8_t>* out) {
    out->clear();
    FileBox* box = OpenFileBox(path, GENERIC_READ, FILE_SHARE_READ);
    if (!box)
        return MOVIE_CANNOT_OPEN;
    uint32_t size = 0;
    int result = MOVIE_FOUND;
    if (!FileSize(box, &size)) {
        result = MOVIE_TOO_LARGE;
    } else {
        out->resize(size);
        if (size > 0 && !ReadAt(box, 0, out->data(), size)) {
            out->clear();
            result = MOVIE_READ_ERROR;
        }
    }
    CloseFileBox(box);
    return result;
}

int ReadProjectorMovie(const char* programPath, std::vector<uint8_t>* out) {
    out->clear();
    FileBox* box = OpenFileBox(programPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!box)
        return MOVIE_CANNOT_OPEN;
    int result = MOVIE_NONE;
    uint32_t size = 0;
    uint8_t tail[8];
    if (!FileSize(box, &size)) {
        result = MOVIE_TOO_LARGE;
    } else if (size >= 8 && ReadAt(box, size - 8, tail, 8)) {
        uint32_t magic = tail[0] | tail[1] << 8 | tail[2] << 16 | static_cast<uint32_t>(tail[3]) << 24;
        uint32_t length = tail[4] | tail[5] << 8 | tail[6] << 16 | static_cast<uint32_t>(tail[7]) << 24;
        if (magic == PROJECTOR_MAGIC) {
            if (length == 0 || length > size - 8) {
                result = MOVIE_DAMAGED_PROJECTOR;
            } else {
                out->resize(length);
                result = ReadAt(box, size - 8 - length, out->data(), length) ? MOVIE_FOUND : MOVIE_READ_ERROR;
                if (result != MOVIE_FOUND)
                    out->clear();
            }
        }
    } else if (size >= 8) {
        result = MOVIE_READ_ERROR;
    }
    CloseFileBox(box);
    return result;
}

const char* MovieSourceText(int code) {
    switch (code) {
    case MOVIE_FOUND:
        return "The movie was found.";
    case MOVIE_NONE:
        return "No movie: name an SWF file on the command line.";
    case MOVIE_CANNOT_OPEN:
        return "The movie file cannot be opened.";
    case MOVIE_READ_ERROR:
        return "The movie file cannot be read.";
    case MOVIE_DAMAGED_PROJECTOR:
        return "The projector is damaged: its movie length does not fit the file.";
    case MOVIE_TOO_LARGE:
        return "The movie file is too large.";
    default:
        return "The movie cannot be found.";
    }
}

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

void ParseQuery(const std::string& query, ConfigPairs* out) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string pair = query.substr(start, end - start);
        // Line ends a hand-edited file may carry are not part of any value.
        while (!pair.empty() && (pair.back() == '\r' || pair.back() == '\n'))
            pair.pop_back();
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string name = UrlDecode(pair.substr(0, eq));
            std::string value = eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
            if (!name.empty())
                out->emplace_back(name, value);
        }
        start = end + 1;
    }
}

bool ReadPlayerConfig(const char* path, ConfigPairs* out) {
    out->clear();
    FileBox* box = OpenFileBox(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!box)
        return false;
    // The saver writes well under 2 KB; anything past 64 KB is not a query string.
    std::string text;
    char buffer[4096];
    int got;
    while (text.size() < 65536 && (got = ReadFileBox(box, buffer, sizeof buffer)) > 0)
        text.append(buffer, got);
    CloseFileBox(box);
    ParseQuery(text, out);
    return true;
}
