#include <memory>

#include "driver/command_loop.h"
#include "driver/engine_state.h"
#include "search/engine.h"
#include "system/log.h"

int main() {
    // Every run starts its log afresh, before anything else happens.
    kavrin::OpenLog("Kavrin.log");
    const auto engine = std::make_unique<kavrin::Engine>();
    const auto session = std::make_unique<kavrin::XboardSession>(*engine);
    kavrin::CommandLoop(*session);
    return 0;
}
