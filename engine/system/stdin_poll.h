// The non-blocking look at standard input that lets a single-threaded engine
// notice its interface while it searches.
#pragma once

namespace kavrin {

// Number of unread bytes waiting on standard input, asked of the operating
// system; never blocks and never reads. A failed query and an input that has
// ended (a pipe whose writer has gone, a regular file read to its end) count
// as pending input, so that the reader gets to see the end.
unsigned StdinBytesPending();

}  // namespace kavrin
