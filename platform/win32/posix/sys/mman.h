#pragma once
#include "platform/win32/posix/PosixShim.h"
