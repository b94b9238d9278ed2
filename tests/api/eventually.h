#pragma once

#include <chrono>
#include <thread>

// Polls `done` for up to ten seconds; true once it holds.
template <typename Condition>
bool eventually(Condition done) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}
