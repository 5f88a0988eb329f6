#pragma once
// CFilterListScroller from the skin's back end that this build draws with.
#ifdef _WIN32
#include "skin/win32/FilterListScroller.h"
#else
#include "skin/qt/FilterListScroller.h"
#endif
