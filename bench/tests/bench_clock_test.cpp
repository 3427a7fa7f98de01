// The meters: the peak resident set follows memory that is touched, CPU time follows work done.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bench_clock.h"

namespace {

TEST(BenchClock, PeakResidentSetGrowsWithTouchedMemory) {
    const long before = bench::PeakResidentKb();
    ASSERT_GT(before, 0);
    constexpr std::size_t kBytes = 32 * 1024 * 1024;
    const std::unique_ptr<char[]> block(new char[kBytes]);
    std::memset(block.get(), 1, kBytes);
    const long after = bench::PeakResidentKb();
    EXPECT_GE(after - before, static_cast<long>(kBytes / 1024) * 3 / 4);
    EXPECT_EQ(block[kBytes - 1], 1);
}

TEST(BenchClock, WorkShowsInThisThreadsAndTheProcesssCpuTime) {
    const bench::CpuTime before = bench::CpuNow();
    volatile unsigned sink = 0;
    // Works until the thread's clock has moved 5 ms; the wall-clock guard only stops a hang.
    const std::int64_t guardNs = bench::MonotonicNs() + 60'000'000'000;
    while ((bench::CpuNow() - before).thread < 0.005 && bench::MonotonicNs() < guardNs) {
        for (int i = 0; i < 100000; ++i) {
            sink = sink + static_cast<unsigned>(i);
        }
    }
    const bench::CpuTime used = bench::CpuNow() - before;
    EXPECT_GE(used.thread, 0.005);
    // getrusage counts whole ticks in places: the process total may trail the thread clock
    // by one.
    EXPECT_GE(used.Total() + 0.011, used.thread);
    EXPECT_GE(used.user, 0.0);
    EXPECT_GE(used.system, 0.0);
}

TEST(BenchClock, MonotonicTimeOnlyMovesForward) {
    const std::int64_t first = bench::MonotonicNs();
    const std::int64_t second = bench::MonotonicNs();
    EXPECT_GE(second, first);
    EXPECT_GE(bench::SecondsSince(first), 0.0);
}

}  // namespace
