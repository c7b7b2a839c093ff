#include "support/fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "board/fen.h"
#include "board/poscheck.h"
#include "board/tables.h"
#include "search/game.h"
#include "support/test_engine.h"
#include "system/log.h"

namespace kavrin::fuzz {

void PrepareEngine() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    BuildTables();
    // Millions of inputs would fill the log file; what the readers log is
    // still formatted, just not kept.
    OpenLog("/dev/null");
}

void InvariantFailed(const char* what, const char* detail) {
    std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail);
    std::fflush(stderr);
    std::abort();
}

std::string AsText(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

PositionState PositionState::Capture() {
    return {gamePosition.board,      gamePosition.snapshot,       gamePosition.sideToMove, gamePosition.gamePly,
            gamePosition.history[0], gamePosition.HistoryIndex(), gamePosition.playable,   gamePosition.readEpSquare};
}

bool PositionState::operator==(const PositionState& other) const {
    return std::memcmp(&gamePosition.board, &other.board, sizeof(Board)) == 0 &&
           std::memcmp(&snapshot, &other.snapshot, sizeof(GameSnapshot)) == 0 && side == other.side &&
           ply == other.ply && firstEntry.hashKey == other.firstEntry.hashKey &&
           firstEntry.fiftyCounter == other.firstEntry.fiftyCounter && historyIndex == other.historyIndex &&
           playable == other.playable && readEp == other.readEp;
}

namespace {

std::unordered_map<std::string, PositionState> positionsRead;
constexpr size_t PositionsKept = 4096;

}  // namespace

void SetUpPosition(const std::string& fen) {
    const auto found = positionsRead.find(fen);
    if (found != positionsRead.end()) {
        const PositionState& p = found->second;
        gamePosition.board = p.board;
        gamePosition.snapshot = p.snapshot;
        gamePosition.sideToMove = p.side;
        gamePosition.gamePly = p.ply;
        gamePosition.history[0] = p.firstEntry;
        gamePosition.historyTop = gamePosition.history;
        gamePosition.playable = p.playable;
        gamePosition.readEpSquare = p.readEp;
        return;
    }
    if (!ReadFen(gamePosition, fen.c_str()) || !gamePosition.playable) ReadFen(gamePosition, InitialFen);
    if (positionsRead.size() >= PositionsKept) positionsRead.clear();
    positionsRead.emplace(fen, PositionState::Capture());
}

void RequirePositionSound(const Position& pos, const char* after) {
    const char* why = nullptr;
    if (!CheckPosition(pos, &why)) InvariantFailed(after, why != nullptr ? why : "");
}

namespace {

void RemoveScratchDirectory() {
    ClearScratchDirectory();
    rmdir(ScratchDirectory().c_str());
}

}  // namespace

const std::string& ScratchDirectory() {
    static const std::string directory = [] {
        // In memory where the machine offers it: the inputs write and read
        // book files of half a megabyte many times a second.
        struct stat shm {};
        const bool inMemory = stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) && access("/dev/shm", W_OK) == 0;
        char pattern[] = "/dev/shm/kavrin-fuzz-XXXXXX";
        if (!inMemory) std::memcpy(pattern, "/tmp/kavrin-fuzz-XXXXXX", sizeof "/tmp/kavrin-fuzz-XXXXXX");
        const char* made = mkdtemp(pattern);
        if (made == nullptr) InvariantFailed("cannot create a scratch folder", pattern);
        return std::string(made);
    }();
    // Gone with the process that made it (a crash leaves it for a look).
    static const bool removedAtExit = std::atexit(RemoveScratchDirectory) == 0;
    (void)removedAtExit;
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

Redirect::Redirect(int descriptor, int replacement) : descriptor_(descriptor), saved_(dup(descriptor)) {
    std::fflush(nullptr);
    dup2(replacement, descriptor);
    close(replacement);
}

Redirect::~Redirect() {
    std::fflush(nullptr);
    dup2(saved_, descriptor_);
    close(saved_);
}

}  // namespace kavrin::fuzz
