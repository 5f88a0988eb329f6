#pragma once
// CTrayIcon from the skin's back end that this build draws with.
#ifdef _WIN32
#include "skin/win32/CTrayIcon.h"
#else
#include "skin/qt/CTrayIcon.h"
#endif
