#pragma once
// The real window runtime: properties of the main window's controls, the
// message box, the shell's folder picker, the file writer and the event pump.

#include <windows.h>

#include "app/window_runtime.h"

namespace quorvel {

class Win32Runtime : public WindowRuntime {
public:
    PropertyValue ReadProperty(Control control, Property property) override;
    void WriteProperty(Control control, Property property, const PropertyValue& value) override;
    // The defaults repeat those of WindowRuntime for calls through this type.
    void ShowMessage(const std::wstring& text, int buttons,
                     const std::wstring& title = L"信息：") override;
    std::wstring BrowseForFolder(const std::wstring& prompt) override;
    bool WriteBytesToFile(const std::wstring& path, std::string_view bytes,
                          unsigned long* systemError = nullptr) override;
    void ProcessEvents() override;
    bool QuitPending() override;
};

// Initialises the runtime on the user-interface thread: OLE for the thread,
// and the folder that holds the program file becomes the current directory.
// Returns false when OLE cannot be initialised.
bool InitializeRuntime();
void ShutdownRuntime();

// Creates the main window hidden with its controls, raises the created
// event, then shows the window centred. Returns the window, or nullptr.
HWND LoadStartWindow();
// Dispatches events until the main window is gone; returns the exit code.
int RunEventLoop();

// The window handle of a control of the main window; nullptr when the
// window has not been created or is gone.
HWND ControlWindow(Control control);

}  // namespace quorvel
