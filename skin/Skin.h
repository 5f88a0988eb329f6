#pragma once
// Calls on the window system that are not about one window, answered by the
// skin's back end.

#include <string>

// The hourglass over every window of the program, until EndWaitCursor; the
// two nest.
void BeginWaitCursor();
void EndWaitCursor();

// Puts UTF-8 text on the clipboard.
void SetClipboardText(const std::string& text);

// Rows one notch of the mouse wheel moves, as the user set it.
int WheelScrollLines();
