// What the elevated copy of the program is given (the command line less the
// program's name, as the system splits it) and the interface names the
// window may keep on Windows.
#include <gtest/gtest.h>

#include "platform/capture/CaptureRightsWin32.h"
#include "platform/capture/CaptureSource.h"

TEST(CaptureRightsWin32, ArgumentsAfterTheProgramAndInterfaceNames) {
    EXPECT_EQ(ArgumentsAfterProgram(LR"("C:\Program Files\ORN\orn.exe" "C:\a b\c.pcap")"), LR"("C:\a b\c.pcap")");
    // No escapes in the name: a backslash before its closing quote ends it all the same.
    EXPECT_EQ(ArgumentsAfterProgram(LR"("C:\ORN\"  x.pcap)"), L"x.pcap");
    EXPECT_EQ(ArgumentsAfterProgram(L"orn.exe\t-- -x.pcap"), L"-- -x.pcap");
    EXPECT_EQ(ArgumentsAfterProgram(L"orn.exe"), L"");
    EXPECT_EQ(ArgumentsAfterProgram(LR"("C:\ORN\orn.exe)"), L"");
    EXPECT_EQ(ArgumentsAfterProgram(L""), L"");

    EXPECT_TRUE(IsValidInterfaceName("Ethernet 2"));
    EXPECT_TRUE(IsValidInterfaceName("{4D36E972-E325-11CE-BFC1-08002BE10318}"));
    EXPECT_TRUE(IsValidInterfaceName("Wi-Fi \xc3\xa9"));
    EXPECT_FALSE(IsValidInterfaceName(""));
    EXPECT_FALSE(IsValidInterfaceName("eth\n0"));
    EXPECT_FALSE(IsValidInterfaceName(std::string(1025, 'a')));
}
