#include "audio/stallwatch.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Tick {
    qint64 now;
    qint64 position;
    bool playing;
    bool stalled;
};

struct Scenario {
    const char *name;
    std::vector<Tick> ticks;
};

// grace 800 ms after a (re)start, stall after 600 ms without movement.
TEST(StallWatch, ReportsAFrozenPositionOncePerFreeze) {
    const Scenario scenarios[] = {
        {"start latency inside the grace period is fine",
         {{200, 0, true, false},
          {400, 0, true, false},
          {600, 0, true, false},
          {800, 30, true, false},
          {1000, 230, true, false}}},
        {"never starts: reported after the grace period",
         {{200, 0, true, false},
          {400, 0, true, false},
          {600, 0, true, false},
          {800, 0, true, true},
          {1000, 0, true, false}}},
        {"freezes mid-play: reported 600 ms after the last move, once",
         {{1000, 800, true, false},
          {1200, 1000, true, false},
          {1400, 1000, true, false},
          {1600, 1000, true, false},
          {1800, 1000, true, true},
          {2000, 1000, true, false},
          {2200, 1000, true, false}}},
        {"moves again after a report: a new freeze is reported again",
         {{1000, 800, true, false},
          {1400, 800, true, false},
          {1600, 800, true, true},
          {2000, 900, true, false},
          {2400, 900, true, false},
          {2600, 900, true, true}}},
        {"paused or stopped is never a freeze; resuming gets the grace period again",
         {{1000, 500, false, false},
          {2000, 500, false, false},
          {3000, 500, false, false},
          {3200, 500, true, false},
          {3800, 500, true, false},
          {4000, 500, true, true}}},
        {"slow rate moving a little each tick is not a freeze",
         {{1000, 100, true, false},
          {1200, 200, true, false},
          {1400, 300, true, false},
          {1600, 400, true, false},
          {1800, 500, true, false},
          {2000, 600, true, false}}},
    };
    for (const Scenario &s : scenarios) {
        StallWatch watch(800, 600);
        watch.restart(0);
        for (const Tick &t : s.ticks)
            EXPECT_EQ(watch.check(t.now, t.position, t.playing), t.stalled)
                << s.name << " at " << t.now;
    }
}

TEST(StallWatch, RestartGivesAFreshGracePeriod) {
    StallWatch watch(800, 600);
    watch.restart(0);
    EXPECT_FALSE(watch.check(500, 100, true));
    watch.restart(1000); // a seek or a reload
    EXPECT_FALSE(watch.check(1200, 100, true));
    EXPECT_FALSE(watch.check(1700, 100, true));
    EXPECT_TRUE(watch.check(1800, 100, true));
}

} // namespace
