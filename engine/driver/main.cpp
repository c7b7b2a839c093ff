#include "driver/command_loop.h"
#include "system/log.h"

int main() {
    // Every run starts its log afresh, before anything else happens.
    kavrin::OpenLog("Kavrin.log");
    kavrin::CommandLoop();
    return 0;
}
