#pragma once
// CTrayIcon from the skin's back end that this build draws with.
#include "skin/qt/CTrayIcon.h"
