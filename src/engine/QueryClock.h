#pragma once
// Elapsed seconds of a query, from a monotonic clock: a run across midnight or a change of the
// system time still measures its real duration.

#include <chrono>

namespace kest {

class QueryClock {
public:
    QueryClock() : start_(std::chrono::steady_clock::now()) {}
    float elapsedSeconds() const
    {
        return std::chrono::duration<float>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace kest
