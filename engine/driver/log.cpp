#include "driver/log.h"

namespace kavrin {

std::ofstream logStream("Kavrin.log", std::ios::out | std::ios::trunc);

}  // namespace kavrin
