#pragma once
// Handlers of the hint line, the Browse button and the instructions link.

namespace quorvel {

extern const wchar_t kBrowseHint[];
extern const wchar_t kInstructionsTitle[];
extern const wchar_t kInstructionsText[];
extern const wchar_t kFolderPickerPrompt[];

// "浏览" mouse moved: the example directory in red on "标签1".
void ShowBrowseHint();
// Window, "分组框1", "编辑框1", "标签1" mouse moved: empties "标签1".
void ClearHint();
// "浏览" clicked: the folder picker's result goes into "编辑框1".
void PickGameDirectory();
// "超级链接框3" pressed: the instructions message.
void ShowInstructions();

}  // namespace quorvel
