#pragma once
// The window-system numbers that ORN's windows are written against: command
// ids, notification codes and scroll codes. The Qt skin maps its signals onto
// them (CSkinDialog), so that handlers can be written with these numbers; on
// Windows they are the system's own, and where its headers came first their
// macros stand in for these.

#include "resources/templates/DialogTemplates.h"  // IDOK, IDCANCEL, ID_HELP, IDC_STATIC

// Window messages: the first private one, and the mouse messages a
// notification-area icon sends its owner.
#ifndef WM_USER
constexpr unsigned WM_USER = 0x0400;
#endif
#ifndef WM_LBUTTONDOWN
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
#endif
#ifndef WM_LBUTTONDBLCLK
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
#endif
#ifndef WM_RBUTTONDOWN
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
#endif
#ifndef WM_MBUTTONDOWN
constexpr unsigned WM_MBUTTONDOWN = 0x0207;
#endif

// Notification codes of WM_COMMAND.
#ifndef BN_CLICKED
constexpr int BN_CLICKED = 0;
#endif
#ifndef CBN_SELCHANGE
constexpr int CBN_SELCHANGE = 1;
#endif
#ifndef EN_CHANGE
constexpr int EN_CHANGE = 0x0300;
#endif
// Notification codes of WM_NOTIFY.
#ifndef NM_DBLCLK
constexpr int NM_DBLCLK = -3;
#endif
#ifndef LVN_COLUMNCLICK
constexpr int LVN_COLUMNCLICK = -108;
#endif

// Scroll codes of WM_HSCROLL and WM_VSCROLL (LEFT/RIGHT are the same numbers
// as UP/DOWN).
#ifndef SB_LINEUP
constexpr int SB_LINEUP = 0;
#endif
#ifndef SB_LINELEFT
constexpr int SB_LINELEFT = 0;
#endif
#ifndef SB_LINEDOWN
constexpr int SB_LINEDOWN = 1;
#endif
#ifndef SB_LINERIGHT
constexpr int SB_LINERIGHT = 1;
#endif
#ifndef SB_PAGEUP
constexpr int SB_PAGEUP = 2;
#endif
#ifndef SB_PAGELEFT
constexpr int SB_PAGELEFT = 2;
#endif
#ifndef SB_PAGEDOWN
constexpr int SB_PAGEDOWN = 3;
#endif
#ifndef SB_PAGERIGHT
constexpr int SB_PAGERIGHT = 3;
#endif
#ifndef SB_THUMBPOSITION
constexpr int SB_THUMBPOSITION = 4;
#endif
#ifndef SB_THUMBTRACK
constexpr int SB_THUMBTRACK = 5;
#endif
#ifndef SB_TOP
constexpr int SB_TOP = 6;
#endif
#ifndef SB_LEFT
constexpr int SB_LEFT = 6;
#endif
#ifndef SB_BOTTOM
constexpr int SB_BOTTOM = 7;
#endif
#ifndef SB_RIGHT
constexpr int SB_RIGHT = 7;
#endif
#ifndef SB_ENDSCROLL
constexpr int SB_ENDSCROLL = 8;
#endif

// List view: column format and the selected-item search flag.
#ifndef LVCFMT_LEFT
constexpr int LVCFMT_LEFT = 0;
#endif
#ifndef LVNI_SELECTED
constexpr int LVNI_SELECTED = 2;
#endif
