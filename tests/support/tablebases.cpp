#include "support/tablebases.h"

#include <cstdlib>
#include <filesystem>

#include "search/tablebase.h"

namespace kavrin::test {

namespace {

std::string ExpectedFolder() {
    const char* named = std::getenv("KAVRIN_SYZYGY_PATH");
    if (named && *named) return named;
    return std::filesystem::weakly_canonical(std::filesystem::path(KAVRIN_SOURCE_DIR) / ".." / "shared" / "syzygy")
        .string();
}

}  // namespace

std::string TestTablebaseFolder() {
    const std::string folder = ExpectedFolder();
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(folder) / "KQvKR.rtbw", error) ? folder : std::string();
}

std::string WhyNoTestTablebases() {
    if (!TablebaseSupport()) return "this build has no tablebase support (Fathom, libfathom-dev, was not found)";
    if (TestTablebaseFolder().empty())
        return "no Syzygy tables at " + ExpectedFolder() +
               " (set KAVRIN_SYZYGY_PATH to a folder of the 3- and 4-piece tables)";
    return "";
}

}  // namespace kavrin::test
