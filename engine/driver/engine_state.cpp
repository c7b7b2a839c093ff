#include "driver/engine_state.h"

namespace kavrin {

EngineState engineState;

}  // namespace kavrin
