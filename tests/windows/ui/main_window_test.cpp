#include <windows.h>

#include <map>

#include "app/window_handlers.h"
#include "test_runtime.h"

namespace quorvel::testing {
namespace {

struct ExpectedControl {
    const wchar_t* className;
    int x, y, width, height;
    const wchar_t* text;
    DWORD styleBits;   // all of these must be set
    DWORD absentBits;  // none of these may be set
};

// The window as users must see it, written out independently of the code
// that builds it.
const std::map<Control, ExpectedControl>& Expected() {
    static const std::map<Control, ExpectedControl> expected = {
        {Control::GroupBox1, {L"Button", 0, 0, 416, 264, L"Quorvel", BS_GROUPBOX | BS_CENTER, 0}},
        {Control::Label2,
         {L"Static", 88, 16, 304, 16, L"点击即可预览缩略图，应网络延迟加载图片可能会延迟",
          SS_CENTER, WS_BORDER}},
        {Control::PictureBox1, {L"QuorvelPictureBox", 120, 32, 288, 208, L"", 0, WS_BORDER}},
        {Control::Radio1, {L"Button", 24, 24, 80, 24, L"大图标UI", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 0}},
        {Control::Radio2, {L"Button", 24, 64, 80, 24, L"战斗机甲UI", BS_AUTORADIOBUTTON, WS_GROUP}},
        {Control::Radio3,
         {L"Button", 24, 104, 80, 24, L"锐雯透明紫框界面UI", BS_AUTORADIOBUTTON | BS_MULTILINE, WS_GROUP}},
        {Control::Radio4, {L"Button", 24, 136, 80, 24, L"马年UI", BS_AUTORADIOBUTTON, WS_GROUP}},
        {Control::Radio5, {L"Button", 24, 168, 80, 24, L"最强王者UI", BS_AUTORADIOBUTTON, WS_GROUP}},
        {Control::Radio6, {L"Button", 24, 200, 80, 24, L"王者UI 2", BS_AUTORADIOBUTTON, WS_GROUP}},
        {Control::Radio7, {L"Button", 24, 232, 80, 24, L"王者UI 3", BS_AUTORADIOBUTTON, WS_GROUP}},
        {Control::Link1, {L"Static", 128, 240, 80, 16, L"加载UI", SS_NOTIFY, WS_TABSTOP}},
        {Control::Link2, {L"Static", 208, 240, 80, 16, L"应用该UI", SS_NOTIFY, WS_TABSTOP}},
        {Control::Link3, {L"Static", 288, 240, 120, 16, L"操作流程（小白必看）", SS_NOTIFY, WS_TABSTOP}},
        {Control::EditBox1,
         {L"Edit", 8, 272, 296, 24, L"请正确设置游戏目录否则会加载UI失败", ES_READONLY | WS_TABSTOP, WS_BORDER}},
        {Control::BrowseButton, {L"Button", 320, 272, 80, 32, L"浏览", BS_CENTER | WS_TABSTOP, 0}},
        {Control::Label1,
         {L"Static", 8, 304, 408, 16, L"请浏览下您的游戏目录吧 亲！  完美支持S4", SS_LEFTNOWORDWRAP, WS_BORDER}},
    };
    return expected;
}

Control ControlOf(HWND child) {
    for (int i = 0; i < kControlCount; ++i)
        if (ControlWindow(static_cast<Control>(i)) == child) return static_cast<Control>(i);
    return Control::Count;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(MainWindowTest, WindowHasItsCaptionSizeFrameAndPlace) {
    EXPECT_EQ(TextOf(window), L"Quorvel【完美支持S4】");
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 421);
    EXPECT_EQ(frame.bottom - frame.top, 346);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0) ? 1 : GetClassLongPtrW(window, GCLP_HICON), 0);

    // Centred on the work area.
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

TEST_F(MainWindowTest, EveryChildMatchesTheLayout) {
    std::vector<HWND> children;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    ASSERT_EQ(children.size(), Expected().size());

    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND child : children) {
        const Control control = ControlOf(child);
        ASSERT_NE(control, Control::Count) << "unexpected child window";
        const ExpectedControl& want = Expected().at(control);
        SCOPED_TRACE(::testing::Message() << "control " << static_cast<int>(control));
        EXPECT_EQ(GetParent(child), window);
        EXPECT_EQ(ClassOf(child), want.className);
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, want.x);
        EXPECT_EQ(rect.top, want.y);
        EXPECT_EQ(rect.right - rect.left, want.width);
        EXPECT_EQ(rect.bottom - rect.top, want.height);
        EXPECT_EQ(TextOf(child), want.text);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        EXPECT_EQ(style & want.styleBits, want.styleBits);
        EXPECT_EQ(style & want.absentBits, 0u);
        EXPECT_TRUE(style & WS_VISIBLE);
        if (control != Control::PictureBox1)
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), guiFont);
    }
    // The edit box has the thin flat-sunken edge.
    EXPECT_TRUE(GetWindowLongW(Child(Control::EditBox1), GWL_EXSTYLE) & WS_EX_STATICEDGE);
    // The group box lies beneath the controls inside it.
    EXPECT_EQ(GetWindow(Child(Control::GroupBox1), GW_HWNDNEXT), nullptr);
}

TEST_F(MainWindowTest, TextColoursAreThoseOfTheDesign) {
    const std::pair<Control, COLORREF> colours[] = {
        {Control::GroupBox1, RGB(96, 96, 96)}, {Control::Label2, RGB(192, 96, 0)},
        {Control::Radio1, RGB(192, 96, 0)},    {Control::Radio7, RGB(192, 96, 0)},
        {Control::Link1, RGB(0, 0, 255)},      {Control::Link3, RGB(0, 0, 255)},
        {Control::Label1, RGB(0, 0, 0)},
    };
    HDC dc = GetDC(window);
    for (const auto& [control, colour] : colours) {
        SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(Child(control)));
        EXPECT_EQ(GetTextColor(dc), colour) << static_cast<int>(control);
        EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    }
    SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(Child(Control::EditBox1)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));

    // A hyperlink turns dark blue under the pointer.
    SendMessageW(Child(Control::Link2), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(Child(Control::Link2)));
    EXPECT_EQ(GetTextColor(dc), RGB(10, 36, 106));
    SendMessageW(Child(Control::Link2), WM_MOUSELEAVE, 0, 0);
    SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(Child(Control::Link2)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    ReleaseDC(window, dc);
}

TEST_F(MainWindowTest, RadioButtonsFormOneGroupStartingAtThemeOne) {
    auto selected = [&] {
        std::vector<int> on;
        for (int n = 1; n <= 7; ++n)
            if (ReadSelected(RadioOfTheme(n))) on.push_back(n);
        return on;
    };
    EXPECT_EQ(selected(), std::vector<int>{1});
    for (int n : {4, 7, 7, 2}) {
        SendMessageW(Child(RadioOfTheme(n)), BM_CLICK, 0, 0);
        EXPECT_EQ(selected(), std::vector<int>{n});
    }
}

TEST_F(MainWindowTest, HintLineFollowsThePointer) {
    auto move = [&](Control control) {
        PostMessageW(Child(control), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        runtime.ProcessEvents();
    };
    auto colour = [&] { return std::get<Color>(runtime.ReadProperty(Control::Label1, Property::TextColor)); };
    EXPECT_EQ(colour(), Color{0});

    move(Control::BrowseButton);
    EXPECT_EQ(Caption(Control::Label1), kBrowseHint);
    EXPECT_EQ(colour(), Color{255});

    // No handled mouse event over these: the hint stays.
    for (Control keeps : {Control::Radio3, Control::Link1, Control::PictureBox1, Control::Label2}) {
        move(keeps);
        EXPECT_EQ(Caption(Control::Label1), kBrowseHint) << static_cast<int>(keeps);
    }
    // Each clearing area empties it; the colour stays red.
    for (Control clears : {Control::MainWindow, Control::GroupBox1, Control::EditBox1, Control::Label1}) {
        move(Control::BrowseButton);
        ASSERT_EQ(Caption(Control::Label1), kBrowseHint);
        move(clears);
        EXPECT_EQ(Caption(Control::Label1), L"") << static_cast<int>(clears);
        EXPECT_EQ(colour(), Color{255});
    }
}

TEST_F(MainWindowTest, BrowseFillsTheBoxWithThePickersAnswerEvenWhenEmpty) {
    runtime.pickerAnswer = L"D:\\Games\\英雄联盟\\Game";
    SendMessageW(Child(Control::BrowseButton), BM_CLICK, 0, 0);
    EXPECT_EQ(ReadText(Control::EditBox1), runtime.pickerAnswer);
    ASSERT_EQ(runtime.prompts.size(), 1u);
    EXPECT_EQ(runtime.prompts[0], L"请选择路径");

    runtime.pickerAnswer = L"E:\\";
    SendMessageW(Child(Control::BrowseButton), BM_CLICK, 0, 0);
    EXPECT_EQ(ReadText(Control::EditBox1), L"E:\\");

    runtime.pickerAnswer.clear();  // cancelled
    SendMessageW(Child(Control::BrowseButton), BM_CLICK, 0, 0);
    EXPECT_EQ(ReadText(Control::EditBox1), L"");
}

TEST_F(MainWindowTest, EditBoxIgnoresTyping) {
    HWND edit = Child(Control::EditBox1);
    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, L'x', 0);
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(ReadText(Control::EditBox1), L"请正确设置游戏目录否则会加载UI失败");
}

TEST_F(MainWindowTest, InstructionsLinkShowsTheFourLineMessage) {
    SendMessageW(Child(Control::Link3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ASSERT_EQ(runtime.messages.size(), 1u);
    const ShownMessage& shown = runtime.messages[0];
    EXPECT_EQ(shown.title, L"小白必看说明");
    EXPECT_EQ(shown.buttons, 0);
    EXPECT_EQ(shown.text.rfind(L"首先选择你喜欢的UI点击即可预览\r\n", 0), 0u);
    EXPECT_NE(shown.text.find(L"\r\n正确设置路径后加载UI，然后应用该UI即可，祝您游戏愉快,"), std::wstring::npos);
    size_t breaks = 0;
    for (size_t at = shown.text.find(L"\r\n"); at != std::wstring::npos; at = shown.text.find(L"\r\n", at + 2)) ++breaks;
    EXPECT_EQ(breaks, 3u);
    EXPECT_NE(shown.text.substr(shown.text.size() - 2), L"\r\n");

    // The other links and a right click on the hint line show nothing.
    SendMessageW(Child(Control::Label1), WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageW(Child(Control::Label2), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(runtime.messages.size(), 1u);
}

TEST_F(MainWindowTest, TabMovesAmongTheControlsThatTakeTheFocus) {
    SetFocus(Child(Control::Radio1));
    std::vector<HWND> visited;
    for (int i = 0; i < 3; ++i) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        runtime.ProcessEvents();
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{Child(Control::EditBox1), Child(Control::BrowseButton),
                                          Child(Control::Radio1)}));
}

TEST_F(MainWindowTest, EscapeClosesTheWindowAndAsksToQuitWithCodeZero) {
    SetFocus(Child(Control::BrowseButton));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    runtime.ProcessEvents();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(runtime.QuitPending());
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(MainWindowTest, TimerTicksEveryHundredMilliseconds) {
    // The timer is what wakes a waiting download; count its messages.
    int ticks = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
        MSG message;
        if (PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) ++ticks;
        else MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_TIMER);
    }
    EXPECT_GE(ticks, 7);
    EXPECT_LE(ticks, 12);
}

TEST_F(MainWindowTest, AfterTheWindowClosedTheRuntimeTouchesNothing) {
    DestroyWindow(window);
    // What a handler resuming after the close would do.
    runtime.WriteProperty(Control::Label1, Property::Caption, std::wstring(L"late"));
    runtime.WriteProperty(Control::PictureBox1, Property::Picture, std::string("GIF89a"));
    EXPECT_EQ(std::get<std::wstring>(runtime.ReadProperty(Control::EditBox1, Property::Text)), L"");
    EXPECT_FALSE(ReadSelected(Control::Radio1));
    EXPECT_TRUE(runtime.QuitPending());
}

TEST(StartUp, CreatedHandlerRunsBeforeTheWindowIsShown) {
    RecordingRuntime runtime;
    SetRuntime(&runtime);
    HWND window = LoadStartWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(runtime.pictureWrittenWhileVisible, std::vector<bool>{false});
    EXPECT_TRUE(IsWindowVisible(window));
    DestroyWindow(window);
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    SetRuntime(nullptr);
}

TEST(ProcessEvents, DispatchesPendingEventsAndLeavesTheQuitRequestQueued) {
    static int handled = 0;
    handled = 0;
    HWND sink = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(sink, nullptr);
    SetWindowLongPtrW(sink, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APP) { ++handled; return 0; }
        return DefWindowProcW(w, m, wp, lp);
    }));
    PostMessageW(sink, WM_APP, 0, 0);
    PostMessageW(sink, WM_APP, 0, 0);
    PostQuitMessage(7);
    Win32Runtime runtime;
    runtime.ProcessEvents();
    EXPECT_EQ(handled, 2);
    EXPECT_TRUE(runtime.QuitPending());
    runtime.ProcessEvents();  // a second pass must not eat the request either
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(quit.wParam, 7u);
    DestroyWindow(sink);
}

}  // namespace
}  // namespace quorvel::testing
