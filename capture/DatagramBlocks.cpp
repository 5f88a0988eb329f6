#include "capture/DatagramBlocks.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <new>
#include <thread>
#include <vector>

#include "platform/system/System.h"

namespace {

constexpr std::size_t kSlabSize = 2 * 1024 * 1024;
constexpr std::size_t kPageSize = 4096;
// Slabs kept at hand with their pages present: those given back, else fresh
// ones made ahead. In a steady stream one or two come and go.
constexpr std::size_t kSlabsAtHand = 4;

void* MapSlab() { return MapPages(kSlabSize); }

// Hands out slabs. A thread of its own maps fresh ones and faults their
// pages in ahead of need, so that a capture that fills the store does not
// spend its own time on new pages.
class CSlabCache {
public:
    void* Take() {
        std::unique_lock lock(mutex_);
        if (!preparer_.joinable() && !noPreparer_) {
            try {
                preparer_ = std::thread([this] { Prepare(); });
            } catch (const std::system_error&) {
                noPreparer_ = true;  // no thread to be had: takers map their own
            }
        }
        void* slab = nullptr;
        if (!atHand_.empty()) {
            slab = atHand_.back();
            atHand_.pop_back();
        }
        lock.unlock();
        wanted_.notify_one();
        if (!slab) slab = MapSlab();
        if (!slab) throw std::bad_alloc();
        return slab;
    }
    void Give(void* slab) {
        {
            std::lock_guard lock(mutex_);
            if (atHand_.size() < kSlabsAtHand) {
                atHand_.push_back(slab);
                return;
            }
        }
        ASAN_UNPOISON_MEMORY_REGION(slab, kSlabSize);  // the addresses may serve others next
        UnmapPages(slab, kSlabSize);
    }

private:
    // Runs for the rest of the program, asleep while enough slabs are at hand.
    void Prepare() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wanted_.wait(lock, [this] { return atHand_.size() < kSlabsAtHand; });
            lock.unlock();
            void* slab = MapSlab();
            if (!slab) return;  // no memory: takers map their own
            for (std::size_t at = 0; at < kSlabSize; at += kPageSize) static_cast<volatile char*>(slab)[at] = 0;
            lock.lock();
            atHand_.push_back(slab);
        }
    }

    std::mutex mutex_;
    std::condition_variable wanted_;
    std::vector<void*> atHand_;
    std::thread preparer_;
    bool noPreparer_ = false;
};

// Never destroyed: blocks may be let go during the program's exit.
CSlabCache& Cache() {
    static CSlabCache* cache = new CSlabCache;
    return *cache;
}

struct CSlab {
    explicit CSlab(void* memory) : base(static_cast<std::uint8_t*>(memory)) {}
    // Under AddressSanitizer a slab's bytes are out of bounds except the
    // blocks handed out, and all of them once it is given back.
    ~CSlab() {
        ASAN_POISON_MEMORY_REGION(base, kSlabSize);
        Cache().Give(base);
    }
    CSlab(const CSlab&) = delete;
    CSlab& operator=(const CSlab&) = delete;
    std::uint8_t* base;
};

// Each thread fills its own slab.
struct CCurrentSlab {
    std::shared_ptr<CSlab> slab;
    std::size_t used = kSlabSize;
};
thread_local CCurrentSlab current;

}  // namespace

std::shared_ptr<std::uint8_t[]> AllocateDatagramBlock(std::size_t size) {
    const std::size_t rounded = (std::max<std::size_t>(size, 1) + 15) & ~std::size_t{15};
    if (rounded > kSlabSize / 8) return std::make_shared_for_overwrite<std::uint8_t[]>(size);
    if (current.used + rounded > kSlabSize) {
        void* memory = Cache().Take();
        ASAN_POISON_MEMORY_REGION(memory, kSlabSize);
        try {
            current.slab = std::make_shared<CSlab>(memory);
        } catch (...) {
            Cache().Give(memory);
            throw;
        }
        current.used = 0;
    }
    std::uint8_t* block = current.slab->base + current.used;
    current.used += rounded;
    ASAN_UNPOISON_MEMORY_REGION(block, size);
    // Shares ownership of the slab; no allocation of its own.
    return std::shared_ptr<std::uint8_t[]>(current.slab, block);
}
