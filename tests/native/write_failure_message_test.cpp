#include "themes/write_failure_message.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(WriteFailureMessage, WindowsErrorCodesMapToTheReasonsUsersCanActOn) {
    struct Case {
        unsigned long code;
        WriteFailure failure;
    };
    const Case cases[] = {
        {2, WriteFailure::MissingFolder},     // ERROR_FILE_NOT_FOUND
        {3, WriteFailure::MissingFolder},     // ERROR_PATH_NOT_FOUND
        {15, WriteFailure::MissingFolder},    // ERROR_INVALID_DRIVE
        {21, WriteFailure::MissingFolder},    // ERROR_NOT_READY (no medium)
        {53, WriteFailure::MissingFolder},    // ERROR_BAD_NETPATH
        {123, WriteFailure::MissingFolder},   // ERROR_INVALID_NAME
        {267, WriteFailure::MissingFolder},   // ERROR_DIRECTORY
        {5, WriteFailure::NoPermission},      // ERROR_ACCESS_DENIED
        {19, WriteFailure::NoPermission},     // ERROR_WRITE_PROTECT
        {1314, WriteFailure::NoPermission},   // ERROR_PRIVILEGE_NOT_HELD
        {32, WriteFailure::FileInUse},        // ERROR_SHARING_VIOLATION
        {33, WriteFailure::FileInUse},        // ERROR_LOCK_VIOLATION
        {1224, WriteFailure::FileInUse},      // ERROR_USER_MAPPED_FILE
        {39, WriteFailure::DiskFull},         // ERROR_HANDLE_DISK_FULL
        {112, WriteFailure::DiskFull},        // ERROR_DISK_FULL
        {1295, WriteFailure::DiskFull},       // ERROR_DISK_QUOTA_EXCEEDED
        {0, WriteFailure::Other},
        {87, WriteFailure::Other},            // ERROR_INVALID_PARAMETER
        {1117, WriteFailure::Other},          // ERROR_IO_DEVICE
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyWriteError(c.code), c.failure) << "code " << c.code;
}

TEST(WriteFailureMessage, NamesTheFileAndTheReason) {
    const std::wstring path = L"D:\\游戏\\英雄\\Game\\_JDDTB2.zip";
    struct Case {
        unsigned long code;
        const wchar_t* reason;
    };
    const Case cases[] = {
        {3, L"找不到目标文件夹"},
        {5, L"没有写入权限"},
        {32, L"正被其他程序使用"},
        {112, L"磁盘空间不足"},
    };
    for (const Case& c : cases) {
        const std::wstring message = WriteFailureMessage(path, c.code);
        EXPECT_EQ(message.rfind(L"无法写入文件“" + path + L"”：", 0), 0u) << c.code;
        EXPECT_NE(message.find(c.reason), std::wstring::npos) << c.code;
    }
    // The four reasons are told apart.
    EXPECT_NE(WriteFailureMessage(path, 3), WriteFailureMessage(path, 5));
    EXPECT_NE(WriteFailureMessage(path, 32), WriteFailureMessage(path, 112));
    // Anything else still names the file and gives the code to look up.
    const std::wstring other = WriteFailureMessage(path, 1117);
    EXPECT_NE(other.find(path), std::wstring::npos);
    EXPECT_NE(other.find(L"1117"), std::wstring::npos);
    EXPECT_EQ(other.find(L"磁盘空间不足"), std::wstring::npos);
}

TEST(WriteFailureMessage, BackupFailureSaysTheListWasLeftAlone) {
    const std::wstring list = L"C:\\Game\\ClientZips.txt";
    const std::wstring backup = L"C:\\Game\\ClientZips.txt.bak";
    const std::wstring message = BackupFailureMessage(list, backup, 32);
    EXPECT_NE(message.find(L"“" + list + L"”"), std::wstring::npos);
    EXPECT_NE(message.find(L"“" + backup + L"”"), std::wstring::npos);
    EXPECT_NE(message.find(L"正被其他程序使用"), std::wstring::npos);
    EXPECT_NE(message.find(L"没有写入新的列表"), std::wstring::npos);
    EXPECT_NE(std::wstring(kChooseFolderMessage).find(L"选择游戏目录"), std::wstring::npos);
}

}  // namespace
}  // namespace quorvel
