#include "imagetest.h"

#include "image/dibfile.h"
#include "testsupport.h"

#include <cstdio>
#include <cstring>

namespace imagetest {

BITMAPINFOHEADER Header(int width, int height, int bitCount, DWORD compression, DWORD clrUsed, DWORD sizeImage) {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biCompression = compression;
    h.biSizeImage = sizeImage;
    h.biClrUsed = clrUsed;
    return h;
}

std::string PackedBytes(const BITMAPINFOHEADER& header, const std::vector<RGBQUAD>& table, const std::string& pixels) {
    std::string out(reinterpret_cast<const char*>(&header), sizeof header);
    if (!table.empty())
        out.append(reinterpret_cast<const char*>(table.data()), table.size() * sizeof(RGBQUAD));
    return out + pixels;
}

std::string BmpBytes(const BITMAPINFOHEADER& header, const std::vector<RGBQUAD>& table, const std::string& pixels) {
    std::string packed = PackedBytes(header, table, pixels);
    DWORD offBits = static_cast<DWORD>(14 + sizeof header + table.size() * sizeof(RGBQUAD));
    DWORD size = static_cast<DWORD>(14 + packed.size());
    std::string out = "BM";
    auto dword = [&out](DWORD v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    dword(size);
    dword(0);
    dword(offBits);
    return out + packed;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

std::vector<RGBQUAD> Table(int n) {
    std::vector<RGBQUAD> table(n);
    for (int i = 0; i < n; ++i)
        table[i] = RGBQUAD{static_cast<BYTE>(i * 13), static_cast<BYTE>(i * 91), static_cast<BYTE>(i * 37), 0};
    return table;
}

std::string RgbDump(const DIBIMAGE* image) {
    std::string out;
    out.reserve(static_cast<size_t>(image->info.biWidth) * image->info.biHeight * 3);
    for (int y = 0; y < image->info.biHeight; ++y) {
        for (int x = 0; x < image->info.biWidth; ++x) {
            DWORD c = DibGetPixel(image, x, y, nullptr);
            if (image->info.biBitCount > 8) {
                out += static_cast<char>((c >> 16) & 0xFF);
                out += static_cast<char>((c >> 8) & 0xFF);
                out += static_cast<char>(c & 0xFF);
            } else {
                out += static_cast<char>(GetRValue(c));
                out += static_cast<char>(GetGValue(c));
                out += static_cast<char>(GetBValue(c));
            }
        }
    }
    return out;
}

int LoadBmpBytes(DIBIMAGE* image, const std::string& bytes) {
    std::string path = testsupport::ScratchDir("imagebytes") + "\\picture.bmp";
    if (!testsupport::WriteFileBytes(path, bytes))
        return -1;
    return DibLoadFile(image, path.c_str());
}

namespace {

typedef char*(CDECL* UnixNameProc)(const WCHAR*);
typedef WCHAR*(CDECL* DosNameProc)(const char*);

std::string DosPath(const char* unixPath) {
    auto proc = reinterpret_cast<DosNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!proc)
        return "";
    WCHAR* wide = proc(unixPath);
    if (!wide)
        return "";
    char narrow[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return narrow;
}

} // namespace

std::string UnixPath(const std::string& windowsPath) {
    auto proc = reinterpret_cast<UnixNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!proc)
        return "";
    WCHAR wide[MAX_PATH * 2];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2))
        return "";
    char* name = proc(wide);
    if (!name)
        return "";
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

int RunUnixScript(const std::string& dir, const std::string& script) {
    std::string unixDir = UnixPath(dir);
    std::string shell = DosPath("/bin/sh");
    if (unixDir.empty() || shell.empty())
        return -1;
    std::string status = dir + "\\script.status";
    DeleteFileA(status.c_str());
    // Wine starts Linux programs without a handle to wait on: the script
    // leaves its exit status in a file, renamed into place when complete.
    // The work runs in the background so that the shell Wine started ends at
    // once: a Linux child that ends while the test program exits can bring
    // the program down at its exit.
    std::string body = "cd '" + unixDir + "' || exit 99\n(\n(\n" + script +
                       "\n) > script.out 2>&1\n"
                       "echo $? > script.status.tmp && mv script.status.tmp script.status\n"
                       ") < /dev/null > /dev/null 2>&1 &\n";
    if (!testsupport::WriteFileBytes(dir + "\\script.sh", body))
        return -1;
    std::string command = "\"" + shell + "\" " + unixDir + "/script.sh";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!testsupport::WaitUntil([&] { return testsupport::PathExists(status); }, 120000))
        return -1;
    int code = -1;
    std::sscanf(testsupport::ReadFileBytes(status).c_str(), "%d", &code);
    return code;
}

} // namespace imagetest
