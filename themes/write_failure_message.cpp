#include "themes/write_failure_message.h"

namespace quorvel {
namespace {

// Windows error codes (winerror.h), spelled out so this file needs no
// Windows header.
constexpr unsigned long kFileNotFound = 2;
constexpr unsigned long kPathNotFound = 3;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kInvalidDrive = 15;
constexpr unsigned long kWriteProtect = 19;
constexpr unsigned long kNotReady = 21;
constexpr unsigned long kSharingViolation = 32;
constexpr unsigned long kLockViolation = 33;
constexpr unsigned long kHandleDiskFull = 39;
constexpr unsigned long kBadNetPath = 53;
constexpr unsigned long kNetworkAccessDenied = 65;
constexpr unsigned long kBadNetName = 67;
constexpr unsigned long kDiskFull = 112;
constexpr unsigned long kInvalidName = 123;
constexpr unsigned long kBadPathName = 161;
constexpr unsigned long kDirectory = 267;
constexpr unsigned long kUserMappedFile = 1224;
constexpr unsigned long kDiskQuotaExceeded = 1295;
constexpr unsigned long kPrivilegeNotHeld = 1314;

const wchar_t* Reason(WriteFailure failure) {
    switch (failure) {
        case WriteFailure::MissingFolder:
            return L"找不到目标文件夹，请确认游戏目录存在并重新选择。";
        case WriteFailure::NoPermission:
            return L"没有写入权限（文件可能是只读的），请检查文件属性或以管理员身份运行。";
        case WriteFailure::FileInUse:
            return L"文件正被其他程序使用，请关闭游戏客户端后重试。";
        case WriteFailure::DiskFull:
            return L"磁盘空间不足，请清理磁盘后重试。";
        case WriteFailure::Other:
            break;
    }
    return L"写入失败";
}

std::wstring ReasonText(unsigned long systemError) {
    const WriteFailure failure = ClassifyWriteError(systemError);
    if (failure != WriteFailure::Other) return Reason(failure);
    return std::wstring(Reason(failure)) + L"（错误代码 " + std::to_wstring(systemError) + L"）。";
}

}  // namespace

const wchar_t* const kChooseFolderMessage = L"请先点击“浏览”选择游戏目录。";

WriteFailure ClassifyWriteError(unsigned long systemError) {
    switch (systemError) {
        case kFileNotFound:
        case kPathNotFound:
        case kInvalidDrive:
        case kNotReady:
        case kBadNetPath:
        case kBadNetName:
        case kInvalidName:
        case kBadPathName:
        case kDirectory:
            return WriteFailure::MissingFolder;
        case kAccessDenied:
        case kWriteProtect:
        case kNetworkAccessDenied:
        case kPrivilegeNotHeld:
            return WriteFailure::NoPermission;
        case kSharingViolation:
        case kLockViolation:
        case kUserMappedFile:
            return WriteFailure::FileInUse;
        case kHandleDiskFull:
        case kDiskFull:
        case kDiskQuotaExceeded:
            return WriteFailure::DiskFull;
        default:
            return WriteFailure::Other;
    }
}

std::wstring WriteFailureMessage(const std::wstring& path, unsigned long systemError) {
    return L"无法写入文件“" + path + L"”：" + ReasonText(systemError);
}

std::wstring BackupFailureMessage(const std::wstring& listPath, const std::wstring& backupPath,
                                  unsigned long systemError) {
    return L"无法把原有的“" + listPath + L"”备份为“" + backupPath + L"”：" + ReasonText(systemError) +
           L"为保护您原有的列表，本次没有写入新的列表。";
}

}  // namespace quorvel
