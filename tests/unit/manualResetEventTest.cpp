#include "platform/manualResetEvent.h"

#include <gtest/gtest.h>

#include <thread>

namespace dravix {
namespace {

using namespace std::chrono_literals;

TEST(manualResetEvent, staysSetUntilReset) {
    manualResetEvent event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(1ms));
    event.set();
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_TRUE(event.waitFor(0ms));  // a wait does not consume it
    event.reset();
    EXPECT_FALSE(event.isSet());
    EXPECT_TRUE(manualResetEvent(true).isSet());
}

TEST(manualResetEvent, wakesEveryWaiter) {
    manualResetEvent event;
    int woken = 0;
    std::mutex counted;
    auto waiter = [&] {
        event.wait();
        std::lock_guard<std::mutex> lock(counted);
        ++woken;
    };
    std::thread first(waiter);
    std::thread second(waiter);
    event.set();
    first.join();
    second.join();
    EXPECT_EQ(woken, 2);
}

}  // namespace
}  // namespace dravix
