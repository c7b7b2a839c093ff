// "kavrin-uci bench": the fixed-depth searches of the benchmark positions,
// reported as engine-testing frameworks read them.
#pragma once

namespace kavrin {

class Engine;

// Searches every benchmark position at its depth less depthReduction; the
// last line is "<nodes> nodes <nps> nps".
void RunUciBench(Engine& engine, int depthReduction);

}  // namespace kavrin
