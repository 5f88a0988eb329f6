#pragma once
// The Windows headers for the Win32 skin's own sources, included before any
// skin header. The windows never see them: the names below are also members
// of the skin's classes (the window-system calls they wrap), so their A/W
// macros are dropped here and the wide functions are called by name.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#undef SetDlgItemText
#undef GetDlgItemText
#undef AppendMenu
#undef SetWindowText
#undef DrawText
#undef LoadBitmap
#undef LoadIcon
#undef SendMessage
#undef PostMessage
