#pragma once
// The help on Windows opens its topics in the default browser with
// ShellExecuteW; tests stand in for the call, which must not start a browser.

#include <windows.h>

using ShellExecuteCall = HINSTANCE(WINAPI*)(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                            LPCWSTR directory, INT show);

// Returns the call it replaced; nullptr restores the system's.
ShellExecuteCall SetHelpShellExecute(ShellExecuteCall call);
