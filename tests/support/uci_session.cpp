#include "support/uci_session.h"

#include <sstream>

namespace kavrin::test {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

long long Field(const std::string& line, const std::string& word) {
    std::istringstream in(line);
    std::string w;
    long long value = -1;
    while (in >> w) {
        if (w == word && !(in >> value)) return -1;
    }
    return value;
}

}  // namespace kavrin::test
