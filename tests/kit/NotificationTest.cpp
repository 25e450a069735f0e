#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "kit/Notification.h"

TEST(Notification, ObserversMatchNameAndSenderInOrder) {
    kit::NotificationCenter center;
    int a = 0, b = 0;
    std::vector<std::string> order;
    const int senderA = 0, senderB = 0;
    center.addObserver("N", nullptr, [&](const kit::Notification&) { order.push_back("any"); });
    center.addObserver("N", &senderA, [&](const kit::Notification& n) {
        order.push_back("A");
        a = static_cast<int>(*n.userInfo.getInt("x"));
    });
    center.addObserver("Other", nullptr, [&](const kit::Notification&) { ++b; });
    kit::Value info = kit::Value::dict();
    info["x"] = 5;
    center.post("N", &senderA, info);
    center.post("N", &senderB);
    EXPECT_EQ(order, (std::vector<std::string>{"any", "A", "any"}));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 0);
}

TEST(Notification, AnObserverMayRemoveItselfOrAnotherDuringAPost) {
    kit::NotificationCenter center;
    int first = 0, second = 0, third = 0;
    kit::NotificationCenter::Token t1 = 0, t3 = 0;
    t1 = center.addObserver("N", nullptr, [&](const kit::Notification&) {
        ++first;
        center.removeObserver(t1);  // itself: must not deadlock
    });
    center.addObserver("N", nullptr, [&](const kit::Notification&) {
        ++second;
        center.removeObserver(t3);  // a later one: must not be called any more
        center.post("Nested");      // posting from an observer works too
    });
    t3 = center.addObserver("N", nullptr, [&](const kit::Notification&) { ++third; });
    center.post("N");
    center.post("N");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, 0);
}

TEST(Notification, PostsFromManyThreadsWhileObserversComeAndGo) {
    kit::NotificationCenter center;
    std::atomic<int> calls{0};
    center.addObserver("N", nullptr, [&](const kit::Notification&) { ++calls; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto tok = center.addObserver("X", nullptr, [](const kit::Notification&) {});
                center.post("N");
                center.removeObserver(tok);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(calls.load(), 800);
}
