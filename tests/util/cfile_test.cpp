#include "util/cfile.h"
#include "util/filebox.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>(i * 7 + i / 251);
    return s;
}

TEST(File, ReadAtTheEndRecordsEofAndTheNextGoodReadClearsIt) {
    std::string path = ScratchDir("cfile") + "\\data.bin";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    cFile f;
    ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ), CERR_NONE);
    char buffer[8];
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(f.GetError(), CERR_NONE);
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(f.GetError(), CERR_EOF);
    EXPECT_EQ(f.Seek(1, FILE_BEGIN), 1);
    EXPECT_EQ(f.Read(buffer, 1), 1u);
    EXPECT_EQ(f.GetError(), CERR_NONE);
    EXPECT_EQ(f.Close(), CERR_NONE);
}

TEST(File, SeekOnAClosedFileAndFromTheEnd) {
    cFile closed;
    EXPECT_EQ(closed.Seek(0, FILE_BEGIN), -1);
    EXPECT_EQ(closed.GetError(), CERR_NOT_OPEN);
    EXPECT_EQ(closed.Close(), CERR_NOT_OPEN); // nothing to close; the code stays

    std::string path = ScratchDir("cfile-seek") + "\\thousand.bin";
    ASSERT_TRUE(WriteFileBytes(path, std::string(1000, 'x')));
    cFile f;
    ASSERT_EQ(f.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ), CERR_NONE);
    EXPECT_EQ(f.Seek(-492, FILE_END), 508);
    EXPECT_EQ(f.GetError(), CERR_NONE);
    EXPECT_EQ(f.Size(), 1000u);
    f.Close();
}

TEST(File, FailedOpenRecordsTheSystemError) {
    cFile f;
    EXPECT_EQ(f.Open("C:\\no\\such\\file.bin", GENERIC_READ, FILE_SHARE_READ), CERR_SYSTEM);
    EXPECT_TRUE(f.IsSystemError());
    EXPECT_TRUE(f.GetSystemError() == ERROR_PATH_NOT_FOUND || f.GetSystemError() == ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(f.IsOpen());
    char text[256];
    EXPECT_TRUE(f.GetErrorText(text, sizeof text));
    EXPECT_NE(text[0], 0);
    EXPECT_EQ(strchr(text, '\n'), nullptr);
}

TEST(File, CopyToMovesWholeChunksAndStopsAtAShortSource) {
    std::string dir = ScratchDir("cfile-copy");
    const std::string data = Pattern(20000);
    ASSERT_TRUE(WriteFileBytes(dir + "\\source.bin", data));

    cFile source, target;
    ASSERT_EQ(source.Open((dir + "\\source.bin").c_str(), GENERIC_READ, FILE_SHARE_READ), CERR_NONE);
    ASSERT_EQ(target.Create((dir + "\\whole.bin").c_str(), FILE_ATTRIBUTE_NORMAL, 0), CERR_NONE);
    source.Seek(100, FILE_BEGIN);
    EXPECT_EQ(source.CopyTo(target, 19000), CERR_NONE);
    target.Close();
    EXPECT_EQ(ReadFileBytes(dir + "\\whole.bin"), data.substr(100, 19000));

    // 25000 bytes asked of 20000: two whole chunks of 8192, then the end.
    ASSERT_EQ(target.Create((dir + "\\short.bin").c_str(), FILE_ATTRIBUTE_NORMAL, 0), CERR_NONE);
    source.Seek(0, FILE_BEGIN);
    EXPECT_EQ(source.CopyTo(target, 25000), CERR_EOF);
    target.Close();
    EXPECT_EQ(ReadFileBytes(dir + "\\short.bin"), data.substr(0, 16384));

    // A source that ends inside the last chunk is not a success either.
    ASSERT_EQ(target.Create((dir + "\\last.bin").c_str(), FILE_ATTRIBUTE_NORMAL, 0), CERR_NONE);
    source.Seek(0, FILE_BEGIN);
    EXPECT_EQ(source.CopyTo(target, 20001), CERR_EOF);
    target.Close();
    source.Close();
}

TEST(File, CopyToAFailingDestinationTakesItsError) {
    std::string dir = ScratchDir("cfile-copyfail");
    ASSERT_TRUE(WriteFileBytes(dir + "\\source.bin", Pattern(100)));
    ASSERT_TRUE(WriteFileBytes(dir + "\\readonly.bin", ""));
    cFile source, target;
    ASSERT_EQ(source.Open((dir + "\\source.bin").c_str(), GENERIC_READ, FILE_SHARE_READ), CERR_NONE);
    // Opened for reading only, so every write fails.
    ASSERT_EQ(target.Open((dir + "\\readonly.bin").c_str(), GENERIC_READ, FILE_SHARE_READ), CERR_NONE);
    EXPECT_EQ(source.CopyTo(target, 100), CERR_SYSTEM);
    EXPECT_EQ(source.GetSystemError(), target.GetSystemError());
    EXPECT_NE(source.GetSystemError(), 0u);
    source.Close();
    target.Close();
}

TEST(ErrorText, CodesAndSystemMessages) {
    char text[256] = "junk";
    EXPECT_FALSE(GetErrorCodeText(CERR_NONE, 0, text, sizeof text));
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(GetErrorCodeText(CERR_SYSTEM, ERROR_FILE_NOT_FOUND, text, sizeof text));
    EXPECT_GT(strlen(text), 5u);
    EXPECT_EQ(strchr(text, '\n'), nullptr);
    // The module has no string resources for its own codes.
    EXPECT_FALSE(GetErrorCodeText(CERR_EOF, 0, text, sizeof text));

    char message[512];
    DWORD n = SystemErrorText(ERROR_FILE_NOT_FOUND, message, sizeof message);
    EXPECT_GT(n, 0u);
    EXPECT_EQ(strlen(message), n);
    EXPECT_EQ(message[n - 1], '\n');
    EXPECT_EQ(SystemErrorText(0x2F7A9, message, sizeof message), 0u);
    // A message with an insertion mark keeps it rather than reading missing arguments.
    EXPECT_GT(SystemErrorText(ERROR_BAD_EXE_FORMAT, message, sizeof message), 0u);
}

TEST(FileBox, MissingFileGivesNoBoxAndAGoodFileRoundTrips) {
    EXPECT_EQ(OpenFileBox("C:\\no\\such\\file.bin", GENERIC_READ, FILE_SHARE_READ), nullptr);
    std::string path = ScratchDir("filebox") + "\\box.bin";
    FileBox* box = CreateFileBox(path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WriteFileBox(box, "hello", 5), 5);
    EXPECT_EQ(SeekFileBox(box, 1, FILE_BEGIN), 1u);
    char buffer[8] = "";
    EXPECT_EQ(ReadFileBox(box, buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "ello");
    CloseFileBox(box);
    CloseFileBox(nullptr);
    EXPECT_TRUE(DeleteFileByName(path.c_str()));
    EXPECT_FALSE(DeleteFileByName(path.c_str()));
}

} // namespace
