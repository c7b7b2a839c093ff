#include "support/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>

#include "board/tables.h"
#include "driver/log.h"

namespace kavrin::fuzz {

void PrepareEngine() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    BuildTables();
    // Millions of inputs would fill the log file; what the readers log is
    // still formatted, just not kept.
    logStream.close();
    logStream.open("/dev/null");
}

void InvariantFailed(const char* what, const char* detail) {
    std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail);
    std::fflush(stderr);
    std::abort();
}

std::string AsText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

const std::string& ScratchDirectory() {
    static const std::string directory = [] {
        char pattern[] = "/tmp/kavrin-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) InvariantFailed("cannot create a scratch folder", pattern);
        return std::string(made);
    }();
    return directory;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    std::string path = ScratchDirectory() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) InvariantFailed("cannot create a scratch file", path.c_str());
    if (size > 0 && std::fwrite(data, 1, size, file) != size) InvariantFailed("cannot write", path.c_str());
    std::fclose(file);
    return path;
}

void ClearScratchDirectory() {
    const std::string& directory = ScratchDirectory();
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr) return;
    while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        unlink((directory + "/" + name).c_str());
    }
    closedir(folder);
}

}  // namespace kavrin::fuzz
