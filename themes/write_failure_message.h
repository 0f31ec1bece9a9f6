#pragma once
// The texts the load and apply commands show when a file cannot be written,
// from the Windows error code that the file writer reports. Plain data: no
// Windows header, so the mapping is tested on every platform.

#include <string>

namespace quorvel {

enum class WriteFailure {
    MissingFolder,  // the folder (or drive) in the path does not exist
    NoPermission,   // access denied, read-only file or write-protected medium
    FileInUse,      // another program holds the file open
    DiskFull,       // no space left (or quota exceeded)
    Other,
};

WriteFailure ClassifyWriteError(unsigned long systemError);

// "无法写入文件“<path>”：<reason>" for a failed write of `path`.
std::wstring WriteFailureMessage(const std::wstring& path, unsigned long systemError);

// Shown instead of replacing the user's own ClientZips.txt when its copy
// `backupPath` could not be made.
std::wstring BackupFailureMessage(const std::wstring& listPath, const std::wstring& backupPath,
                                  unsigned long systemError);

// Shown when the directory box is empty (the folder picker was cancelled).
extern const wchar_t* const kChooseFolderMessage;

}  // namespace quorvel
