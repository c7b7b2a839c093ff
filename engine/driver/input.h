// Non-blocking test for unread standard input, polled by the search.
#pragma once

namespace kavrin {

// Number of unread bytes waiting on standard input (nonzero: input pending).
// Never blocks; a failed query counts as pending input.
unsigned InputPending();

}  // namespace kavrin
