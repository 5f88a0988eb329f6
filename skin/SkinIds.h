#pragma once
// The window-system numbers that ORN's windows are written against: command
// ids, notification codes and scroll codes. The skin maps Qt's signals onto
// them (CSkinDialog), so that handlers can be written with these numbers.

#include "resources/templates/DialogTemplates.h"  // IDOK, IDCANCEL, ID_HELP, IDC_STATIC

// Window messages: the first private one, and the mouse messages a
// notification-area icon sends its owner.
constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned WM_MBUTTONDOWN = 0x0207;

// Notification codes of WM_COMMAND.
constexpr int BN_CLICKED = 0;
constexpr int CBN_SELCHANGE = 1;
constexpr int EN_CHANGE = 0x0300;
// Notification codes of WM_NOTIFY.
constexpr int NM_DBLCLK = -3;
constexpr int LVN_COLUMNCLICK = -108;

// Scroll codes of WM_HSCROLL and WM_VSCROLL (LEFT/RIGHT are the same numbers
// as UP/DOWN).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_LEFT = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_RIGHT = 7;
constexpr int SB_ENDSCROLL = 8;

// List view: column format and the selected-item search flag.
constexpr int LVCFMT_LEFT = 0;
constexpr int LVNI_SELECTED = 2;
