#include "support/signature.h"

#include <fstream>
#include <sstream>

namespace kavrin::test {

namespace {

constexpr const char* SignatureFile = KAVRIN_SOURCE_DIR "/bench/search_signature.txt";

}  // namespace

std::map<int, RecordedSearch> RecordedSignature(const std::string& section) {
    std::ifstream in(SignatureFile);
    std::map<int, RecordedSearch> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        int index = 0;
        RecordedSearch r{};
        if (fields >> name >> index >> r.depth >> r.nodes && name == section) lines[index] = r;
    }
    return lines;
}

uint64_t RecordedBenchTotal(const std::string& section) {
    std::ifstream in(SignatureFile);
    std::string line;
    const std::string prefix = section + "-total ";
    uint64_t total = 0;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) total = std::stoull(line.substr(prefix.size()));
    }
    return total;
}

}  // namespace kavrin::test
