#include "capture/PacketStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kLimit = CPacketStore::kLimit;

// A record that notes, in deaths, when it is destroyed.
class CTracedRecord : public CPacketRecord {
public:
    CTracedRecord(std::uint64_t id, std::vector<std::uint64_t>* deaths) : id(id), deaths(deaths) {}
    ~CTracedRecord() override
    {
        if (deaths)
            deaths->push_back(id);
    }
    std::uint64_t id;
    std::vector<std::uint64_t>* deaths;
};

void Fill(CPacketStore& store, std::uint64_t from, std::uint64_t to,
          std::vector<std::uint64_t>* deaths = nullptr)
{
    for (std::uint64_t id = from; id < to; ++id)
        store.Append(std::make_unique<CTracedRecord>(id, deaths));
}

std::uint64_t IdOf(const std::shared_ptr<const CPacketRecord>& record)
{
    return static_cast<const CTracedRecord&>(*record).id;
}

}  // namespace

TEST(PacketStore, TheLimitRecordStaysAndTheNextDropsIndexZero)
{
    std::vector<std::uint64_t> deaths;
    CPacketStore store;
    EXPECT_EQ(store.Element(0), nullptr);
    store.Append(nullptr);
    EXPECT_EQ(store.Count(), 0u);

    Fill(store, 0, kLimit, &deaths);
    EXPECT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), 0u);
    EXPECT_TRUE(deaths.empty());
    EXPECT_EQ(IdOf(store.Element(kLimit - 1)), kLimit - 1);

    Fill(store, kLimit, kLimit + 1, &deaths);
    EXPECT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), 1u);
    EXPECT_EQ(deaths, std::vector<std::uint64_t>{0});
    EXPECT_EQ(IdOf(store.Element(0)), 1u);
    EXPECT_EQ(IdOf(store.Element(kLimit - 1)), kLimit);
    EXPECT_EQ(store.Element(kLimit), nullptr);
}

TEST(PacketStore, OldestFirstAcrossWrapAround)
{
    std::vector<std::uint64_t> deaths;
    CPacketStore store;
    const std::uint64_t total = 2 * kLimit + 7;
    const std::uint64_t first = total - kLimit;
    Fill(store, 0, total, &deaths);
    ASSERT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), first);
    for (std::uint64_t i = 0; i < kLimit; ++i)
        ASSERT_EQ(IdOf(store.Element(i)), first + i) << "index " << i;
    ASSERT_EQ(deaths.size(), first);
    for (std::uint64_t i = 0; i < first; ++i)
        ASSERT_EQ(deaths[i], i);

    // The ring's physical end lies at index kLimit - 7; a page across it is
    // consecutive, and pages are clamped to what exists.
    const auto page = store.Range(kLimit - 10, 6);
    ASSERT_EQ(page.size(), 6u);
    for (std::size_t k = 0; k < page.size(); ++k)
        EXPECT_EQ(IdOf(page[k]), first + kLimit - 10 + k);
    const auto tail = store.Range(kLimit - 2, 100);
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(IdOf(tail[1]), total - 1);
    EXPECT_TRUE(store.Range(kLimit, 1).empty());
    EXPECT_TRUE(store.Range(static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)).empty());
}

TEST(PacketStore, HeldRecordsOutliveTheirDropAndTheStore)
{
    std::vector<std::uint64_t> deaths;
    std::shared_ptr<const CPacketRecord> held;
    {
        CPacketStore store;
        auto first = std::make_unique<CTracedRecord>(0, &deaths);
        first->messageLength = 3;
        first->messageData = std::make_unique<std::uint8_t[]>(4);
        std::memcpy(first->messageData.get(), "a\0b", 4);
        store.Append(std::move(first));
        Fill(store, 1, kLimit, &deaths);

        held = store.Element(0);
        Fill(store, kLimit, kLimit + 5, &deaths);
        EXPECT_EQ(deaths, (std::vector<std::uint64_t>{1, 2, 3, 4})) << "a held record was destroyed";
        EXPECT_EQ(IdOf(store.Element(0)), 5u);
        ASSERT_EQ(held->messageLength, 3u);
        EXPECT_EQ(std::memcmp(held->messageData.get(), "a\0b", 4), 0);
    }
    // The store released its records index 0 first: the drops 1 to 4 went at
    // once, then ids 5 onwards at destruction; the held record lives on.
    ASSERT_EQ(deaths.size(), kLimit + 4);
    for (std::uint64_t i = 0; i < deaths.size(); ++i)
        ASSERT_EQ(deaths[i], i + 1) << "position " << i;
    held.reset();
    EXPECT_EQ(deaths.back(), 0u);
}

TEST(PacketStore, ReaderSeesAConsistentStoreWhileTheWriterWraps)
{
    CPacketStore store;
    const std::uint64_t total = kLimit + 60000;
    std::atomic<bool> done{false};
    int faults = 0;
    std::thread reader([&] {
        std::uint64_t lastOldest = 0;
        while (!done.load()) {
            const std::size_t n = store.Count();
            if (n == 0)
                continue;
            // The count never shrinks, so index n - 1 stays valid.
            const auto newest = store.Element(n - 1);
            const auto oldest = store.Element(0);
            if (n > kLimit || !newest || !oldest || IdOf(oldest) < lastOldest)
                ++faults;
            else
                lastOldest = IdOf(oldest);
            const std::uint64_t before = store.Dropped();
            const auto page = store.Range(n / 2, 64);
            for (std::size_t k = 1; k < page.size(); ++k)
                faults += IdOf(page[k]) != IdOf(page[k - 1]) + 1;
            if (before == store.Dropped() && !page.empty() && IdOf(page[0]) != before + n / 2)
                ++faults;
        }
    });
    Fill(store, 0, total);
    done = true;
    reader.join();
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(store.Dropped(), total - kLimit);
    EXPECT_EQ(IdOf(store.Element(0)), total - kLimit);
}
