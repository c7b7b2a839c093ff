// Millisecond clock: monotonic wall time counted from process start.
#pragma once

namespace kavrin {

int ClockMs();

}  // namespace kavrin
