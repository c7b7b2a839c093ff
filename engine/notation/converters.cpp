#include "notation/converters.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <istream>

#include "board/fen.h"
#include "notation/gamefile.h"
#include "notation/pgn.h"
#include "notation/posfile.h"
#include "system/log.h"

namespace kavrin {

namespace {

// The games are replayed from the initial position.
void StartFromInitialPosition(Position& pos) { ReadFen(pos, InitialFen); }

bool MoreInput(std::istream& in) { return in.good() && in.peek() != std::char_traits<char>::eof(); }

// The end-of-file report of the PGN readers.
void ReportFinished(const char* pgnName, int converted, int skipped) {
    std::printf("converted: %d games. (skipped: %d)\n", converted, skipped);
    std::printf("file: %s \t\tfinished\n", pgnName);
    logStream << "<<< OK:\t" << pgnName << "\t>>>" << std::endl;
}

// The error report of the PGN readers; the files are already closed.
void ReportPgnError(const GameFileError& error, const char* pgnName, int converted, int skipped) {
    std::printf("converted: %d games. (skipped: %d)\n", converted, skipped);
    std::printf("ERROR: %s file: %s\n", error.text, pgnName);
    logStream << "converted: " << converted << "\tskipped: " << skipped << std::endl;
    logStream << "ERROR: " << error.text << std::endl;
}

void WarnSkipped(int number, const char* pgnName) {
    std::printf("Warning: game %d (skipped) file: %s\n", number, pgnName);
}

// The progress field that counts up in place.
struct Progress {
    int count;
    unsigned last = 0;
    void Step(int done) {
        const unsigned percent = static_cast<unsigned>(done) * 100u / static_cast<unsigned>(count);
        if (percent > last) {
            std::printf("\b\b\b\b\b\b\b\b%3d%%]...", static_cast<int>(percent));
            last = percent;
        }
    }
};

// Shared body of game2pgn and game2pos: count, reopen, convert every record.
template <typename WriteGame>
bool ConvertGameFile(Position& pos, std::ifstream& in, const char* gameName, bool setUpBoard, const char* okText,
                     WriteGame write) {
    const int count = CountGameRecords(in);
    if (count < 0) {
        std::printf("Game file corrupted! (error on game: %d)", -count);
        return false;
    }
    in.close();
    in.clear();
    in.open(gameName, std::ios::binary);
    std::printf("Converting %d games [  0%%]...", count);
    if (setUpBoard) StartFromInitialPosition(pos);

    int done = 0;
    Progress progress{count};
    GameRecord convertedGame;
    try {
        while (ReadGameRecord(convertedGame, in)) {
            write(convertedGame);
            ++done;
            progress.Step(done);
        }
    } catch (const GameFileError& error) {
        std::printf("ERROR: %s\n", error.text);
        std::printf("converted: %d games.\n", done);
        return setUpBoard;
    }
    std::printf("%s", okText);
    std::printf("converted: %d games.\n", done);
    return setUpBoard;
}

}  // namespace

void ConvertPgnGames(Position& pos, std::ifstream& in, const char* pgnName,
                     const std::function<bool(const GameRecord&)>& convert) {
    StartFromInitialPosition(pos);
    int converted = 0;
    int skipped = 0;
    GameRecord convertedGame;
    try {
        while (MoreInput(in)) {
            if (ReadPgnGame(pos, convertedGame, in) != 0 && convert(convertedGame)) {
                ++converted;
            } else {
                ++skipped;
                WarnSkipped(converted + skipped, pgnName);
            }
            in >> std::ws;
        }
    } catch (const GameFileError& error) {
        in.close();
        ReportPgnError(error, pgnName, converted, skipped);
        throw;
    }
    ReportFinished(pgnName, converted, skipped);
}

bool Pgn2Pos(Position& pos, const char* pgnName) {
    std::ifstream in(pgnName);
    if (!in.is_open()) {
        std::printf("Cannot open PGN input file: '%s'\n", pgnName);
        return false;
    }
    std::ofstream files[PosFileCount];
    std::ostream* outs[PosFileCount];
    for (int i = 0; i < PosFileCount; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%X.pos", i);
        files[i].open(name, std::ios::out | std::ios::trunc);
        if (!files[i].is_open()) {
            std::printf("Cannot create POS output file: '%s'\n", name);
            return false;  // the streams opened so far close with the array
        }
        outs[i] = &files[i];
    }

    ConvertPgnGames(pos, in, pgnName, [&](const GameRecord& game) {
        WriteGamePositions(pos, game, outs, PosPlyLimit);
        return true;
    });
    return true;
}

bool Pgn2Game(Position& pos, const char* pgnName, const char* gameName, int& runningTotal) {
    std::ifstream in(pgnName);
    if (!in.is_open()) {
        std::printf("Cannot open PGN input file: '%s'\n", pgnName);
        return false;
    }
    std::fstream games(gameName, std::ios::in | std::ios::out | std::ios::app | std::ios::binary);
    if (!games.is_open()) {
        std::printf("Cannot create GAME output file: '%s'\n", gameName);
        return false;
    }

    GameIndex index;
    BuildGameIndex(index, games);
    ConvertPgnGames(pos, in, pgnName, [&](const GameRecord& game) {
        if (IndexedGameStored(index, game, games)) return false;
        WriteGameRecord(game, games);
        AddToGameIndex(index, game);
        ++runningTotal;
        return true;
    });
    return true;
}

bool PgnList2Game(Position& pos, const char* listName, const char* gameName) {
    std::ifstream list(listName);
    if (!list.is_open()) {
        std::printf("Cannot open PGN input file: '%s'\n", listName);
        return false;
    }
    int total = 0;
    bool positionsRead = false;
    char line[ListLineSize];
    while (list.good()) {
        // A line too long for the buffer is used cut, and ends the list.
        list.getline(line, sizeof line);
        // A list written with CRLF line ends names the same files.
        const size_t length = std::strlen(line);
        if (length > 0 && line[length - 1] == '\r') line[length - 1] = '\0';
        positionsRead |= Pgn2Game(pos, line, gameName, total);
    }
    std::printf("\nCONVERTED GAMES: %d\n", total);
    return positionsRead;
}

bool Game2Pgn(Position& pos, const char* gameName, const char* pgnName) {
    std::ifstream in(gameName, std::ios::binary);
    if (!in.is_open()) {
        std::printf("Cannot open GAME input file: '%s'\n", gameName);
        return false;
    }
    std::ofstream out(pgnName, std::ios::app);
    if (!out.is_open()) {
        std::printf("Cannot create PGN output file: '%s'\n", pgnName);
        return false;
    }
    return ConvertGameFile(pos, in, gameName, false, "OK\n",
                           [&out](const GameRecord& game) { WritePgnGame(game, out); });
}

bool Game2Pos(Position& pos, const char* gameName, const char* posName) {
    std::ifstream in(gameName, std::ios::binary);
    if (!in.is_open()) {
        std::printf("Cannot open GAME input file: '%s'\n", gameName);
        return false;
    }
    std::ofstream out(posName, std::ios::app);
    if (!out.is_open()) {
        std::printf("Cannot create DB output file: '%s'\n", posName);
        return false;
    }
    return ConvertGameFile(pos, in, gameName, true, "\tOK\n",
                           [&](const GameRecord& game) { WriteGamePositions(pos, game, out, PosPlyLimit); });
}

}  // namespace kavrin
