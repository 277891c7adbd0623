#include "util/regkey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kScratchKey[] = "Software\\MovieSaverTest\\RegKey";

// A key of the test's own under HKCU, made fresh for each test and removed after.
class RegKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
        ASSERT_NE(OpenRegKey(&key, HKEY_CURRENT_USER, kScratchKey), nullptr);
    }
    void TearDown() override {
        CloseRegKey(&key);
        RegCloseKey(raw);
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\MovieSaverTest"); // only when empty
    }
    void Put(const char* name, DWORD type, const std::string& data) {
        ASSERT_EQ(RegSetValueExA(raw, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    HKEY raw = nullptr;
    RegKey key;
};

std::string Dword(DWORD v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

struct DwordCase {
    const char* what;
    DWORD type;
    std::string data; // empty with type 0: no value
    DWORD expected;
};

TEST_F(RegKeyTest, ReadRegDwordTakesFourBytesOfAnyTypeAndTheDefaultOtherwise) {
    const DwordCase cases[] = {
        {"missing value", 0, "", 77},
        {"a DWORD", REG_DWORD, Dword(5), 5},
        {"four binary bytes", REG_BINARY, Dword(0x01020304), 0x01020304},
        {"two binary bytes, padded with zeros", REG_BINARY, std::string("\x02\x01", 2), 0x0102},
        {"text \"1\" with its terminator", REG_SZ, std::string("1\0", 2), 0x31},
        {"eight bytes are too long", REG_BINARY, std::string(8, '\x01'), 77},
        {"five bytes of text are too long", REG_SZ, std::string("1234\0", 5), 77},
    };
    for (const DwordCase& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteValueA(raw, "Value");
        if (c.type)
            Put("Value", c.type, c.data);
        EXPECT_EQ(ReadRegDword(key, "Value", 77), c.expected);
    }
}

struct StringCase {
    const char* what;
    DWORD type;
    std::string data; // with type 0: no value
    const char* expected;
    DWORD count;
};

TEST_F(RegKeyTest, ReadRegStringFillsTheBufferOrLeavesTheDefault) {
    const std::string fits(31, 'x'), tooLong(32, 'x');
    const StringCase cases[] = {
        {"missing value", 0, "", "dflt", 0},
        {"text", REG_SZ, std::string("abc\0", 4), "abc", 4},
        {"empty text", REG_SZ, std::string("\0", 1), "", 1},
        {"31 characters fit 32 bytes", REG_SZ, fits + '\0', fits.c_str(), 32},
        {"32 characters do not", REG_SZ, tooLong + '\0', "dflt", 0},
        {"a DWORD as bytes", REG_DWORD, Dword(0x00333231), "123", 4},
        {"binary data without a terminator is ended", REG_BINARY, "hello", "hello", 5},
        {"binary data filling every byte is too long", REG_BINARY, tooLong, "dflt", 0},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteValueA(raw, "Value");
        if (c.type)
            Put("Value", c.type, c.data);
        char buffer[32];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(ReadRegString(key, "Value", "dflt", buffer, sizeof buffer), c.count);
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST_F(RegKeyTest, ADefaultLongerThanTheBufferIsCut) {
    char buffer[4];
    EXPECT_EQ(ReadRegString(key, "Missing", "default", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "def");
}

TEST_F(RegKeyTest, AMissingKeyLeavesTheHolderClosedAndEveryReadGivesItsDefault) {
    RegKey missing;
    EXPECT_EQ(OpenRegKey(&missing, HKEY_CURRENT_USER, "Software\\MovieSaverTest\\NoSuchKey"), nullptr);
    EXPECT_EQ(missing.handle, nullptr);
    EXPECT_EQ(ReadRegDword(missing, "Value", 9), 9u);
    char buffer[8];
    EXPECT_EQ(ReadRegString(missing, "Value", "0", buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "0");
}

TEST_F(RegKeyTest, CloseRegKeyEmptiesTheHolderAndDoesNothingOnAClosedOne) {
    EXPECT_EQ(CloseRegKey(&key), nullptr);
    EXPECT_EQ(key.handle, nullptr);
    EXPECT_EQ(CloseRegKey(&key), nullptr);
    RegKey never;
    EXPECT_EQ(CloseRegKey(&never), nullptr);
}

} // namespace
