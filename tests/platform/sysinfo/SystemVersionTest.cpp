#include "platform/sysinfo/SystemVersion.h"

#include <gtest/gtest.h>

namespace {

// Releases as distributions write them, and whether they are 3.2 or later:
// 3.10 and 3.2 compare as numbers, not as text.
TEST(KernelRelease, ReadsDistributionReleasesFromThreePointTwoOn) {
    const std::tuple<const char*, CKernelVersion, bool> cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}, true},          {"3.2", {3, 2, 0}, true},
        {"2.6.32-754.el6.x86_64", {2, 6, 32}, false}, {"4.19.0+", {4, 19, 0}, true},
        {"5.15.0-91-generic", {5, 15, 0}, true},      {"2.6.32.27-0.2-default", {2, 6, 32}, false},
        {"6.8.12_rc1", {6, 8, 12}, true},             {"3.10.0-1160.el7.x86_64", {3, 10, 0}, true},
        {"3.2.102-rt", {3, 2, 102}, true},            {"3.1.10", {3, 1, 10}, false},
        {"3.0.101", {3, 0, 101}, false},              {"2.99", {2, 99, 0}, false},
        {"1.3.2", {1, 3, 2}, false},                  {"10.0", {10, 0, 0}, true}};
    for (const auto& [release, version, supported] : cases) {
        EXPECT_EQ(ParseKernelRelease(release), version) << release;
        EXPECT_EQ(IsSupportedKernelRelease(release), supported) << release;
    }
}

TEST(KernelRelease, RefusesWhatIsNoVersion) {
    for (const char* release : {"", "garbage", "Linux", "6", "6.", ".6.1", "-3.2", " 3.2", "v6.1", "6.x",
                                "99999999999999999999.1", "3.99999999999999999999"}) {
        EXPECT_FALSE(ParseKernelRelease(release)) << '"' << release << '"';
        EXPECT_FALSE(IsSupportedKernelRelease(release)) << '"' << release << '"';
    }
}

TEST(KernelRelease, RunningSystemHasAReadableRelease) {
    const std::string release = CurrentKernelRelease();
    EXPECT_TRUE(ParseKernelRelease(release)) << release;
    EXPECT_EQ(IsSupportedSystem(), IsSupportedKernelRelease(release));
}

}  // namespace
