#pragma once
// CSkinListCtrl from the skin's back end that this build draws with: the windows
// include this, never a back end's header.
#include "skin/qt/CSkinListCtrl.h"
