#include "app/ChangePacer.h"

#include <gtest/gtest.h>

namespace {

int ticksUntilChange(ChangePacer& pacer, std::uint32_t interval, int limit = 100000) {
    for (int i = 1; i <= limit; ++i)
        if (pacer.tick(interval))
            return i;
    return -1;
}

TEST(ChangePacerTest, IntervalIsCountedInTicksFromTheLastSignal) {
    ChangePacer pacer;
    EXPECT_EQ(ticksUntilChange(pacer, 0), 1);
    EXPECT_EQ(ticksUntilChange(pacer, 0), 1);
    EXPECT_EQ(ticksUntilChange(pacer, 600), 600);
    EXPECT_EQ(ticksUntilChange(pacer, 600), 600);
}

TEST(ChangePacerTest, SuspendKeepsCountingAndResumeSignalsOnTheNextTick) {
    ChangePacer pacer;
    pacer.setSuspended(true);
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(pacer.tick(10));
    pacer.setSuspended(false);
    EXPECT_TRUE(pacer.tick(10));
    EXPECT_EQ(pacer.ticks(), 0u);
}

TEST(ChangePacerTest, APauseHoldsTheCountAndItsEndBringsNoChange) {
    ChangePacer pacer;
    for (int i = 0; i < 7; ++i)
        pacer.tick(10);
    EXPECT_EQ(pacer.ticksLeft(10), 3u);
    // Paused far longer than the interval, suspended or not: nothing is due afterwards.
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(pacer.tick(10, true));
    EXPECT_EQ(pacer.ticksLeft(10), 3u);
    EXPECT_EQ(ticksUntilChange(pacer, 10), 3);
    EXPECT_EQ(pacer.ticksLeft(10), 10u);
    // A count beyond a shortened interval is due at the next tick.
    for (int i = 0; i < 7; ++i)
        pacer.tick(10);
    EXPECT_EQ(pacer.ticksLeft(5), 1u);
}

TEST(ChangePacerTest, ChangeNowRestartsTheCountEvenWhileSuspended) {
    ChangePacer pacer;
    for (int i = 0; i < 7; ++i)
        pacer.tick(10);
    pacer.setSuspended(true);
    pacer.changeNow();
    pacer.setSuspended(false);
    EXPECT_EQ(ticksUntilChange(pacer, 10), 10);
}

TEST(ChangePacerTest, ShorteningTheIntervalBelowTheCountSignalsAtTheNextTick) {
    ChangePacer pacer;
    for (int i = 0; i < 30; ++i)
        ASSERT_FALSE(pacer.tick(600));
    EXPECT_TRUE(pacer.tick(5));
}

} // namespace
