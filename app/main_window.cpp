#include "app/main_window.h"

#include <commctrl.h>

#include "app/picture_box.h"
#include "app/resource_ids.h"
#include "app/win32_runtime.h"
#include "app/window_handlers.h"
#include "preview/theme_preview.h"
#include "themes/install_commands.h"
#include "themes/theme_catalog.h"

namespace quorvel {

const wchar_t kMainWindowCaption[] = L"Quorvel【完美支持S4】";

namespace {

const wchar_t kMainWindowClass[] = L"QuorvelMainWindow";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 100;
constexpr UINT_PTR kSubclassId = 1;
constexpr int kFirstControlId = 1000;

constexpr COLORREF Rgb(int r, int g, int b) { return RGB(r, g, b); }

enum class Kind { GroupBox, Label, Picture, Radio, Link, Edit, Button };

struct ControlLayout {
    Control control;
    Kind kind;
    int x, y, width, height;
    const wchar_t* text;  // nullptr: the radio button's theme caption
    COLORREF textColor;
};

// Positions are client coordinates of the main window; the group box sits at
// its top-left corner, so the controls inside it have the same coordinates.
// The group box comes first: it lies beneath the controls inside it.
const ControlLayout kLayout[] = {
    {Control::GroupBox1, Kind::GroupBox, 0, 0, 416, 264, L"Quorvel", Rgb(96, 96, 96)},
    {Control::Label2, Kind::Label, 88, 16, 304, 16,
     L"点击即可预览缩略图，应网络延迟加载图片可能会延迟", Rgb(192, 96, 0)},
    {Control::PictureBox1, Kind::Picture, 120, 32, 288, 208, L"", 0},
    {Control::Radio1, Kind::Radio, 24, 24, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio2, Kind::Radio, 24, 64, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio3, Kind::Radio, 24, 104, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio4, Kind::Radio, 24, 136, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio5, Kind::Radio, 24, 168, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio6, Kind::Radio, 24, 200, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Radio7, Kind::Radio, 24, 232, 80, 24, nullptr, Rgb(192, 96, 0)},
    {Control::Link1, Kind::Link, 128, 240, 80, 16, L"加载UI", Rgb(0, 0, 255)},
    {Control::Link2, Kind::Link, 208, 240, 80, 16, L"应用该UI", Rgb(0, 0, 255)},
    {Control::Link3, Kind::Link, 288, 240, 120, 16, L"操作流程（小白必看）", Rgb(0, 0, 255)},
    {Control::EditBox1, Kind::Edit, 8, 272, 296, 24, L"请正确设置游戏目录否则会加载UI失败",
     Rgb(0, 0, 0)},
    {Control::BrowseButton, Kind::Button, 320, 272, 80, 32, L"浏览", 0},
    {Control::Label1, Kind::Label, 8, 304, 408, 16, L"请浏览下您的游戏目录吧 亲！  完美支持S4",
     Rgb(0, 0, 0)},
};

constexpr COLORREF kLinkHoverColor = Rgb(10, 36, 106);

using Handler = void (*)();

struct EventBinding {
    Control control;
    Event event;
    Handler handler;
};

void DoNothing() {}

void ShowPreviewOfTheme(int number) { ShowThemePreview(ThemeByNumber(number).previewAddress); }

// Every window event that has a handler; all other events have none. The
// feedback events of "标签1" and "标签2" have empty handlers and are raised
// by nothing in this window, so they need no row.
const EventBinding kEventTable[] = {
    {Control::MainWindow, Event::Created, [] { ShowPreviewOfTheme(1); }},
    {Control::MainWindow, Event::MouseMoved, ClearHint},
    {Control::GroupBox1, Event::MouseMoved, ClearHint},
    {Control::EditBox1, Event::MouseMoved, ClearHint},
    {Control::Label1, Event::MouseMoved, ClearHint},
    {Control::BrowseButton, Event::MouseMoved, ShowBrowseHint},
    {Control::BrowseButton, Event::Clicked, PickGameDirectory},
    {Control::Link3, Event::LeftButtonDown, ShowInstructions},
    {Control::Link1, Event::LeftButtonDown, LoadSelectedTheme},
    {Control::Link2, Event::LeftButtonDown, ApplySelectedTheme},
    {Control::Radio1, Event::Clicked, [] { ShowPreviewOfTheme(1); }},
    {Control::Radio2, Event::Clicked, [] { ShowPreviewOfTheme(2); }},
    {Control::Radio3, Event::Clicked, [] { ShowPreviewOfTheme(3); }},
    {Control::Radio4, Event::Clicked, [] { ShowPreviewOfTheme(4); }},
    {Control::Radio5, Event::Clicked, [] { ShowPreviewOfTheme(5); }},
    {Control::Radio6, Event::Clicked, [] { ShowPreviewOfTheme(6); }},
    {Control::Radio7, Event::Clicked, [] { ShowPreviewOfTheme(7); }},
    {Control::Label1, Event::RightButtonUp, DoNothing},
    {Control::Timer1, Event::Periodic, DoNothing},
};

// The window and its controls, valid from creation until WM_DESTROY.
struct WindowState {
    HWND window = nullptr;
    HWND controls[kControlCount] = {};
    COLORREF textColors[kControlCount] = {};
    Control hoveredLink = Control::Count;
    HBRUSH faceBrush = nullptr;   // system brush, not owned
    HBRUSH whiteBrush = nullptr;  // stock brush, not owned
};
WindowState g_state;

int Index(Control control) { return static_cast<int>(control); }

Control ControlFromWindow(HWND window) {
    for (int i = 0; i < kControlCount; ++i)
        if (g_state.controls[i] && g_state.controls[i] == window) return static_cast<Control>(i);
    return Control::Count;
}

bool IsLink(Control control) {
    return control == Control::Link1 || control == Control::Link2 || control == Control::Link3;
}

void SetHoveredLink(Control link) {
    if (g_state.hoveredLink == link) return;
    const Control previous = g_state.hoveredLink;
    g_state.hoveredLink = link;
    if (previous != Control::Count) InvalidateRect(ControlWindow(previous), nullptr, TRUE);
    if (link != Control::Count) InvalidateRect(ControlWindow(link), nullptr, TRUE);
}

// Mouse and key messages of the controls become window events; the
// control's own behaviour follows the handler.
LRESULT CALLBACK ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
    const Control control = static_cast<Control>(data);
    switch (message) {
        case WM_NCHITTEST:
            // A group box lets the mouse through to the window beneath it;
            // this one has mouse events of its own.
            if (control == Control::GroupBox1) return HTCLIENT;
            break;
        case WM_MOUSEMOVE:
            if (IsLink(control)) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
                TrackMouseEvent(&track);
                SetHoveredLink(control);
            }
            RaiseEvent(control, Event::MouseMoved);
            break;
        case WM_MOUSELEAVE:
            if (g_state.hoveredLink == control) SetHoveredLink(Control::Count);
            break;
        case WM_SETCURSOR:
            if (IsLink(control)) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN:
            RaiseEvent(control, Event::LeftButtonDown);
            break;
        case WM_RBUTTONUP:
            RaiseEvent(control, Event::RightButtonUp);
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, ControlSubclassProc, kSubclassId);
            break;
    }
    // The handler may have closed the window; the control's own processing
    // still runs on a live control only.
    if (!IsWindow(window)) return 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

HWND CreateControl(HWND parent, HINSTANCE instance, const ControlLayout& layout, HFONT font) {
    const wchar_t* className = L"Static";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    std::wstring text = layout.text ? layout.text : L"";
    switch (layout.kind) {
        case Kind::GroupBox:
            className = L"Button";
            style |= BS_GROUPBOX | BS_CENTER;
            break;
        case Kind::Label:
            // One line, no border; notifies so that it has mouse events of its own.
            style |= SS_NOTIFY | SS_CENTERIMAGE |
                     (layout.control == Control::Label2 ? SS_CENTER : SS_LEFTNOWORDWRAP);
            break;
        case Kind::Picture:
            className = kPictureBoxClass;
            break;
        case Kind::Radio: {
            className = L"Button";
            style |= BS_AUTORADIOBUTTON | BS_MULTILINE | BS_VCENTER | BS_LEFT;
            if (layout.control == Control::Radio1) style |= WS_GROUP | WS_TABSTOP;
            const int number = Index(layout.control) - Index(Control::Radio1) + 1;
            text = std::wstring(ThemeByNumber(number).caption);
            break;
        }
        case Kind::Link:
            style |= SS_NOTIFY | SS_LEFT;
            break;
        case Kind::Edit:
            className = L"Edit";
            style |= ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
            exStyle |= WS_EX_STATICEDGE;
            break;
        case Kind::Button:
            className = L"Button";
            style |= BS_PUSHBUTTON | BS_CENTER | WS_TABSTOP | WS_GROUP;
            break;
    }
    const int id = kFirstControlId + Index(layout.control);
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), style, layout.x, layout.y,
                                   layout.width, layout.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                   nullptr);
    if (!control) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowSubclass(control, ControlSubclassProc, kSubclassId,
                      static_cast<DWORD_PTR>(layout.control));
    return control;
}

bool CreateControls(HWND window, HINSTANCE instance) {
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    g_state.controls[Index(Control::MainWindow)] = window;
    for (const ControlLayout& layout : kLayout) {
        HWND control = CreateControl(window, instance, layout, font);
        if (!control) return false;
        g_state.controls[Index(layout.control)] = control;
        g_state.textColors[Index(layout.control)] = layout.textColor;
    }
    // The group box lies beneath everything inside it.
    SetWindowPos(ControlWindow(Control::GroupBox1), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(ControlWindow(Control::Radio1), BM_SETCHECK, BST_CHECKED, 0);
    // "时钟1": a window event at least every 100 ms while the window lives.
    SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
    return true;
}

LRESULT ColorControl(HDC dc, HWND controlWindow) {
    const Control control = ControlFromWindow(controlWindow);
    if (control == Control::EditBox1) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(g_state.whiteBrush);
    }
    COLORREF color = control == Control::Count ? GetSysColor(COLOR_WINDOWTEXT)
                                               : g_state.textColors[Index(control)];
    if (IsLink(control) && g_state.hoveredLink == control) color = kLinkHoverColor;
    SetTextColor(dc, color);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(g_state.faceBrush);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ColorControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_COMMAND: {
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {  // Esc
                DestroyWindow(window);
                return 0;
            }
            const Control control = ControlFromWindow(reinterpret_cast<HWND>(lParam));
            if (control != Control::Count && HIWORD(wParam) == BN_CLICKED &&
                (control == Control::BrowseButton ||
                 (control >= Control::Radio1 && control <= Control::Radio7)))
                RaiseEvent(control, Event::Clicked);
            return 0;
        }
        case WM_MOUSEMOVE:
            RaiseEvent(Control::MainWindow, Event::MouseMoved);
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) {
                RaiseEvent(Control::Timer1, Event::Periodic);
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            KillTimer(window, kTimerId);
            // From here on the runtime finds no controls: a handler that
            // resumes after the window is gone touches nothing of it.
            for (HWND& control : g_state.controls) control = nullptr;
            g_state.window = nullptr;
            g_state.hoveredLink = Control::Count;
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
    if (g_state.window) return g_state.window;
    RegisterPictureBoxClass(instance);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVEL),
                                                      IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(
        instance, MAKEINTRESOURCEW(IDI_QUORVEL), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    WNDCLASSEXW existing{};
    if (!GetClassInfoExW(instance, kMainWindowClass, &existing) && !RegisterClassExW(&windowClass))
        return nullptr;

    g_state.faceBrush = GetSysColorBrush(COLOR_BTNFACE);
    g_state.whiteBrush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    // No WS_CLIPCHILDREN: the group box does not paint its inside, the window
    // beneath it does.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowCaption, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kMainWindowWidth, kMainWindowHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return nullptr;
    g_state.window = window;
    if (!CreateControls(window, instance)) {
        DestroyWindow(window);
        // Leave no quit request behind for a caller that goes on.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        return nullptr;
    }
    return window;
}

HWND MainWindow() { return g_state.window; }

HWND ControlWindow(Control control) {
    if (!g_state.window || control == Control::Count || control == Control::Timer1) return nullptr;
    return g_state.controls[Index(control)];
}

void RaiseEvent(Control control, Event event) {
    for (const EventBinding& binding : kEventTable)
        if (binding.control == control && binding.event == event) binding.handler();
}

bool TranslateMainWindowMessage(MSG& message) {
    return g_state.window && IsDialogMessageW(g_state.window, &message);
}

Color ControlTextColor(Control control) {
    if (control == Control::Count) return Color{};
    return Color{static_cast<std::uint32_t>(g_state.textColors[Index(control)])};
}

void SetControlTextColor(Control control, Color color) {
    if (control == Control::Count) return;
    g_state.textColors[Index(control)] = static_cast<COLORREF>(color.bgr);
    if (HWND window = ControlWindow(control)) InvalidateRect(window, nullptr, TRUE);
}

}  // namespace quorvel
