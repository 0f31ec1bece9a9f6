#include "app/win32_runtime.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "app/file_handle.h"
#include "app/main_window.h"
#include "app/picture_box.h"

namespace quorvel {
namespace {

struct PidlDeleter {
    void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

// A name beside `path` for the new content while it is being written.
std::wstring TemporaryNameBeside(const std::wstring& path) {
    static LONG counter = 0;
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    constexpr size_t kChunk = 1u << 20;
    while (!bytes.empty()) {
        const DWORD request = static_cast<DWORD>(std::min(bytes.size(), kChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), request, &written, nullptr) || written != request) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Binds the folder picker's prompt and opens it on the folder in the box.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) {
        const auto* start = reinterpret_cast<const std::wstring*>(data);
        if (!start->empty()) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                                          reinterpret_cast<LPARAM>(start->c_str()));
    }
    return 0;
}

}  // namespace

PropertyValue Win32Runtime::ReadProperty(Control control, Property property) {
    HWND window = ControlWindow(control);
    switch (property) {
        case Property::Selected:
            return window && SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
        case Property::Text:
        case Property::Caption:
            return window ? WindowText(window) : std::wstring();
        case Property::TextColor:
            return window ? ControlTextColor(control) : Color{};
        case Property::Picture:
            return PictureBoxImage(window);
    }
    return false;
}

void Win32Runtime::WriteProperty(Control control, Property property, const PropertyValue& value) {
    HWND window = ControlWindow(control);
    if (!window) return;  // the window is gone: nothing of it is touched
    switch (property) {
        case Property::Selected:
            if (const bool* selected = std::get_if<bool>(&value))
                SendMessageW(window, BM_SETCHECK, *selected ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case Property::Text:
        case Property::Caption:
            if (const std::wstring* text = std::get_if<std::wstring>(&value))
                SetWindowTextW(window, text->c_str());
            break;
        case Property::TextColor:
            if (const Color* color = std::get_if<Color>(&value)) SetControlTextColor(control, *color);
            break;
        case Property::Picture:
            if (const std::string* bytes = std::get_if<std::string>(&value))
                SetPictureBoxImage(window, *bytes);
            break;
    }
}

void Win32Runtime::ShowMessage(const std::wstring& text, int buttons, const std::wstring& title) {
    MessageBoxW(nullptr, text.c_str(), title.c_str(),
                static_cast<UINT>(buttons) | MB_TASKMODAL | MB_SETFOREGROUND);
}

std::wstring Win32Runtime::BrowseForFolder(const std::wstring& prompt) {
    const std::wstring current = ReadText(Control::EditBox1);
    BROWSEINFOW info{};
    info.hwndOwner = GetActiveWindow();
    info.pidlRoot = nullptr;  // the desktop
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&current);
    std::unique_ptr<ITEMIDLIST, PidlDeleter> chosen(SHBrowseForFolderW(&info));
    if (!chosen) return std::wstring();
    // Long enough for any path the shell can give.
    std::vector<wchar_t> path(32768, L'\0');
    if (!SHGetPathFromIDListEx(chosen.get(), path.data(), static_cast<DWORD>(path.size()),
                               GPFIDL_DEFAULT))
        return std::wstring();  // an item without a file-system path
    return std::wstring(path.data());
}

bool Win32Runtime::WriteBytesToFile(const std::wstring& path, std::string_view bytes,
                                    unsigned long* systemError) {
    auto fail = [&](DWORD error) {
        if (systemError) *systemError = error;
        return false;
    };
    if (path.empty()) return fail(ERROR_INVALID_NAME);
    // A read-only file is not replaced. Windows refuses the move below for
    // it anyway; Wine 8 replaces it, so look first.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return fail(ERROR_ACCESS_DENIED);

    // Write the new content beside the target and move it over the target
    // only once it is complete, so that a failed write leaves an earlier
    // file exactly as it was.
    const std::wstring temporary = TemporaryNameBeside(path);
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return fail(GetLastError());
    DWORD error = ERROR_SUCCESS;
    if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get())) error = GetLastError();
    if (!file.close() && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        return fail(error);
    }
    if (systemError) *systemError = ERROR_SUCCESS;
    return true;
}

void Win32Runtime::ProcessEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT) return;  // stays queued for the event loop
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
        if (message.message == WM_QUIT) {
            // Taken off between the two looks: put it back.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!TranslateMainWindowMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool Win32Runtime::QuitPending() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

bool InitializeRuntime() {
    if (FAILED(OleInitialize(nullptr))) return false;
    // Relative paths the program forms resolve in the program's own folder.
    std::vector<wchar_t> module(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length > 0 && length < module.size()) {
        std::wstring folder(module.data(), length);
        const size_t slash = folder.find_last_of(L"\\/");
        if (slash != std::wstring::npos) {
            folder.resize(slash == 2 && folder[1] == L':' ? slash + 1 : slash);
            SetCurrentDirectoryW(folder.c_str());
        }
    }
    return true;
}

void ShutdownRuntime() { OleUninitialize(); }

HWND LoadStartWindow() {
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    if (!window) return nullptr;
    // The created event runs to its end while the window is still hidden.
    RaiseEvent(Control::MainWindow, Event::Created);
    if (!IsWindow(window)) return nullptr;

    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetFocus(ControlWindow(Control::Radio1));
    return window;
}

int RunEventLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) return 1;
        if (!TranslateMainWindowMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace quorvel
