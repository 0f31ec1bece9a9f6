// The load and apply commands through the real runtime and the real main
// window, writing into real folders. Only the message box and the folder
// picker are replaced, by a recorder that also notes what the target file
// held at the moment each message was shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/win32_runtime.h"
#include "themes/install_commands.h"
#include "themes/theme_catalog.h"

namespace quorvel {
namespace {

const std::wstring kLoaded = L"加载UI成功";
const std::wstring kApplied = L"应用成功！祝您游戏愉快！";
const std::wstring kDefaultTitle = L"信息：";

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::optional<std::string> ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[1 << 16];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// Compares a file with the bytes it should hold, reporting only sizes and
// the first difference (packages are megabytes of binary data).
::testing::AssertionResult Holds(const std::wstring& path, std::string_view expected) {
    const std::optional<std::string> actual = ReadBytes(path);
    if (!actual) return ::testing::AssertionFailure() << "file missing";
    if (*actual == expected) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual->size() && at < expected.size() && (*actual)[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << "file has " << actual->size() << " bytes, expected "
                                         << expected.size() << ", first difference at " << at;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    return CloseHandle(file) && ok;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Names in `folder`, sorted, without "." and "..".
std::vector<std::wstring> Listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::wstring& path) {
    for (const std::wstring& name : Listing(path)) {
        const std::wstring child = path + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

// A file of the build tree (under Wine the build folder is a Unix path,
// reached through drive Z:).
std::wstring InBuildTree(const std::string& relative) {
    std::wstring path = Widen(QUORVEL_BINARY_DIR "/" + relative);
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

struct Shown {
    std::wstring text;
    int buttons;
    std::wstring title;
    std::optional<std::string> watchedFile;  // the watched file's bytes at that moment
};

class RecordingRuntime : public Win32Runtime {
public:
    void ShowMessage(const std::wstring& text, int buttons, const std::wstring& title) override {
        messages.push_back({text, buttons, title,
                            watched.empty() ? std::nullopt : ReadBytes(watched)});
    }
    std::wstring BrowseForFolder(const std::wstring&) override { return {}; }

    std::vector<Shown> messages;
    std::wstring watched;
};

// The real main window with the recorder installed, and a fresh folder.
class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRuntime(&runtime);
        ASSERT_NE(LoadStartWindow(), nullptr);
        startText = ReadText(Control::EditBox1);
        static int serial = 0;
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"quorvel 主题 " + std::to_wstring(GetCurrentProcessId()) +
                 L"-" + std::to_wstring(++serial);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    void TearDown() override {
        RemoveTree(folder);
        if (MainWindow()) DestroyWindow(MainWindow());
        runtime.ProcessEvents();
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        SetRuntime(nullptr);
    }

    void Select(int themeNumber) {
        SendMessageW(ControlWindow(RadioOfTheme(themeNumber)), BM_CLICK, 0, 0);
        ASSERT_TRUE(ReadSelected(RadioOfTheme(themeNumber)));
    }
    void SetDirectory(const std::wstring& text) {
        ASSERT_TRUE(SetWindowTextW(ControlWindow(Control::EditBox1), text.c_str()));
    }
    std::wstring PackagePath(int themeNumber) const {
        return folder + L"\\" + Widen(ThemeByNumber(themeNumber).packageFileName);
    }
    std::wstring ListPath() const { return folder + L"\\ClientZips.txt"; }
    std::wstring BackupPath() const { return folder + L"\\ClientZips.txt.bak"; }

    // Presses a command's link ("加载UI" or "应用该UI") as the user does
    // and returns the messages the command showed.
    std::vector<Shown> Run(Control link, const std::wstring& watch = {}) {
        runtime.messages.clear();
        runtime.watched = watch;
        SendMessageW(ControlWindow(link), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        return runtime.messages;
    }
    static constexpr Control kLoadLink = Control::Link1;
    static constexpr Control kApplyLink = Control::Link2;

    RecordingRuntime runtime;
    std::wstring startText;
    std::wstring folder;
};

TEST_F(InstallTest, LoadWritesEachThemesPackageAndOnlyThemeOneSaysSoAfterTheWrite) {
    SetDirectory(folder);
    std::vector<std::wstring> written;
    for (const Theme& theme : ThemeCatalog()) {
        SCOPED_TRACE(theme.number);
        Select(theme.number);
        // The package carried in the program is the generated archive, whole.
        const auto generated = ReadBytes(InBuildTree("packages/" + std::string(theme.packageFileName)));
        ASSERT_TRUE(generated.has_value());
        ASSERT_EQ(theme.package.size(), generated->size());
        ASSERT_TRUE(theme.package == *generated);

        const std::wstring path = PackagePath(theme.number);
        const std::vector<Shown> shown = Run(kLoadLink, path);
        EXPECT_TRUE(Holds(path, theme.package));
        if (theme.number == 1) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, kLoaded);
            EXPECT_EQ(shown[0].buttons, kMessageOkOnly);
            EXPECT_EQ(shown[0].title, kDefaultTitle);
            // Shown only once the package was completely in place.
            EXPECT_TRUE(shown[0].watchedFile == std::string(theme.package))
                << "the message came before the package was in place";
        } else {
            EXPECT_TRUE(shown.empty());
        }
        written.push_back(Widen(theme.packageFileName));
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(Listing(folder), written) << "stray files beside the packages";

    // Loading again replaces the package with the same bytes.
    Select(5);
    WriteFileBytes(PackagePath(5), "an older, longer, different file than the package .....");
    Run(kLoadLink);
    EXPECT_TRUE(Holds(PackagePath(5), ThemeByNumber(5).package));
}

TEST_F(InstallTest, ApplyWritesEachThemesListAndThemesTwoToSevenSaySoAfterTheWrite) {
    SetDirectory(folder);
    for (const Theme& theme : ThemeCatalog()) {
        SCOPED_TRACE(theme.number);
        Select(theme.number);
        const std::vector<Shown> shown = Run(kApplyLink, ListPath());
        const std::string list(theme.clientZipsText);
        EXPECT_TRUE(Holds(ListPath(), list));
        if (theme.number == 1) {
            EXPECT_TRUE(shown.empty());
        } else {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, kApplied);
            EXPECT_EQ(shown[0].buttons, kMessageOkOnly);
            EXPECT_EQ(shown[0].title, kDefaultTitle);
            EXPECT_TRUE(shown[0].watchedFile == list)
                << "the success message came before the list was written";
        }
    }
    // Each list replaced one the program itself had written: no backup.
    EXPECT_EQ(Listing(folder), std::vector<std::wstring>{L"ClientZips.txt"});
}

TEST_F(InstallTest, AFolderEndingInABackslashGivesTwoInARow) {
    // A drive root comes back from the picker as "X:\"; the path is then
    // "X:\\name", which Windows reads as "X:\name".
    SetDirectory(folder + L"\\");
    Select(2);
    EXPECT_TRUE(Run(kLoadLink).empty());
    EXPECT_TRUE(Holds(PackagePath(2), ThemeByNumber(2).package));
}

TEST_F(InstallTest, ADriveRootGetsTwoBackslashes) {
    // A real drive root: a spare drive letter mapped onto the folder.
    // Wine 8 accepts the mapping but resolves drive letters for file access
    // through its dosdevices folder only, so there the test cannot run;
    // on Windows the mapped drive is the folder.
    std::wstring drive;
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y' && drive.empty(); ++letter)
        if (!(used & (1u << (letter - L'A')))) drive = std::wstring(1, letter) + L":";
    const std::wstring target = L"\\??\\" + folder;  // an NT path, as the object manager wants it
    if (drive.empty() || !DefineDosDeviceW(DDD_RAW_TARGET_PATH, drive.c_str(), target.c_str()))
        GTEST_SKIP() << "no spare drive letter could be mapped onto the folder";
    if (!Exists(drive + L"\\")) {
        DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                         drive.c_str(), target.c_str());
        GTEST_SKIP() << "the mapped drive does not reach the folder (Wine)";
    }
    SetDirectory(drive + L"\\");
    Select(1);
    const std::vector<Shown> shown = Run(kApplyLink);
    const std::vector<Shown> loaded = Run(kLoadLink);
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                     drive.c_str(), target.c_str());
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].text, kLoaded);
    EXPECT_TRUE(Holds(ListPath(), ThemeByNumber(1).clientZipsText));
    EXPECT_TRUE(Holds(PackagePath(1), ThemeByNumber(1).package));
}

TEST_F(InstallTest, AnEmptyBoxWritesNothingAndAsksForTheGameFolder) {
    // After a cancelled picker the box is empty; the paths would name the
    // root of the current drive.
    SetDirectory(L"");
    const bool rootHadPackage = Exists(L"\\_JDDTB2.zip");
    const bool rootHadList = Exists(L"\\ClientZips.txt");
    for (int theme : {1, 4}) {
        SCOPED_TRACE(theme);
        Select(theme);
        for (Control command : {kLoadLink, kApplyLink}) {
            const std::vector<Shown> shown = Run(command);
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_NE(shown[0].text.find(L"选择游戏目录"), std::wstring::npos);
            EXPECT_EQ(shown[0].text.find(L"成功"), std::wstring::npos);
        }
    }
    EXPECT_EQ(Exists(L"\\_JDDTB2.zip"), rootHadPackage);
    EXPECT_EQ(Exists(L"\\_MNUI.zip"), false);
    EXPECT_EQ(Exists(L"\\ClientZips.txt"), rootHadList);
}

TEST_F(InstallTest, TheStartTextNamesAFolderUnderTheProgramsFolder) {
    ASSERT_FALSE(startText.empty());
    wchar_t current[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    const std::wstring relative = std::wstring(current) + L"\\" + startText;
    RemoveTree(relative);

    // No such folder: the write fails, and Load says so instead of claiming success.
    Select(1);
    std::vector<Shown> shown = Run(kLoadLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(L"找不到目标文件夹"), std::wstring::npos) << "got: " << shown.size();
    EXPECT_NE(shown[0].text.find(startText + L"\\_JDDTB2.zip"), std::wstring::npos);

    ASSERT_TRUE(CreateDirectoryW(relative.c_str(), nullptr));
    Select(3);
    EXPECT_TRUE(Run(kLoadLink).empty());
    EXPECT_TRUE(Holds(relative + L"\\_HKUI5.2.zip", ThemeByNumber(3).package));
    RemoveTree(relative);
}

// A failed write leaves the earlier file as it was, leaves nothing beside
// it, shows no success message and says which file and why.
TEST_F(InstallTest, FailedWritesKeepTheEarlierFileAndSayWhy) {
    const std::string earlier = "an earlier file that must survive";

    // Missing folder: Load (theme 1, which used to claim success) and Apply.
    const std::wstring missing = folder + L"\\no such folder";
    SetDirectory(missing);
    Select(1);
    std::vector<Shown> shown = Run(kLoadLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(missing + L"\\_JDDTB2.zip"), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"找不到目标文件夹"), std::wstring::npos);
    Select(5);
    shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(missing + L"\\ClientZips.txt"), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"找不到目标文件夹"), std::wstring::npos);
    EXPECT_FALSE(Exists(missing));

    SetDirectory(folder);

    // A read-only package file.
    ASSERT_TRUE(WriteFileBytes(PackagePath(6), earlier));
    ASSERT_TRUE(SetFileAttributesW(PackagePath(6).c_str(), FILE_ATTRIBUTE_READONLY));
    Select(6);
    shown = Run(kLoadLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(PackagePath(6)), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"没有写入权限"), std::wstring::npos) << "got: " << shown[0].text.size();
    EXPECT_TRUE(Holds(PackagePath(6), earlier));

    // A read-only list that the program wrote itself (so no backup is due).
    ASSERT_TRUE(WriteFileBytes(ListPath(), std::string(ThemeByNumber(2).clientZipsText)));
    ASSERT_TRUE(SetFileAttributesW(ListPath().c_str(), FILE_ATTRIBUTE_READONLY));
    shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(ListPath()), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"没有写入权限"), std::wstring::npos);
    EXPECT_TRUE(Holds(ListPath(), ThemeByNumber(2).clientZipsText));

    // A package file that another program holds open without sharing.
    ASSERT_TRUE(WriteFileBytes(PackagePath(7), earlier));
    HANDLE held = CreateFileW(PackagePath(7).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Select(7);
    shown = Run(kLoadLink);
    CloseHandle(held);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(PackagePath(7)), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"正被其他程序使用"), std::wstring::npos);
    EXPECT_TRUE(Holds(PackagePath(7), earlier));

    EXPECT_EQ(Listing(folder), (std::vector<std::wstring>{L"ClientZips.txt", L"_ZQ2UI.zip", L"_ZQUI.zip"}))
        << "a failed write left something behind";
}

TEST_F(InstallTest, TheUsersOwnListIsBackedUpOnceAndNeverOverwritten) {
    SetDirectory(folder);
    const std::string own = "MyMod.zip\r\nAatrox.zip\r\nDatas.zip";
    ASSERT_TRUE(WriteFileBytes(ListPath(), own));
    Select(3);
    std::vector<Shown> shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kApplied);
    EXPECT_TRUE(Holds(BackupPath(), own));
    EXPECT_TRUE(Holds(ListPath(), ThemeByNumber(3).clientZipsText));

    // Applying over the program's own list keeps the first backup.
    Select(1);
    EXPECT_TRUE(Run(kApplyLink).empty());
    EXPECT_TRUE(Holds(BackupPath(), own));

    // Another list of the user's: replaced, but the existing backup stays.
    const std::string another = "Other.zip";
    ASSERT_TRUE(WriteFileBytes(ListPath(), another));
    Select(6);
    shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kApplied);
    EXPECT_TRUE(Holds(BackupPath(), own));
    EXPECT_TRUE(Holds(ListPath(), ThemeByNumber(6).clientZipsText));
    EXPECT_EQ(Listing(folder), (std::vector<std::wstring>{L"ClientZips.txt", L"ClientZips.txt.bak"}));
}

TEST_F(InstallTest, TheUsersListStaysWhenNoBackupCanBeMade) {
    SetDirectory(folder);
    const std::string own = "MyMod.zip\r\nDatas.zip";

    // The backup name is taken by a folder.
    ASSERT_TRUE(WriteFileBytes(ListPath(), own));
    ASSERT_TRUE(CreateDirectoryW(BackupPath().c_str(), nullptr));
    Select(4);
    std::vector<Shown> shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(BackupPath()), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"没有写入新的列表"), std::wstring::npos);
    EXPECT_TRUE(Holds(ListPath(), own));
    RemoveDirectoryW(BackupPath().c_str());

    // The list is held open without sharing, so it cannot even be read.
    HANDLE held = CreateFileW(ListPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Select(1);
    shown = Run(kApplyLink);
    CloseHandle(held);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(ListPath()), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"正被其他程序使用"), std::wstring::npos);
    EXPECT_TRUE(Holds(ListPath(), own));
    EXPECT_EQ(Listing(folder), std::vector<std::wstring>{L"ClientZips.txt"});
}

// Run by tests/full_disk/run_full_disk.sh, which mounts a 320 KB tmpfs and
// names it in QUORVEL_FULL_DISK_DIR; skipped when run on its own.
TEST_F(InstallTest, FullDiskKeepsTheEarlierFileAndSaysTheDiskIsFull) {
    wchar_t unixPath[1024];
    const DWORD length = GetEnvironmentVariableW(L"QUORVEL_FULL_DISK_DIR", unixPath, 1024);
    if (length == 0 || length >= 1024) GTEST_SKIP() << "no small disk prepared";
    std::wstring small = unixPath;
    std::replace(small.begin(), small.end(), L'/', L'\\');
    if (!small.empty() && small[0] == L'\\') small = L"Z:" + small;  // Wine's drive for "/"
    const std::wstring package = small + L"\\_ZQUI.zip";
    const std::wstring list = small + L"\\ClientZips.txt";
    const std::string earlier = "an earlier package that must survive";
    DeleteFileW(package.c_str());
    DeleteFileW(list.c_str());
    ASSERT_TRUE(WriteFileBytes(package, earlier));
    // Nearly fill the disk, so that even a list no longer fits.
    const std::wstring filler = small + L"\\filler";
    ASSERT_TRUE(WriteFileBytes(filler, std::string(300 * 1024, 'x')));
    while (WriteFileBytes(filler + std::to_wstring(Listing(small).size()), std::string(512, 'x'))) {
    }

    SetDirectory(small);
    Select(6);  // 1.8 MB
    std::vector<Shown> shown = Run(kLoadLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(package), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"磁盘空间不足"), std::wstring::npos);
    EXPECT_TRUE(Holds(package, earlier));

    shown = Run(kApplyLink);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find(list), std::wstring::npos);
    EXPECT_NE(shown[0].text.find(L"磁盘空间不足"), std::wstring::npos);
    EXPECT_FALSE(Exists(list));
    for (const std::wstring& name : Listing(small))
        EXPECT_TRUE(name == L"_ZQUI.zip" || name.rfind(L"filler", 0) == 0) << "left behind: " << name.size();

    for (const std::wstring& name : Listing(small)) DeleteFileW((small + L"\\" + name).c_str());
}

}  // namespace
}  // namespace quorvel
