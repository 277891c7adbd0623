// Changes a test makes to the shared Wine prefix, each undone when its guard
// goes away: a value in the registry, a file in the system directory, and
// Wine's choice of a native library over its builtin for one program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// One value of HKCU\<key>, remembered at construction and put back (or
// deleted again) at destruction.
class RegistryValueGuard {
public:
    RegistryValueGuard(const std::string& key, const std::string& value);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    void SetText(const std::string& text);
    void SetNumber(DWORD number);
    void Delete();

private:
    void Write(DWORD type, const void* data, DWORD size);

    std::string key_, value_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// A file in the system directory the saver sees (GetSystemDirectoryA). An
// existing file of that name is moved aside while the guard lives and put
// back afterwards; one left aside by an earlier run that died is put back first.
class SystemFileGuard {
public:
    explicit SystemFileGuard(const std::string& name);
    ~SystemFileGuard();
    SystemFileGuard(const SystemFileGuard&) = delete;
    SystemFileGuard& operator=(const SystemFileGuard&) = delete;

    // Places a copy of `source` under the name; false when it cannot.
    bool Install(const std::string& source);
    // Makes sure no file of the name is there.
    bool Remove();
    std::string Path() const { return path_; }

private:
    std::string path_, aside_;
};

// Makes Wine load `dll` from its file for programs named `exeName` instead of
// its builtin: Wine prefers its builtin even to a file placed in the system
// directory. The setting is per program in the registry; the environment
// variable WINEDLLOVERRIDES would not do, since Wine takes it from the Unix
// environment, which a program started from a test inherits unchanged.
class NativeDllGuard {
public:
    NativeDllGuard(const std::string& exeName, const std::string& dll);
    ~NativeDllGuard();
    NativeDllGuard(const NativeDllGuard&) = delete;
    NativeDllGuard& operator=(const NativeDllGuard&) = delete;

private:
    bool appDefaultsExisted_ = false;
    std::string appKey_;
    bool appKeyExisted_ = false;
    RegistryValueGuard value_;
};

std::string SystemDirectory();

} // namespace e2e
