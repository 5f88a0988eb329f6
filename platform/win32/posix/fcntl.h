#pragma once
#include_next <fcntl.h>
#include "platform/win32/posix/PosixShim.h"
