#include "search/pawnhash.h"

#include <cstring>

namespace kavrin {

uint32_t pawnHashTable[PawnHashSize];

void ClearPawnHash() { std::memset(pawnHashTable, 0, sizeof(pawnHashTable)); }

}  // namespace kavrin
