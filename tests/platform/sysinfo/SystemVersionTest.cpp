#include "platform/sysinfo/SystemVersion.h"

#include <gtest/gtest.h>

namespace {

TEST(KernelRelease, ReadsDistributionReleases) {
    struct Case {
        const char* release;
        CKernelVersion version;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}},
        {"3.2", {3, 2, 0}},
        {"2.6.32-754.el6.x86_64", {2, 6, 32}},
        {"4.19.0+", {4, 19, 0}},
        {"5.15.0-91-generic", {5, 15, 0}},
        {"2.6.32.27-0.2-default", {2, 6, 32}},
        {"6.8.12_rc1", {6, 8, 12}},
        {"3.10.0-1160.el7.x86_64", {3, 10, 0}},
    };
    for (const Case& c : cases) {
        const auto version = ParseKernelRelease(c.release);
        ASSERT_TRUE(version) << c.release;
        EXPECT_EQ(*version, c.version) << c.release;
    }
}

TEST(KernelRelease, RefusesWhatIsNoVersion) {
    for (const char* release : {"", "garbage", "Linux", "6", "6.", ".6.1", "-3.2", " 3.2",
                                "v6.1", "6.x", "99999999999999999999.1", "3.99999999999999999999"}) {
        EXPECT_FALSE(ParseKernelRelease(release)) << '"' << release << '"';
        EXPECT_FALSE(IsSupportedKernelRelease(release)) << '"' << release << '"';
    }
}

TEST(KernelRelease, AcceptsFromThreePointTwoOn) {
    for (const char* release : {"3.2", "3.2.0", "3.2.102-rt", "3.10.0", "4.0", "4.19.0+",
                                "6.1.0-18-amd64", "10.0"}) {
        EXPECT_TRUE(IsSupportedKernelRelease(release)) << release;
    }
    // 3.10 and 3.2 compare as numbers, not as text.
    for (const char* release : {"3.1.10", "3.1", "3.0.101", "2.6.39", "2.6.32-754.el6.x86_64",
                                "2.99", "1.3.2"}) {
        EXPECT_FALSE(IsSupportedKernelRelease(release)) << release;
    }
}

TEST(KernelRelease, RunningSystemHasAReadableRelease) {
    const std::string release = CurrentKernelRelease();
    ASSERT_FALSE(release.empty());
    EXPECT_TRUE(ParseKernelRelease(release)) << release;
    EXPECT_EQ(IsSupportedSystem(), IsSupportedKernelRelease(release));
}

}  // namespace
