#pragma once
#include_next <sys/stat.h>
#include "platform/win32/posix/PosixShim.h"
