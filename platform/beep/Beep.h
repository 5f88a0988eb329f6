#pragma once
// A short audible alarm for failures that must not open a window (the log's
// failed rotation). Plays a tone of the given pitch and length on the PC
// speaker when the machine has one (blocking for the length, like the
// classic speaker beep); otherwise rings the bell of the controlling terminal;
// silent when there is neither.

using BeepHandler = void (*)(unsigned frequencyHz, unsigned durationMs);

void Beep(unsigned frequencyHz, unsigned durationMs);

// Replaces what Beep does (tests count beeps instead of making noise).
// nullptr restores the system beep. Returns the handler that was in force.
BeepHandler SetBeepHandler(BeepHandler handler);
