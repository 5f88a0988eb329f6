#pragma once
// CSkinDialog from the skin's back end that this build draws with: the windows
// include this, never a back end's header.
#ifdef _WIN32
#include "skin/win32/CSkinDialog.h"
#else
#include "skin/qt/CSkinDialog.h"
#endif
