// Discards everything the search learned about earlier positions.
#pragma once

namespace kavrin {

void ResetSearchState();

}  // namespace kavrin
