#include "search/reset.h"

namespace kavrin {

void ResetSearchState() {}

}  // namespace kavrin
