#include "search/reset.h"

#include "board/board.h"
#include "search/movepick.h"
#include "search/pawnhash.h"
#include "search/tt.h"

namespace kavrin {

void ResetSearchState() {
    ClearTranspositionTable();
    ClearHistoryTable();
    // Every search ply's killers; the ponder record keeps its own.
    for (PlyRecord& ply : plyStack) {
        ply.killer1 = 0;
        ply.killer2 = 0;
    }
    ClearPawnHash();
}

}  // namespace kavrin
