// Polling a condition with a deadline, for tests that wait on other
// processes, windows or a broker.
#pragma once

#include <chrono>
#include <thread>

// Polls the condition until it holds; false when `seconds` pass first.
template <class Condition>
bool waitUntil(double seconds, Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
