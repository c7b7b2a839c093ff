#include "support/test_engine.h"

#include <memory>

#include "driver/engine_state.h"

namespace kavrin::test {

Engine& TestEngine() {
    static const auto engine = std::make_unique<Engine>();
    return *engine;
}

XboardSession& TestSession() {
    static const auto session = std::make_unique<XboardSession>(TestEngine());
    return *session;
}

}  // namespace kavrin::test
