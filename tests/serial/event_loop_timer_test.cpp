// The event-loop timer: periodic and single-shot expiry, restarting and stopping, also from
// inside its own callback as the wake-up tick and the reply time-out do.
#include <gtest/gtest.h>

#include "event_loop_timer.h"
#include "pseudo_terminal.h"

namespace {

// Long enough for a stopped 1 ms timer to have fired many times over.
void RunEventLoopForAWhile() {
    PumpUntil([] { return false; }, 100);
}

TEST(EventLoopTimer, PeriodicTimerRepeatsUntilItsCallbackStopsIt) {
    int ticks = 0;
    CEventLoopTimer* self = nullptr;
    CEventLoopTimer timer(false, [&] {
        if (++ticks == 3) {
            self->Stop();
        }
    });
    self = &timer;
    EXPECT_FALSE(timer.IsActive());
    timer.Start(1);
    EXPECT_TRUE(timer.IsActive());
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
    RunEventLoopForAWhile();
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(timer.IsActive());
}

TEST(EventLoopTimer, SingleShotFiresOnceForEachStartAndNeverWhenStopped) {
    int expiries = 0;
    CEventLoopTimer* self = nullptr;
    CEventLoopTimer timer(true, [&] {
        if (++expiries < 3) {
            self->Start(1);  // re-armed from its own expiry, as for the next command
        }
    });
    self = &timer;
    timer.Start(24 * 60 * 60 * 1000);
    timer.Start(1);  // restarts with the new interval
    ASSERT_TRUE(PumpUntil([&] { return expiries >= 3; }));
    RunEventLoopForAWhile();
    EXPECT_EQ(expiries, 3);
    EXPECT_FALSE(timer.IsActive());

    timer.Start(1);
    timer.Stop();
    EXPECT_FALSE(timer.IsActive());
    RunEventLoopForAWhile();
    EXPECT_EQ(expiries, 3);
}

}  // namespace
