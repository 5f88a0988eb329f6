#pragma once
#include_next <unistd.h>
#include "platform/win32/posix/PosixShim.h"
