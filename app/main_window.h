#pragma once
// The main window: its controls, their colours and the binding of window
// events to handlers.

#include <windows.h>

#include "app/controls.h"
#include "app/window_runtime.h"

namespace quorvel {

extern const wchar_t kMainWindowCaption[];
constexpr int kMainWindowWidth = 421;   // outer size, frame and title bar included
constexpr int kMainWindowHeight = 346;

// Creates the main window hidden, with its controls; the timer starts here.
HWND CreateMainWindow(HINSTANCE instance);
HWND MainWindow();

// Runs the handler bound to `event` of `control`, if there is one.
void RaiseEvent(Control control, Event event);

// Handles keyboard navigation (Tab, Esc) for the main window; true when the
// message was consumed.
bool TranslateMainWindowMessage(MSG& message);

// The control's text colour (labels, radio buttons, hyperlinks, group box).
Color ControlTextColor(Control control);
void SetControlTextColor(Control control, Color color);

}  // namespace quorvel
