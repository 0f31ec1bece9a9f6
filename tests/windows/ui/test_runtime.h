#pragma once
// The real runtime with the modal dialogs replaced by recorders, and a
// fixture that opens the real main window for each test.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/win32_runtime.h"

namespace quorvel::testing {

struct ShownMessage {
    std::wstring text;
    int buttons;
    std::wstring title;
};

class RecordingRuntime : public Win32Runtime {
public:
    void ShowMessage(const std::wstring& text, int buttons, const std::wstring& title) override {
        messages.push_back({text, buttons, title});
    }
    std::wstring BrowseForFolder(const std::wstring& prompt) override {
        prompts.push_back(prompt);
        return useRealPicker ? Win32Runtime::BrowseForFolder(prompt) : pickerAnswer;
    }
    void WriteProperty(Control control, Property property, const PropertyValue& value) override {
        if (control == Control::PictureBox1 && property == Property::Picture)
            pictureWrittenWhileVisible.push_back(MainWindow() && IsWindowVisible(MainWindow()));
        Win32Runtime::WriteProperty(control, property, value);
    }

    std::vector<ShownMessage> messages;
    std::vector<std::wstring> prompts;
    std::vector<bool> pictureWrittenWhileVisible;
    std::wstring pickerAnswer;
    bool useRealPicker = false;
};

// Opens the main window with the recording runtime installed; closes it and
// drops any quit request afterwards so the next test starts clean.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRuntime(&runtime);
        window = LoadStartWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (MainWindow()) DestroyWindow(MainWindow());
        runtime.ProcessEvents();
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        SetRuntime(nullptr);
    }
    HWND Child(Control control) { return ControlWindow(control); }
    std::wstring Caption(Control control) {
        return std::get<std::wstring>(runtime.ReadProperty(control, Property::Caption));
    }

    RecordingRuntime runtime;
    HWND window = nullptr;
};

}  // namespace quorvel::testing
