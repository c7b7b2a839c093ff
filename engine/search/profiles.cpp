// The node functions of the search, compiled for the engine's profiles.
#include "search/alphabeta_node.h"
#include "search/profile.h"
#include "search/quiesce_node.h"
#include "search/root_node.h"

namespace kavrin {

template Move SearchWorker::IterativeDeepening<ClassicProfile>();
template Move SearchWorker::IterativeDeepening<ModernProfile>();

}  // namespace kavrin
