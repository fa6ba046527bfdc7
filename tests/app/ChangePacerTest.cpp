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
    pacer.toggleSuspended();
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(pacer.tick(10));
    pacer.toggleSuspended();
    EXPECT_TRUE(pacer.tick(10));
    EXPECT_EQ(pacer.ticks(), 0u);
}

TEST(ChangePacerTest, ChangeNowRestartsTheCountEvenWhileSuspended) {
    ChangePacer pacer;
    for (int i = 0; i < 7; ++i)
        pacer.tick(10);
    pacer.toggleSuspended();
    pacer.changeNow();
    pacer.toggleSuspended();
    EXPECT_EQ(ticksUntilChange(pacer, 10), 10);
}

TEST(ChangePacerTest, ShorteningTheIntervalBelowTheCountSignalsAtTheNextTick) {
    ChangePacer pacer;
    for (int i = 0; i < 30; ++i)
        ASSERT_FALSE(pacer.tick(600));
    EXPECT_TRUE(pacer.tick(5));
}

} // namespace
