#pragma once
// Calls on the window system that are not about one window, answered by the
// skin's back end.

// The hourglass over every window of the program, until EndWaitCursor; the
// two nest.
void BeginWaitCursor();
void EndWaitCursor();

// Rows one notch of the mouse wheel moves, as the user set it.
int WheelScrollLines();
