#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "support/EnvGuard.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"

using namespace std::chrono;
namespace dq = kit::dispatch;

namespace {

double secondsSince(steady_clock::time_point t0) { return duration<double>(steady_clock::now() - t0).count(); }

}  // namespace

TEST(Dispatch, LongWaitingBlocksDoNotStarveTheGlobalQueue) {
    std::atomic<int> done{0};
    const auto t0 = steady_clock::now();
    for (int i = 0; i < 50; ++i) {
        dq::async(dq::globalQueue(), [&done] {
            std::this_thread::sleep_for(seconds(1));
            ++done;
        });
    }
    while (done < 50 && secondsSince(t0) < 10) std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(done.load(), 50);
    EXPECT_LT(secondsSince(t0), 2.5);
}

TEST(Dispatch, MainQueueRunsBlocksInOrderOnTheMainThread) {
    kit::ensureMainThreadApp();
    EXPECT_TRUE(dq::isMainThread());
    std::vector<int> seen;
    std::atomic<bool> allOnMain{true};
    std::thread poster([&] {
        EXPECT_FALSE(dq::isMainThread());
        for (int i = 0; i < 500; ++i) {
            dq::async(dq::mainQueue(), [&, i] {
                if (!dq::isMainThread()) allOnMain = false;
                seen.push_back(i);
            });
        }
    });
    poster.join();
    ASSERT_TRUE(kit::runUntil([&] { return seen.size() == 500; }, 10));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(seen[i], i);
}

TEST(Dispatch, SyncOnMainRunsInlineOnTheMainThreadAndWaitsElsewhere) {
    kit::ensureMainThreadApp();
    bool ran = false;
    dq::sync(dq::mainQueue(), [&] { ran = true; });
    EXPECT_TRUE(ran);  // no loop ran: it was inline

    // From a worker, the block runs on the main thread and the worker waits for it.
    std::atomic<bool> workerSawResult{false};
    std::atomic<bool> finished{false};
    dq::async(dq::globalQueue(), [&] {
        int value = 0;
        bool onMain = false;
        dq::sync(dq::mainQueue(), [&] {
            std::this_thread::sleep_for(milliseconds(50));
            onMain = dq::isMainThread();
            value = 42;
        });
        workerSawResult = (value == 42 && onMain);
        finished = true;
    });
    ASSERT_TRUE(kit::runUntil([&] { return finished.load(); }, 10));
    EXPECT_TRUE(workerSawResult);
}

TEST(Dispatch, AfterIsScaledAndKeepsTheQueue) {
    kit::ensureMainThreadApp();
    EnvGuard scale("PELORIN_TIME_SCALE", "0.1");
    const auto t0 = steady_clock::now();
    std::atomic<double> mainAt{-1}, globalAt{-1};
    std::atomic<bool> mainOnMain{false};
    dq::after(3.0, dq::mainQueue(), [&] {
        mainOnMain = dq::isMainThread();
        mainAt = secondsSince(t0);
    });
    dq::after(1.0, dq::globalQueue(), [&] { globalAt = secondsSince(t0); });
    ASSERT_TRUE(kit::runUntil([&] { return mainAt >= 0 && globalAt >= 0; }, 5));
    EXPECT_TRUE(mainOnMain);
    EXPECT_GE(mainAt.load(), 0.28);
    EXPECT_LT(mainAt.load(), 1.5);
    EXPECT_GE(globalAt.load(), 0.09);
    EXPECT_LT(globalAt.load(), mainAt.load());

    // A later, shorter delay still fires first.
    std::vector<int> order;
    dq::after(0.5, dq::mainQueue(), [&] { order.push_back(2); });
    dq::after(0.1, dq::mainQueue(), [&] { order.push_back(1); });
    ASSERT_TRUE(kit::runUntil([&] { return order.size() == 2; }, 5));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Dispatch, SleepForIsScaled) {
    EnvGuard scale("PELORIN_TIME_SCALE", "0.01");
    const auto t0 = steady_clock::now();
    dq::sleepFor(10);
    EXPECT_LT(secondsSince(t0), 1.0);
    EXPECT_GE(secondsSince(t0), 0.09);
}

namespace {

struct Probe {
    explicit Probe(std::atomic<int>* counter) : offMain(counter) {}
    Probe(const Probe&) = delete;
    std::atomic<int>* offMain;
    ~Probe() {
        if (!dq::isMainThread()) ++*offMain;
    }
};

}  // namespace

TEST(Dispatch, WhatAMainBlockCapturedIsReleasedOnTheMainThread) {
    kit::ensureMainThreadApp();
    std::atomic<int> offMain{0};
    std::atomic<int> ran{0};
    std::atomic<bool> posted{false};
    std::thread poster([&] {
        for (int i = 0; i < 3000; ++i) {
            auto probe = std::make_shared<Probe>(&offMain);
            dq::async(dq::mainQueue(), [probe = std::move(probe), &ran] { ++ran; });
        }
        posted = true;
    });
    ASSERT_TRUE(kit::runUntil([&] { return posted && ran == 3000; }, 20));
    poster.join();
    EXPECT_EQ(offMain.load(), 0);
}
