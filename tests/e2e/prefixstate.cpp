#include "prefixstate.h"

#include "testsupport.h"

namespace e2e {

RegistryValueGuard::RegistryValueGuard(const std::string& key, const std::string& value) : key_(key), value_(value) {
    DWORD size = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key_.c_str(), value_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr,
                     &size) != ERROR_SUCCESS)
        return;
    data_.resize(size);
    existed_ = RegGetValueA(HKEY_CURRENT_USER, key_.c_str(), value_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_,
                            data_.empty() ? nullptr : data_.data(), &size) == ERROR_SUCCESS;
    data_.resize(size);
}

RegistryValueGuard::~RegistryValueGuard() {
    if (existed_)
        Write(type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        Delete();
}

void RegistryValueGuard::Write(DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, value_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void RegistryValueGuard::SetText(const std::string& text) {
    Write(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void RegistryValueGuard::SetNumber(DWORD number) {
    Write(REG_DWORD, &number, sizeof number);
}

void RegistryValueGuard::Delete() {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key_.c_str(), value_.c_str());
}

std::string SystemDirectory() {
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

// The name as stored: a file put back under another case would be another
// file for the Unix tools that look at the prefix.
static std::string StoredPath(const std::string& directory, const std::string& name) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((directory + "\\" + name).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return directory + "\\" + name;
    FindClose(search);
    return directory + "\\" + data.cFileName;
}

SystemFileGuard::SystemFileGuard(const std::string& name) {
    static const std::string kAside = ".mstest-aside";
    const std::string directory = SystemDirectory();
    // One left aside by an earlier run that died is put back first.
    std::string leftAside = StoredPath(directory, name + kAside);
    if (testsupport::PathExists(leftAside)) {
        DeleteFileA(StoredPath(directory, name).c_str());
        MoveFileExA(leftAside.c_str(), leftAside.substr(0, leftAside.size() - kAside.size()).c_str(), 0);
    }
    path_ = StoredPath(directory, name);
    aside_ = path_ + kAside;
    if (testsupport::PathExists(path_))
        MoveFileExA(path_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

SystemFileGuard::~SystemFileGuard() {
    DeleteFileA(path_.c_str());
    if (testsupport::PathExists(aside_))
        MoveFileExA(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool SystemFileGuard::Install(const std::string& source) {
    return CopyFileA(source.c_str(), path_.c_str(), FALSE);
}

bool SystemFileGuard::Remove() {
    return DeleteFileA(path_.c_str()) || !testsupport::PathExists(path_);
}

namespace {
const char kAppDefaults[] = "Software\\Wine\\AppDefaults";

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
} // namespace

NativeDllGuard::NativeDllGuard(const std::string& exeName, const std::string& dll)
    : appDefaultsExisted_(KeyExists(kAppDefaults)), appKey_(std::string(kAppDefaults) + "\\" + exeName),
      appKeyExisted_(KeyExists(appKey_)), value_(appKey_ + "\\DllOverrides", dll) {
    value_.SetText("native");
}

NativeDllGuard::~NativeDllGuard() {
    // The value goes with the key when the key was ours.
    if (!appKeyExisted_)
        RegDeleteTreeA(HKEY_CURRENT_USER, appKey_.c_str());
    if (!appDefaultsExisted_)
        RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults); // only when empty
}

} // namespace e2e
