#pragma once
// The services every handler uses to reach the window: properties of the
// controls, the message box, the folder picker, the file writer and the
// event pump. Handlers call Runtime(); tests install their own runtime with
// SetRuntime() (usually the real one with the modal dialogs replaced).

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "app/controls.h"

namespace quorvel {

enum class Property {
    Selected,   // bool: radio button state
    Text,       // std::wstring: edit box text
    Caption,    // std::wstring: label caption
    TextColor,  // Color: label text colour
    Picture,    // std::string: bytes of an image file (empty removes the picture)
};

// A colour value 0x00BBGGRR (255 is pure red).
struct Color {
    std::uint32_t bgr = 0;
    friend bool operator==(Color a, Color b) { return a.bgr == b.bgr; }
};

using PropertyValue = std::variant<bool, std::wstring, Color, std::string>;

// ShowMessage button code: an OK button only.
constexpr int kMessageOkOnly = 0;

class WindowRuntime {
public:
    virtual ~WindowRuntime() = default;

    // The control's current value. After the main window has closed this
    // gives the empty value of the property's type (false, empty text).
    virtual PropertyValue ReadProperty(Control control, Property property) = 0;
    // Takes effect at once. After the main window has closed it does nothing.
    virtual void WriteProperty(Control control, Property property, const PropertyValue& value) = 0;

    // A task-modal message box without owner; title "信息：" when none is given.
    virtual void ShowMessage(const std::wstring& text, int buttons,
                             const std::wstring& title = L"信息：") = 0;
    // The shell's folder picker; the chosen folder's path, or empty when
    // cancelled or when the item has no file-system path.
    virtual std::wstring BrowseForFolder(const std::wstring& prompt) = 0;
    // Creates or replaces the file at `path` with exactly `bytes`. The new
    // content is written beside the target and moved over it only once
    // complete, so on failure an earlier file stays as it was and nothing
    // is left behind. True only when every byte reached the file; on
    // failure `systemError`, when given, receives the Windows error code.
    virtual bool WriteBytesToFile(const std::wstring& path, std::string_view bytes,
                                  unsigned long* systemError = nullptr) = 0;

    // Dispatches every pending window event without waiting; a quit request
    // stays queued.
    virtual void ProcessEvents() = 0;
    // True once the program has been asked to end (the main window closed):
    // a quit request is queued for the event loop.
    virtual bool QuitPending() = 0;
};

WindowRuntime& Runtime();
// Installs the runtime that Runtime() returns; nullptr restores the real one.
void SetRuntime(WindowRuntime* runtime);

// Typed shortcuts over ReadProperty / WriteProperty.
inline bool ReadSelected(Control control) {
    auto value = Runtime().ReadProperty(control, Property::Selected);
    return std::holds_alternative<bool>(value) && std::get<bool>(value);
}
inline std::wstring ReadText(Control control) {
    auto value = Runtime().ReadProperty(control, Property::Text);
    return std::holds_alternative<std::wstring>(value) ? std::get<std::wstring>(value)
                                                       : std::wstring();
}

}  // namespace quorvel
