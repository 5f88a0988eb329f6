#pragma once
// The Windows side of the rights a live capture needs: a receive-all socket
// is an administrator's, so an unelevated program offers to start itself
// again elevated, with the same arguments.

#include <string>
#include <string_view>

// The arguments of a command line as the system gives it (GetCommandLineW),
// without the program's name: what the elevated copy is given again.
std::wstring ArgumentsAfterProgram(std::wstring_view commandLine);
