// SharedStatus: the published TModemStatus, read by any thread without a
// lock. A sequence counter guards one fixed copy (a seqlock): the writer makes
// the counter odd, stores the record, makes it even again; a reader copies
// the record between two loads of the counter and copies again when they
// differ or are odd. Readers never wait for the writer, never make it wait,
// and never keep half of one write and half of another. Writes must not
// overlap (the session serialises them); a write takes well under a
// microsecond, so a reader seldom copies twice.
//
// The copies are memcpy calls between the counter's loads and fences, so the
// compiler keeps them inside; a reader's copy may overlap a write (formally a
// race), and such a copy is always thrown away by the counter check before
// anyone looks at it. A loop of per-word atomic loads would say so in the
// language too, but costs several times a plain copy in this build.
#pragma once

#include "marvik.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace marvik {

class SharedStatus {
public:
    SharedStatus() = default;
    SharedStatus(const SharedStatus&) = delete;
    SharedStatus& operator=(const SharedStatus&) = delete;

    // One writer at a time.
    void Write(const TModemStatus& status)
    {
        const uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);  // odd: a write is under way
        std::atomic_thread_fence(std::memory_order_release);       // the odd count before any byte
        std::memcpy(&record_, &status, sizeof(record_));
        sequence_.store(sequence + 2, std::memory_order_release);  // every byte before the even count
    }

    // Any thread, any time: one whole write's record (out may hold a torn
    // copy only until a clean one replaces it, before this returns).
    void Read(TModemStatus& out) const
    {
        for (unsigned attempt = 1;; ++attempt) {
            const uint32_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1) == 0) {
                std::memcpy(&out, &record_, sizeof(out));
                std::atomic_thread_fence(std::memory_order_acquire);  // the copy before the second count
                if (sequence_.load(std::memory_order_relaxed) == before)
                    return;
            }
            // A writer preempted mid-write would keep a spinning reader from
            // it on a single CPU: let it run.
            if (attempt % kSpinsBeforeYield == 0)
                SwitchToThread();
            else
                YieldProcessor();
        }
    }

private:
    static constexpr unsigned kSpinsBeforeYield = 64;

    std::atomic<uint32_t> sequence_{0};
    TModemStatus record_{};
};

}  // namespace marvik
