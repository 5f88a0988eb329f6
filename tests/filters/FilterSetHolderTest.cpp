#include "filters/FilterSetHolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Set k: k + 1 identical entries per side, every field derived from k.
CFilterSet Numbered(std::uint32_t k)
{
    CFilterSet set;
    set.fullInfo = static_cast<std::int32_t>(k);
    set.messages = -static_cast<std::int32_t>(k);
    set.srcAddrs.assign(k % 40 + 1, k);
    set.srcPorts.assign(k % 40 + 1, static_cast<std::uint16_t>(k));
    set.destAddrs.assign(k % 7 + 1, ~k);
    set.destPorts.assign(k % 7 + 1, static_cast<std::uint16_t>(~k));
    return set;
}

bool Whole(const CFilterSet& set)
{
    const auto k = static_cast<std::uint32_t>(set.fullInfo);
    return set.messages == -set.fullInfo && set.srcAddrs == std::vector<std::uint32_t>(k % 40 + 1, k) &&
           set.srcPorts.size() == set.srcAddrs.size() &&
           set.destPorts == std::vector<std::uint16_t>(k % 7 + 1, static_cast<std::uint16_t>(~k)) &&
           set.destAddrs.size() == set.destPorts.size();
}

}  // namespace

TEST(FilterSetHolder, PublishesWholeSetsThatOutliveTheirReplacement)
{
    CFilterSetHolder holder;
    const auto defaults = holder.Snapshot();
    EXPECT_EQ(defaults->messages, 1);
    EXPECT_EQ(defaults->fullInfo, 0);
    EXPECT_TRUE(defaults->srcAddrs.empty());

    CFilterSetReader reader(holder);
    EXPECT_EQ(&reader.Current(), defaults.get());

    CFilterSet uneven;
    uneven.srcAddrs = {1, 2, 3};
    uneven.srcPorts = {80};
    uneven.destPorts = {53, 54};
    holder.Publish(uneven);
    const CFilterSet& now = reader.Current();
    EXPECT_EQ(now.srcAddrs, std::vector<std::uint32_t>{1});
    EXPECT_EQ(now.srcPorts, std::vector<std::uint16_t>{80});
    EXPECT_TRUE(now.destPorts.empty());
    EXPECT_EQ(&reader.Current(), &now) << "the reader took a new snapshot without a change";
    EXPECT_EQ(defaults->messages, 1);  // still valid after being replaced
}

TEST(FilterSetHolder, CaptureThreadSeesOnlyWholeSetsWhilePublishing)
{
    CFilterSetHolder holder;
    holder.Publish(Numbered(0));
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};
    std::thread capture([&] {
        CFilterSetReader reader(holder);
        std::int32_t last = 0;
        while (!done.load(std::memory_order_relaxed)) {
            const CFilterSet& set = reader.Current();
            if (!Whole(set) || set.fullInfo < last)
                ++faults;
            last = set.fullInfo;
        }
    });
    for (std::uint32_t k = 1; k <= 20000; ++k)
        holder.Publish(Numbered(k));
    done = true;
    capture.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(holder.Snapshot()->fullInfo, 20000);
}
