// Discards everything the search learned about earlier positions: the table,
// and every search thread's history counters, killers and pawn cache.
#pragma once

namespace kavrin {

void ResetSearchState();

}  // namespace kavrin
