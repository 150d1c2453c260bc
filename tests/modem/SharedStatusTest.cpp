// The published status record: a reader on another thread always gets one
// whole write, never half of two.
#include "marvik/Records.h"
#include "marvik/SharedStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int kWrites = 200000;

// Record number n: three fields far apart in the record that must agree.
TModemStatus Numbered(int n)
{
    TModemStatus status;
    marvik::FillAbsentStatus(status);
    status.signalDbm = -n;
    marvik::CopyField(status.operatorName, L"Operator " + std::to_wstring(n));
    status.bytesSent = static_cast<DWORD>(n);
    return status;
}

TEST(SharedStatusTest, ReaderNeverSeesATornRecordWhileTheWriterChangesIt)
{
    // The writer alternates two records as fast as it can: a copy that
    // overlaps a write would mix them.
    const TModemStatus records[2] = {Numbered(1), Numbered(2)};
    marvik::SharedStatus shared;
    shared.Write(records[0]);
    std::atomic<bool> reading{false}, done{false};
    std::thread writer([&] {
        while (!reading)
            std::this_thread::yield();
        for (int n = 0; n < kWrites; ++n)
            shared.Write(records[n % 2]);
        done = true;
    });
    int torn = 0, reads = 0;
    TModemStatus got;
    reading = true;
    while (!done) {
        shared.Read(got);
        ++reads;
        const int n = -got.signalDbm;
        if ((n != 1 && n != 2) || std::memcmp(&got, &records[n - 1], sizeof(got)) != 0)
            ++torn;
    }
    writer.join();
    shared.Read(got);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(std::memcmp(&got, &records[(kWrites - 1) % 2], sizeof(got)), 0);  // the last write
}

}  // namespace
