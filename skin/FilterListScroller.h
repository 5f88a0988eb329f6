#pragma once
// CFilterListScroller from the skin's back end that this build draws with.
#include "skin/qt/FilterListScroller.h"
