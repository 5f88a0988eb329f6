// The interface names the window may keep on Windows: friendly names, which
// the Interface menu and the stored value must hold as they are.
#include <gtest/gtest.h>

#include "platform/capture/CaptureSource.h"

TEST(CaptureRightsWin32, InterfaceNames) {
    EXPECT_TRUE(IsValidInterfaceName("Ethernet 2"));
    EXPECT_TRUE(IsValidInterfaceName("{4D36E972-E325-11CE-BFC1-08002BE10318}"));
    EXPECT_TRUE(IsValidInterfaceName("Wi-Fi \xc3\xa9"));
    EXPECT_FALSE(IsValidInterfaceName(""));
    EXPECT_FALSE(IsValidInterfaceName("eth\n0"));
    EXPECT_FALSE(IsValidInterfaceName(std::string(1025, 'a')));
}
