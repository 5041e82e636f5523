#include "base/Clock.h"
#include "base/TimerHost.h"

#include <gtest/gtest.h>
#include <vector>

using namespace korva;

namespace {

struct Recorder : TimerClient {
    std::vector<std::pair<int, std::int64_t>> fired;
    VirtualClock* clock = nullptr;
    std::function<void(int)> onFire;
    void onTimer(int id) override {
        fired.emplace_back(id, clock->nowMs());
        if (onFire)
            onFire(id);
    }
};

} // namespace

TEST(TimerQueue, FiresInDueOrderOnVirtualTimeAndRepeatsUntilKilled) {
    VirtualClock clock;
    Recorder rec;
    rec.clock = &clock;
    TimerQueue timers(clock, rec);
    timers.start(100, 3000);
    timers.start(7, 1000);
    rec.onFire = [&](int id) {
        if (id == 7 && clock.nowMs() >= 2000)
            timers.kill(7);
        if (id == 100) {
            timers.kill(100);
            timers.start(100, 2000); // restart with a new period, as the LPT query timer does
        }
    };
    EXPECT_EQ(timers.msUntilNext(), 1000);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(timers.fireNext());
    std::vector<std::pair<int, std::int64_t>> expected{
        {7, 1000}, {7, 2000}, {100, 3000}, {100, 5000}};
    EXPECT_EQ(rec.fired, expected);
    EXPECT_EQ(timers.period(100), 2000);
    EXPECT_FALSE(timers.active(7));
    EXPECT_EQ(timers.msUntilNext(), 2000);
    clock.advance(2500);
    EXPECT_EQ(timers.msUntilNext(), 0); // overdue
    timers.kill(100);
    EXPECT_EQ(timers.msUntilNext(), -1);
    EXPECT_FALSE(timers.fireNext());
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{1000, 1000, 1000, 2000}));
}
