#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>

#include "test_runtime.h"

namespace quorvel::testing {
namespace {

// What the user does in the picker: types a folder into its edit field and
// presses OK, or presses Cancel.
struct PickerScript {
    std::wstring typed;
    std::wstring leaf;  // the last part of `typed`, as the tree shows it
    bool cancel = false;
    bool seen = false;
    int ticks = 0;
    std::wstring promptShown;
};
PickerScript* g_script = nullptr;

BOOL CALLBACK CollectPrompt(HWND child, LPARAM) {
    wchar_t text[128] = {};
    GetWindowTextW(child, text, 128);
    if (std::wstring(text) == L"请选择路径") g_script->promptShown = text;
    return TRUE;
}

// The text of the folder tree's selected item.
std::wstring SelectedTreeItem(HWND dialog) {
    HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    if (!tree) return {};
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    wchar_t text[MAX_PATH] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

void CALLBACK DrivePicker(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    g_script->seen = true;
    EnumChildWindows(dialog, CollectPrompt, 0);
    if (g_script->cancel) {
        KillTimer(nullptr, timer);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // Browse the tree to the folder, and type it into the edit field too.
    // (Wine 8's picker takes the folder from the tree only; Windows takes
    // the typed text. Both name the same folder here.) The tree fills in
    // while the dialog opens: try again on the next tick until the folder
    // is the tree's selection.
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(g_script->typed.c_str()));
    if (SelectedTreeItem(dialog) != g_script->leaf && ++g_script->ticks < 25) return;
    KillTimer(nullptr, timer);
    HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    if (edit) SetWindowTextW(edit, g_script->typed.c_str());
    SendMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

class FolderPickerTest : public MainWindowTest {
protected:
    std::wstring Pick(PickerScript& script) {
        g_script = &script;
        runtime.useRealPicker = true;
        SetTimer(nullptr, 0, 200, DrivePicker);
        SendMessageW(Child(Control::BrowseButton), BM_CLICK, 0, 0);
        g_script = nullptr;
        return ReadText(Control::EditBox1);
    }
};

TEST_F(FolderPickerTest, TypedUnicodeFolderReachesTheBoxUnchanged) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    // Korean and an emoji, outside code page 936.
    const std::wstring leaf = L"게임 \U0001F3AE 폴더";
    const std::wstring folder = std::wstring(base) + leaf;
    CreateDirectoryW(folder.c_str(), nullptr);
    PickerScript script{folder, leaf};
    const std::wstring chosen = Pick(script);
    EXPECT_TRUE(script.seen);
    EXPECT_EQ(script.promptShown, L"请选择路径");
    // The shell may report the long form of the temp folder; the leaf is what matters.
    ASSERT_GE(chosen.size(), leaf.size());
    EXPECT_EQ(chosen.substr(chosen.size() - leaf.size()), leaf);
    EXPECT_NE(GetFileAttributesW(chosen.c_str()), INVALID_FILE_ATTRIBUTES);
    RemoveDirectoryW(folder.c_str());
}

TEST_F(FolderPickerTest, CancelEmptiesTheBox) {
    PickerScript script;
    script.cancel = true;
    EXPECT_EQ(Pick(script), L"");
    EXPECT_TRUE(script.seen);
    EXPECT_TRUE(IsWindowEnabled(window)) << "the main window must be usable again";
}

}  // namespace
}  // namespace quorvel::testing
