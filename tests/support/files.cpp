#include "support/files.h"

#include <fstream>
#include <iterator>

namespace kavrin::test {

std::string ReadFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteDatabase(const std::string& name, const std::vector<PositionRecord>& records, const std::string& tail) {
    std::string bytes;
    for (const PositionRecord& r : records) {
        uint8_t b[PositionRecordSize];
        EncodeRecord(r, b);
        bytes.append(reinterpret_cast<const char*>(b), PositionRecordSize);
    }
    WriteFileBytes(name, bytes + tail);
}

}  // namespace kavrin::test
