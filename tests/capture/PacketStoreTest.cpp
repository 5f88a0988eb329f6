#include "capture/PacketStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Notes the order in which records die.
struct CDeathLog {
    std::mutex mutex;
    std::vector<std::uint64_t> ids;

    void Add(std::uint64_t id)
    {
        std::lock_guard lock(mutex);
        ids.push_back(id);
    }
    std::vector<std::uint64_t> Ids()
    {
        std::lock_guard lock(mutex);
        return ids;
    }
};

class CTracedRecord : public CPacketRecord {
public:
    CTracedRecord(std::uint64_t id, CDeathLog* log) : id(id), log(log)
    {
        std::snprintf(protocolText, sizeof protocolText, "record %llu",
                      static_cast<unsigned long long>(id));
    }
    ~CTracedRecord() override
    {
        if (log)
            log->Add(id);
    }
    std::uint64_t id;
    CDeathLog* log;
};

std::unique_ptr<CPacketRecord> Traced(std::uint64_t id, CDeathLog* log = nullptr)
{
    return std::make_unique<CTracedRecord>(id, log);
}

std::uint64_t IdOf(const std::shared_ptr<const CPacketRecord>& record)
{
    return static_cast<const CTracedRecord&>(*record).id;
}

void Fill(CPacketStore& store, std::uint64_t from, std::uint64_t to, CDeathLog* log = nullptr)
{
    for (std::uint64_t id = from; id < to; ++id)
        store.Append(Traced(id, log));
}

constexpr std::uint64_t kLimit = CPacketStore::kLimit;

}  // namespace

TEST(PacketStoreLimit, TheLimitRecordStaysAndTheNextDropsIndexZero)
{
    CDeathLog log;
    CPacketStore store;
    Fill(store, 0, kLimit, &log);
    EXPECT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), 0u);
    EXPECT_TRUE(log.Ids().empty());
    EXPECT_EQ(IdOf(store.Element(0)), 0u);
    EXPECT_EQ(IdOf(store.Element(kLimit - 1)), kLimit - 1);

    store.Append(Traced(kLimit, &log));
    EXPECT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), 1u);
    EXPECT_EQ(log.Ids(), std::vector<std::uint64_t>{0});
    EXPECT_EQ(IdOf(store.Element(0)), 1u);
    EXPECT_EQ(IdOf(store.Element(kLimit - 1)), kLimit);
    EXPECT_EQ(store.Element(kLimit), nullptr);
}

TEST(PacketStoreLimit, EmptyStoreAndNullAppend)
{
    CPacketStore store;
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.Element(0), nullptr);
    EXPECT_TRUE(store.Range(0, 10).empty());
    store.Append(nullptr);
    EXPECT_EQ(store.Count(), 0u);
}

TEST(PacketStoreOrder, OldestFirstAcrossWrapAround)
{
    CDeathLog log;
    CPacketStore store;
    const std::uint64_t total = 2 * kLimit + 7;
    Fill(store, 0, total, &log);
    const std::uint64_t first = total - kLimit;
    ASSERT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), first);
    for (std::uint64_t i = 0; i < kLimit; ++i)
        ASSERT_EQ(IdOf(store.Element(i)), first + i) << "index " << i;

    // Drops went oldest first, one per append past the limit.
    const auto dead = log.Ids();
    ASSERT_EQ(dead.size(), first);
    for (std::uint64_t i = 0; i < first; ++i)
        ASSERT_EQ(dead[i], i);

    // The physical end of the ring lies at index kLimit - 7; a page across it
    // is still consecutive.
    const auto page = store.Range(kLimit - 10, 6);
    ASSERT_EQ(page.size(), 6u);
    for (std::size_t k = 0; k < page.size(); ++k)
        EXPECT_EQ(IdOf(page[k]), first + kLimit - 10 + k);
}

TEST(PacketStoreOrder, RangeClampsToWhatExists)
{
    CPacketStore store;
    Fill(store, 0, 5);
    EXPECT_EQ(store.Range(3, 100).size(), 2u);
    EXPECT_EQ(IdOf(store.Range(3, 100)[1]), 4u);
    EXPECT_TRUE(store.Range(5, 1).empty());
    EXPECT_TRUE(store.Range(4, 0).empty());
    EXPECT_TRUE(store.Range(static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)).empty());
}

TEST(PacketStoreLifetime, HeldRecordSurvivesItsDrop)
{
    CDeathLog log;
    CPacketStore store;
    auto withMessage = std::make_unique<CTracedRecord>(0, &log);
    withMessage->messageLength = 3;
    withMessage->messageData = std::make_unique<std::uint8_t[]>(4);
    std::memcpy(withMessage->messageData.get(), "a\0b", 4);
    store.Append(std::move(withMessage));
    Fill(store, 1, kLimit, &log);

    auto held = store.Element(0);
    store.Append(Traced(kLimit, &log));
    EXPECT_TRUE(log.Ids().empty()) << "a held record was destroyed";
    EXPECT_EQ(IdOf(store.Element(0)), 1u);
    EXPECT_STREQ(held->protocolText, "record 0");
    ASSERT_EQ(held->messageLength, 3u);
    EXPECT_EQ(std::memcmp(held->messageData.get(), "a\0b", 4), 0);

    held.reset();
    EXPECT_EQ(log.Ids(), std::vector<std::uint64_t>{0});
}

TEST(PacketStoreLifetime, DestructionReleasesIndexZeroFirst)
{
    CDeathLog log;
    std::shared_ptr<const CPacketRecord> held;
    {
        CPacketStore store;
        Fill(store, 0, kLimit + 5, &log);  // the ring has wrapped
        held = store.Element(100);
    }
    auto dead = log.Ids();
    ASSERT_EQ(dead.size(), kLimit + 4);
    std::uint64_t expected = 0;
    for (std::size_t i = 0; i < dead.size(); ++i, ++expected) {
        if (expected == 105)
            ++expected;  // still held
        ASSERT_EQ(dead[i], expected) << "position " << i;
    }
    held.reset();
    EXPECT_EQ(log.Ids().back(), 105u);
}

TEST(PacketStoreConcurrency, ReaderSeesAConsistentStoreWhileTheWriterWraps)
{
    CPacketStore store;
    const std::uint64_t total = kLimit + 60000;
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};

    std::thread reader([&] {
        std::uint64_t lastFirst = 0;
        while (!done.load()) {
            const std::size_t n = store.Count();
            if (n > kLimit)
                ++faults;
            if (n == 0)
                continue;
            // Count never shrinks, so the last index seen stays valid.
            auto last = store.Element(n - 1);
            auto oldest = store.Element(0);
            if (!last || !oldest || IdOf(oldest) < lastFirst)
                ++faults;
            else
                lastFirst = IdOf(oldest);

            const std::uint64_t before = store.Dropped();
            const auto page = store.Range(n / 2, 64);
            const std::uint64_t after = store.Dropped();
            for (std::size_t k = 1; k < page.size(); ++k)
                if (IdOf(page[k]) != IdOf(page[k - 1]) + 1)
                    ++faults;
            if (before == after && !page.empty() && IdOf(page[0]) != before + n / 2)
                ++faults;
        }
    });

    for (std::uint64_t id = 0; id < total; ++id)
        store.Append(Traced(id));
    done = true;
    reader.join();

    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(store.Count(), kLimit);
    EXPECT_EQ(store.Dropped(), total - kLimit);
    EXPECT_EQ(IdOf(store.Element(0)), total - kLimit);
}
