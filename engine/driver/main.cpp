#include "driver/command_loop.h"

int main() {
    kavrin::CommandLoop();
    return 0;
}
