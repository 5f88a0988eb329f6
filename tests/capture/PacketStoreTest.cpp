#include "capture/PacketStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kLimit = 102400;  // pinned here, not taken from the store
using Ids = std::vector<std::uint64_t>;
using Bytes = std::vector<std::uint8_t>;

// Records of unequal sizes, as traffic has: a byte count taken for another
// record's shows in the sums.
std::size_t SizeOf(std::uint64_t id) { return 1 + id % 7; }
Bytes BytesOf(std::uint64_t id) { return Bytes(SizeOf(id), static_cast<std::uint8_t>(id)); }

// A record that notes in `deaths` when it is destroyed; it holds BytesOf(id).
struct CTracedRecord : CPacketRecord {
    CTracedRecord(std::uint64_t id, Ids* deaths) : id(id), deaths(deaths) { KeepDatagram(BytesOf(id), 0, false); }
    ~CTracedRecord() override {
        if (deaths) deaths->push_back(id);
    }
    std::uint64_t id;
    Ids* deaths;
};

void Fill(CPacketStore& store, std::uint64_t from, std::uint64_t to, Ids* deaths = nullptr) {
    for (std::uint64_t id = from; id < to; ++id) store.Append(std::make_unique<CTracedRecord>(id, deaths));
}

std::uint64_t IdOf(const std::shared_ptr<const CPacketRecord>& record) {
    return static_cast<const CTracedRecord&>(*record).id;
}

Ids IdsOf(const std::vector<std::shared_ptr<const CPacketRecord>>& records) {
    Ids ids;
    for (const auto& r : records) ids.push_back(IdOf(r));
    return ids;
}

TEST(PacketStore, KeepsTheNewestOldestFirstWhileHeldRecordsOutliveTheirDropAndTheStore) {
    const std::uint64_t total = 2 * kLimit + 7, first = total - kLimit;
    Ids deaths;
    std::shared_ptr<const CPacketRecord> held;
    {
        CPacketStore store(1000);  // bytes of the newest 1000 records
        EXPECT_EQ(store.Element(0), nullptr);
        store.Append(nullptr);
        EXPECT_EQ(store.Count(), 0u);

        Fill(store, 0, kLimit, &deaths);  // the limit-th record still fits
        EXPECT_EQ(store.Count(), kLimit);
        EXPECT_EQ(store.Dropped(), 0u);
        held = store.Element(0);  // as the details window holds its record
        Fill(store, kLimit, kLimit + 1, &deaths);
        EXPECT_TRUE(deaths.empty()) << "a held record was destroyed";
        EXPECT_EQ(IdOf(store.Element(0)), 1u);
        EXPECT_EQ(IdOf(store.Element(kLimit - 1)), kLimit);
        EXPECT_EQ(store.Element(kLimit), nullptr);

        Fill(store, kLimit + 1, total, &deaths);
        ASSERT_EQ(store.Count(), kLimit);
        EXPECT_EQ(store.Dropped(), first);
        for (std::uint64_t i = 0; i < kLimit; ++i) ASSERT_EQ(IdOf(store.Element(i)), first + i) << "index " << i;
        // The ring's physical end lies at index kLimit - 7; a page across it is
        // consecutive, and pages are clamped to what exists.
        const std::uint64_t at = first + kLimit - 10;
        EXPECT_EQ(IdsOf(store.Range(kLimit - 10, 6)), (Ids{at, at + 1, at + 2, at + 3, at + 4, at + 5}));
        EXPECT_EQ(IdsOf(store.Range(kLimit - 2, 100)), (Ids{total - 2, total - 1}));
        EXPECT_TRUE(store.Range(kLimit, 1).empty());
        EXPECT_TRUE(store.Range(static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)).empty());
        // Past drops and releases, the newest records that fit the budget
        // hold their own bytes, and the count is theirs.
        std::size_t held = 0;
        std::uint64_t oldestHeld = total;
        while (oldestHeld > first && held + SizeOf(oldestHeld - 1) <= 1000) held += SizeOf(--oldestHeld);
        EXPECT_EQ(store.HeldBytes(), held);
        for (std::uint64_t i = 0; i < kLimit; ++i) {
            const CHeldBytes held = store.Element(i)->Datagram();
            ASSERT_EQ(Bytes(held.bytes.begin(), held.bytes.end()), held.released ? Bytes{} : BytesOf(first + i)) << i;
            ASSERT_EQ(held.released, first + i < oldestHeld) << "index " << i;
        }
    }
    // Drops went oldest first, then the store released its records index 0
    // first; the held record lives on.
    ASSERT_EQ(deaths.size(), total - 1);
    for (std::uint64_t i = 0; i < deaths.size(); ++i) ASSERT_EQ(deaths[i], i + 1) << "position " << i;
    EXPECT_EQ(IdOf(held), 0u);
    held.reset();
    EXPECT_EQ(deaths.back(), 0u);
}

TEST(PacketStore, ReaderSeesAConsistentStoreWhileTheWriterWraps) {
    CPacketStore store;
    const std::uint64_t total = kLimit + 60000;
    std::atomic<bool> done{false};
    int faults = 0;
    std::thread reader([&] {
        std::uint64_t lastOldest = 0;
        while (!done.load()) {
            const std::size_t n = store.Count();
            if (n == 0) continue;
            // The count never shrinks, so index n - 1 stays valid.
            const auto newest = store.Element(n - 1), oldest = store.Element(0);
            if (n > kLimit || !newest || !oldest || IdOf(oldest) < lastOldest)
                ++faults;
            else
                lastOldest = IdOf(oldest);
            const std::uint64_t before = store.Dropped();
            const auto page = store.Range(n / 2, 64);
            for (std::size_t k = 1; k < page.size(); ++k) faults += IdOf(page[k]) != IdOf(page[k - 1]) + 1;
            if (before == store.Dropped() && !page.empty() && IdOf(page[0]) != before + n / 2) ++faults;
        }
    });
    Fill(store, 0, total);
    done = true;
    reader.join();
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(store.Dropped(), total - kLimit);
    EXPECT_EQ(IdOf(store.Element(0)), total - kLimit);
    std::size_t kept = 0;
    for (std::uint64_t id = total - kLimit; id < total; ++id) kept += SizeOf(id);
    EXPECT_EQ(store.HeldBytes(), kept);  // within the budget: drops gave back their own bytes
}

TEST(PacketStore, PastItsBudgetTheOldestRecordsLetTheirBytesGoWhileReadersKeepTheirs) {
    CPacketStore store(1000);
    auto record = [](std::size_t size, std::uint8_t fill, bool message = true) {
        auto r = std::make_unique<CPacketRecord>();
        r->KeepDatagram(Bytes(size, fill), 20, message);
        return r;
    };
    store.Append(record(400, 1));
    store.Append(record(400, 2, false));
    const CHeldBytes looking = store.Element(0)->Message();  // as the details window holds it
    store.Append(record(300, 3));
    EXPECT_EQ(store.HeldBytes(), 700u);
    EXPECT_TRUE(store.Element(0)->Message().released && store.Element(0)->Datagram().released);
    EXPECT_EQ(store.Element(0)->DatagramLength(), 400u);
    // Megabytes more come and go; what the reader holds stays as it was.
    for (int i = 0; i < 100; ++i) CPacketStore(0).Append(record(60000, 7));
    EXPECT_EQ(looking.bytes.size(), 380u);
    EXPECT_EQ(std::count(looking.bytes.begin(), looking.bytes.end(), 1), 380);
    // Without the messages flag there is no message to release, only the datagram.
    const CHeldBytes none = store.Element(1)->Message();
    EXPECT_TRUE(!none.released && none.bytes.empty() && store.Element(1)->Datagram().bytes.size() == 400);

    auto states = [&] {
        std::string held;
        for (std::size_t i = 0; i < store.Count(); ++i) held += store.Element(i)->Datagram().released ? 'R' : 'h';
        return held + " " + std::to_string(store.HeldBytes());
    };
    store.Append(record(1000, 4));  // one record that fills the budget alone
    EXPECT_EQ(states(), "RRRh 1000");
    store.Append(record(1001, 5));  // and one past it: nothing of it can be held
    EXPECT_EQ(states(), "RRRRR 0");
    // A cleared store starts its budget afresh.
    store.Clear();
    store.Append(record(600, 6));
    store.Append(record(300, 7));
    EXPECT_EQ(states(), "hh 900");
}

}  // namespace
