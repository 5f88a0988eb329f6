#include "platform/sysinfo/SystemVersion.h"

#include <gtest/gtest.h>

TEST(WindowsVersion, NtFromWindows2000OnAndTheRunningSystemPass) {
    EXPECT_FALSE(IsSupportedWindowsVersion(2, 4));  // NT 4.0
    EXPECT_TRUE(IsSupportedWindowsVersion(2, 5));   // Windows 2000
    EXPECT_TRUE(IsSupportedWindowsVersion(2, 10));
    EXPECT_FALSE(IsSupportedWindowsVersion(1, 5));  // not NT (Windows 9x/Me)
    EXPECT_TRUE(IsSupportedSystem());
    EXPECT_STREQ(kUnsupportedSystemText, "This program requires Windows 2000!!!");
}
