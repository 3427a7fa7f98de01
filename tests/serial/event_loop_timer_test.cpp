// The event-loop timer, periodic and single-shot, started and stopped from its own callback too.
#include <gtest/gtest.h>

#include "event_loop_timer.h"
#include "event_pump.h"

TEST(EventLoopTimer, StartsAndStopsAlsoFromItsOwnCallback) {
    int ticks = 0;
    int expiries = 0;
    CEventLoopTimer periodic(false, [&] {
        if (++ticks == 3) {
            periodic.Stop();
        }
    });
    CEventLoopTimer single(true, [&] {
        if (++expiries < 3) {
            single.Start(1);  // re-armed from its own expiry, as for the next command
        }
    });
    periodic.Start(1);
    single.Start(24 * 60 * 60 * 1000);
    single.Start(1);  // restarts with the new interval
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 3 && expiries >= 3; }));
    single.Start(1);
    single.Stop();
    PumpFor(100);  // long enough for a stopped 1 ms timer to fire many times over
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(expiries, 3);
    EXPECT_FALSE(periodic.IsActive());
    EXPECT_FALSE(single.IsActive());
}
