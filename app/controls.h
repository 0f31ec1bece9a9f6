#pragma once
// The main window's controls and events, named as the handlers address them.
// Plain data: no Windows header, so the theme list and other Windows-free
// code can name the radio buttons too.

namespace quorvel {

enum class Control : int {
    MainWindow,
    GroupBox1,     // "分组框1"
    Label2,        // "标签2"
    PictureBox1,   // "图片框1"
    Radio1,        // "单选框1" .. "单选框7", in theme order
    Radio2,
    Radio3,
    Radio4,
    Radio5,
    Radio6,
    Radio7,
    Link1,         // "超级链接框1"  加载UI
    Link2,         // "超级链接框2"  应用该UI
    Link3,         // "超级链接框3"  操作流程（小白必看）
    EditBox1,      // "编辑框1"
    BrowseButton,  // "浏览"
    Label1,        // "标签1"
    Timer1,        // "时钟1"
    Count
};

constexpr int kControlCount = static_cast<int>(Control::Count);

// The radio button of theme 1..7.
constexpr Control RadioOfTheme(int themeNumber) {
    return static_cast<Control>(static_cast<int>(Control::Radio1) + themeNumber - 1);
}

// Window events that can have a handler.
enum class Event : int {
    Created,          // the main window, before it is shown
    MouseMoved,
    Clicked,          // push button or radio button
    LeftButtonDown,   // hyperlinks
    RightButtonUp,
    Feedback,         // label feedback event (two integers)
    Periodic,         // timer
};

}  // namespace quorvel
