#include "system/clock.h"

#include <chrono>

namespace kavrin {

namespace {
const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();
}

int ClockMs() {
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace kavrin
