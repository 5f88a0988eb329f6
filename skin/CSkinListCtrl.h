#pragma once
// CSkinListCtrl from the skin's back end that this build draws with: the windows
// include this, never a back end's header.
#ifdef _WIN32
#include "skin/win32/CSkinListCtrl.h"
#else
#include "skin/qt/CSkinListCtrl.h"
#endif
