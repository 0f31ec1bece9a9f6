#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/win32_runtime.h"

namespace quorvel {
namespace {

// A fresh folder under the temp folder, removed with its files afterwards.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& leaf) {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"quorvel-" + std::to_wstring(GetCurrentProcessId()) + L"-" + leaf;
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring file = path_ + L"\\" + name;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

    int FileCount() const {
        int count = 0;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return 0;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

private:
    std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

TEST(WriteBytesToFile, ReplacesALongerFileWithExactlyTheNewBytes) {
    TempFolder folder(L"longer");
    Win32Runtime runtime;
    const std::wstring target = folder.file(L"ClientZips.txt");
    ASSERT_TRUE(runtime.WriteBytesToFile(target, std::string(5000, 'x')));
    const std::string shorter("a\0b\r\nc", 6);
    unsigned long error = 12345;
    EXPECT_TRUE(runtime.WriteBytesToFile(target, shorter, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(ReadFileBytes(target), shorter);
    EXPECT_EQ(folder.FileCount(), 1) << "a temporary file was left behind";

    EXPECT_TRUE(runtime.WriteBytesToFile(target, ""));
    EXPECT_EQ(ReadFileBytes(target), "");
}

TEST(WriteBytesToFile, MissingFolderFailsAndCreatesNothing) {
    TempFolder folder(L"missing");
    Win32Runtime runtime;
    unsigned long error = 0;
    EXPECT_FALSE(runtime.WriteBytesToFile(folder.file(L"no such folder\\_MNUI.zip"), "data", &error));
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(folder.FileCount(), 0);
    EXPECT_FALSE(runtime.WriteBytesToFile(L"", "data", &error));
}

TEST(WriteBytesToFile, ReadOnlyTargetStaysAsItWas) {
    TempFolder folder(L"readonly");
    Win32Runtime runtime;
    const std::wstring target = folder.file(L"_JDDTB2.zip");
    ASSERT_TRUE(runtime.WriteBytesToFile(target, "earlier"));
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    unsigned long error = 0;
    EXPECT_FALSE(runtime.WriteBytesToFile(target, "new content", &error));
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileBytes(target), "earlier");
    EXPECT_EQ(folder.FileCount(), 1);
}

TEST(WriteBytesToFile, TargetHeldOpenByAnotherHandleStaysAsItWas) {
    TempFolder folder(L"locked");
    Win32Runtime runtime;
    const std::wstring target = folder.file(L"ClientZips.txt");
    ASSERT_TRUE(runtime.WriteBytesToFile(target, "earlier"));
    HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    unsigned long error = 0;
    EXPECT_FALSE(runtime.WriteBytesToFile(target, "new", &error));
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(target), "earlier");
    EXPECT_EQ(folder.FileCount(), 1);
}

TEST(WriteBytesToFile, KeepsEveryCharacterOfAUnicodePath) {
    // Korean and an emoji: neither exists in code page 936.
    TempFolder folder(L"게임폴더 \U0001F3AE");
    Win32Runtime runtime;
    const std::wstring target = folder.file(L"_ZQUI.zip");
    ASSERT_TRUE(runtime.WriteBytesToFile(target, "PK\x05\x06"));
    EXPECT_EQ(ReadFileBytes(target), "PK\x05\x06");
    EXPECT_NE(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace quorvel
