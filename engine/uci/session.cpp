#include "uci/session.h"

#include <unistd.h>

#include "system/clock.h"

namespace kavrin {

UciSession::UciSession(Engine& driven)
    : engine(driven), random(static_cast<uint64_t>(ClockMs()) * 0x9E3779B97F4A7C15ull) {}

UciSession::~UciSession() {
    if (wakeRead >= 0) close(wakeRead);
    if (wakeWrite >= 0) close(wakeWrite);
}

}  // namespace kavrin
