#include "filters/FilterSetHolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(FilterSetHolder, PublishesWholeSetsThatOutliveTheirReplacement) {
    CFilterSetHolder holder;
    const auto defaults = holder.Snapshot();
    CFilterSetReader reader(holder);
    EXPECT_EQ(&reader.Current(), defaults.get());

    CFilterSet uneven;
    uneven.srcAddrs = {1, 2, 3};
    uneven.srcPorts = {80};
    uneven.destPorts = {53, 54};
    holder.Publish(uneven);
    const CFilterSet& now = reader.Current();
    EXPECT_EQ(now.srcAddrs, std::vector<std::uint32_t>{1});  // cut to whole entries
    EXPECT_EQ(now.srcPorts, std::vector<std::uint16_t>{80});
    EXPECT_TRUE(now.destPorts.empty());
    EXPECT_EQ(&reader.Current(), &now) << "the reader took a new snapshot without a change";
    EXPECT_EQ(defaults->messages, 1);  // still valid after being replaced
}

// Set k has k % 40 + 1 source and k % 7 + 1 destination entries, every field derived from k.
TEST(FilterSetHolder, CaptureThreadSeesOnlyWholeSetsWhilePublishing) {
    auto numbered = [](std::uint32_t k) {
        CFilterSet set;
        set.fullInfo = static_cast<std::int32_t>(k), set.messages = -set.fullInfo;
        set.srcAddrs.assign(k % 40 + 1, k), set.srcPorts.assign(k % 40 + 1, std::uint16_t(k));
        set.destAddrs.assign(k % 7 + 1, ~k), set.destPorts.assign(k % 7 + 1, std::uint16_t(~k));
        return set;
    };
    auto whole = [&](const CFilterSet& set) {
        const CFilterSet expected = numbered(static_cast<std::uint32_t>(set.fullInfo));
        return set.messages == expected.messages && set.srcAddrs == expected.srcAddrs &&
               set.srcPorts == expected.srcPorts && set.destAddrs == expected.destAddrs &&
               set.destPorts == expected.destPorts;
    };
    CFilterSetHolder holder;
    holder.Publish(numbered(0));
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};
    std::thread capture([&] {
        CFilterSetReader reader(holder);
        std::int32_t last = 0;
        while (!done.load(std::memory_order_relaxed)) {
            const CFilterSet& set = reader.Current();
            if (!whole(set) || set.fullInfo < last) ++faults;
            last = set.fullInfo;
        }
    });
    for (std::uint32_t k = 1; k <= 20000; ++k) holder.Publish(numbered(k));
    done = true;
    capture.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(holder.Snapshot()->fullInfo, 20000);
}

}  // namespace
