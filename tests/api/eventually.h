#pragma once

#include <chrono>
#include <thread>

// Polls `done` for up to `limit` (ten seconds unless given); true once it holds.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}
