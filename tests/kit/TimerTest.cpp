#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/EnvGuard.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"

TEST(Timer, RepeatsUntilInvalidatedAndOneShotFiresOnce) {
    kit::ensureMainThreadApp();
    int repeats = 0;
    auto rep = kit::Timer::scheduled(0.01, true, [&](kit::Timer&) { ++repeats; });
    int once = 0;
    auto one = kit::Timer::scheduled(0.01, false, [&](kit::Timer&) { ++once; });
    ASSERT_TRUE(kit::runUntil([&] { return repeats >= 3; }, 5));
    rep->invalidate();
    EXPECT_FALSE(rep->isValid());
    const int atStop = repeats;
    kit::runUntil(nullptr, 0.1);
    EXPECT_EQ(repeats, atStop);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(one->isValid());
}

TEST(Timer, InvalidatedBeforeFiringNeverFires) {
    kit::ensureMainThreadApp();
    bool fired = false;
    auto t = kit::Timer::scheduled(0.05, false, [&](kit::Timer&) { fired = true; });
    t->invalidate();
    kit::runUntil(nullptr, 0.2);
    EXPECT_FALSE(fired);

    // Invalidated from another thread while armed.
    bool fired2 = false;
    auto t2 = kit::Timer::scheduled(0.1, false, [&](kit::Timer&) { fired2 = true; });
    kit::runUntil(nullptr, 0.02);
    std::thread([t2] { t2->invalidate(); }).join();
    kit::runUntil(nullptr, 0.3);
    EXPECT_FALSE(fired2);
}

TEST(Timer, ARepeatingTimerMayInvalidateItself) {
    kit::ensureMainThreadApp();
    int count = 0;
    kit::Timer::scheduled(0.01, true, [&](kit::Timer& t) {
        if (++count == 2) t.invalidate();
    });
    kit::runUntil(nullptr, 0.2);
    EXPECT_EQ(count, 2);
}

TEST(Timer, KeepsRunningWhenTheCallerDropsItButNotPastItsOwner) {
    kit::ensureMainThreadApp();
    int unowned = 0;
    kit::Timer::scheduled(0.01, false, [&](kit::Timer&) { ++unowned; });  // reference dropped
    auto owner = std::make_shared<int>(7);
    int owned = 0;
    auto t = kit::Timer::scheduled(0.05, true, std::weak_ptr<void>(owner), [&](kit::Timer&) { ++owned; });
    ASSERT_TRUE(kit::runUntil([&] { return owned >= 1 && unowned == 1; }, 5));
    owner.reset();
    const int atDeath = owned;
    kit::runUntil(nullptr, 0.2);
    EXPECT_EQ(owned, atDeath);
    EXPECT_FALSE(t->isValid());
}

TEST(Timer, CreatedOnAWorkerFiresOnTheMainThreadWithScaledInterval) {
    kit::ensureMainThreadApp();
    EnvGuard scale("PELORIN_TIME_SCALE", "0.01");
    std::atomic<bool> fired{false}, onMain{false};
    std::shared_ptr<kit::Timer> t;
    std::thread([&] {
        t = kit::Timer::scheduled(10.0, false, [&](kit::Timer&) {
            onMain = kit::dispatch::isMainThread();
            fired = true;
        });
    }).join();
    EXPECT_TRUE(kit::runUntil([&] { return fired.load(); }, 2));
    EXPECT_TRUE(onMain);
}
