#include "app/window_handlers.h"

#include "app/window_runtime.h"

namespace quorvel {

const wchar_t kBrowseHint[] =
    L"举例：F:\\Program Files\\腾讯游戏\\英雄联盟\\Game只用搜索到game目录即可";
const wchar_t kInstructionsTitle[] = L"小白必看说明";
const wchar_t kInstructionsText[] =
    L"首先选择你喜欢的UI点击即可预览\r\n"
    L"然后加载该UI，切记得正确设置游戏目录否则加载失败\r\n"
    L"鼠标移动到浏览按钮会显示设置信息\r\n"
    L"正确设置路径后加载UI，然后应用该UI即可，祝您游戏愉快,玩得开心！";
const wchar_t kFolderPickerPrompt[] = L"请选择路径";

namespace {
constexpr Color kHintColor{255};  // pure red
}

void ShowBrowseHint() {
    Runtime().WriteProperty(Control::Label1, Property::Caption, std::wstring(kBrowseHint));
    Runtime().WriteProperty(Control::Label1, Property::TextColor, kHintColor);
}

void ClearHint() { Runtime().WriteProperty(Control::Label1, Property::Caption, std::wstring()); }

void PickGameDirectory() {
    // Whatever the picker gives, also an empty text after a cancel, replaces
    // the box's text: the box only ever holds what the picker last returned.
    std::wstring folder = Runtime().BrowseForFolder(kFolderPickerPrompt);
    Runtime().WriteProperty(Control::EditBox1, Property::Text, folder);
}

void ShowInstructions() {
    Runtime().ShowMessage(kInstructionsText, kMessageOkOnly, kInstructionsTitle);
}

}  // namespace quorvel
