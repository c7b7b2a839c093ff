// The recorded search signature, bench/search_signature.txt: the node counts
// of the fixed-depth searches of the benchmark positions.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace kavrin::test {

struct RecordedSearch {
    int depth;
    uint32_t nodes;
};

// The lines of one section ("bench": the benchmark depths, "test": the
// signature test's, of kavrin's search; "modern-bench" and "modern-test" the
// same for kavrin-uci's own), by position index.
std::map<int, RecordedSearch> RecordedSignature(const std::string& section);
// The recorded total of a benchmark section ("bench" or "modern-bench"); 0
// when it is missing.
uint64_t RecordedBenchTotal(const std::string& section);

}  // namespace kavrin::test
