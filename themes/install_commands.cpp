#include "themes/install_commands.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "app/file_handle.h"
#include "app/window_runtime.h"
#include "themes/theme_catalog.h"
#include "themes/write_failure_message.h"

namespace quorvel {
namespace {

const wchar_t* const kLoadedMessage = L"加载UI成功";
const wchar_t* const kAppliedMessage = L"应用成功！祝您游戏愉快！";
const wchar_t* const kMissingPackageMessage =
    L"程序内缺少该主题的数据包，无法加载。请重新下载本程序。";
constexpr std::string_view kListFileName = "ClientZips.txt";
const wchar_t* const kBackupSuffix = L".bak";

// The theme whose radio button is selected, looking at 1..7 in order.
const Theme* SelectedTheme() {
    for (const Theme& theme : ThemeCatalog())
        if (ReadSelected(theme.radioButton)) return &theme;
    return nullptr;
}

// The directory text, one backslash, the (ASCII) file name. The text is
// used as it stands: a drive root that already ends in a backslash gives
// two in a row, which Windows reads as one.
std::wstring PathInFolder(const std::wstring& folder, std::string_view fileName) {
    return folder + L"\\" + std::wstring(fileName.begin(), fileName.end());
}

void Show(const std::wstring& text) { Runtime().ShowMessage(text, kMessageOkOnly); }

enum class ExistingList {
    Absent,      // nothing to keep
    Ours,        // one of the seven lists this program writes
    Foreign,     // the user's own list: keep a copy before replacing it
    Unreadable,  // cannot tell, so it must not be replaced
};

ExistingList LookAtList(const std::wstring& path, DWORD* error) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        *error = GetLastError();
        // A list that cannot exist there (no such file or folder, or no
        // valid path) is left to the write, which reports why.
        return ClassifyWriteError(*error) == WriteFailure::MissingFolder ? ExistingList::Absent
                                                                          : ExistingList::Unreadable;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        *error = GetLastError();
        return ExistingList::Unreadable;
    }
    constexpr LONGLONG kLongerThanAnyList = 4096;
    if (size.QuadPart >= kLongerThanAnyList) return ExistingList::Foreign;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        *error = GetLastError();
        return ExistingList::Unreadable;
    }
    bytes.resize(read);
    for (const Theme& theme : ThemeCatalog())
        if (bytes == theme.clientZipsText) return ExistingList::Ours;
    return ExistingList::Foreign;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Copies the user's list to `backupPath` unless a backup is already there;
// an existing backup is never replaced.
bool KeepBackup(const std::wstring& listPath, const std::wstring& backupPath, DWORD* error) {
    if (IsFile(backupPath)) return true;
    if (CopyFileW(listPath.c_str(), backupPath.c_str(), TRUE /* fail if it exists */)) return true;
    *error = GetLastError();
    if (*error == ERROR_FILE_EXISTS || *error == ERROR_ALREADY_EXISTS) return IsFile(backupPath);
    // The backup did not exist before the copy began: drop whatever part
    // of it was made, so a later run does not take it for a good copy.
    DeleteFileW(backupPath.c_str());
    return false;
}

// Replacing a file that another program holds open fails with "access
// denied" rather than a sharing violation (the file must be superseded, and
// the other handle does not allow that). Tell the two apart by opening the
// existing file the way a replace needs it.
unsigned long ExplainAccessDenied(const std::wstring& path, unsigned long error) {
    if (error != ERROR_ACCESS_DENIED) return error;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return error;
    FileHandle probe(CreateFileW(path.c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION) return ERROR_SHARING_VIOLATION;
    return error;
}

// Writes `bytes` to `path`; on failure tells the user which file and why.
bool Write(const std::wstring& path, std::string_view bytes) {
    unsigned long error = 0;
    if (Runtime().WriteBytesToFile(path, bytes, &error)) return true;
    Show(WriteFailureMessage(path, ExplainAccessDenied(path, error)));
    return false;
}

// The selected theme and the game folder from the directory box. An empty
// box (the picker was cancelled) names no folder: the user is asked to
// choose one and nothing is written.
bool ReadSelection(const Theme** theme, std::wstring* folder) {
    *theme = SelectedTheme();
    if (!*theme) return false;
    *folder = ReadText(Control::EditBox1);
    if (folder->empty()) {
        Show(kChooseFolderMessage);
        return false;
    }
    return true;
}

}  // namespace

void LoadSelectedTheme() {
    const Theme* theme = nullptr;
    std::wstring folder;
    if (!ReadSelection(&theme, &folder)) return;
    if (theme->package.empty()) {
        Show(kMissingPackageMessage);
        return;
    }
    if (!Write(PathInFolder(folder, theme->packageFileName), theme->package)) return;
    if (theme->number == 1) Show(kLoadedMessage);
}

void ApplySelectedTheme() {
    const Theme* theme = nullptr;
    std::wstring folder;
    if (!ReadSelection(&theme, &folder)) return;
    const std::wstring path = PathInFolder(folder, kListFileName);
    const std::wstring backupPath = path + kBackupSuffix;
    DWORD lookError = ERROR_SUCCESS;
    switch (LookAtList(path, &lookError)) {
        case ExistingList::Unreadable:
            Show(BackupFailureMessage(path, backupPath, lookError));
            return;
        case ExistingList::Foreign:
            if (!KeepBackup(path, backupPath, &lookError)) {
                Show(BackupFailureMessage(path, backupPath, lookError));
                return;
            }
            break;
        case ExistingList::Absent:
        case ExistingList::Ours:
            break;
    }
    if (!Write(path, theme->clientZipsText)) return;
    if (theme->number != 1) Show(kAppliedMessage);
}

}  // namespace quorvel
