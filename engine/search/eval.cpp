#include "search/eval.h"

namespace kavrin {

namespace {
const int16_t zeroTable[64] = {};
}

int16_t Evaluate() { return 0; }
const int16_t* PieceSquareTable(int) { return zeroTable; }
void BuildPstSelectors() {}

}  // namespace kavrin
