#include "driver/engine_state.h"

namespace kavrin {

EngineState engineState;
SearchLimits searchLimits;
UndoRecord ponderUndo;

}  // namespace kavrin
