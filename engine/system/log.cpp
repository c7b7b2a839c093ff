#include "system/log.h"

namespace kavrin {

std::ofstream logStream;

void OpenLog(const char* path) {
    logStream.close();
    logStream.clear();
    logStream.open(path, std::ios::out | std::ios::trunc);
}

}  // namespace kavrin
