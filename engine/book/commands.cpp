#include "book/commands.h"

#include <cstdio>
#include <string>

#include "board/board.h"
#include "board/movetext.h"
#include "book/book.h"
#include "book/bookcreate.h"
#include "book/posdb.h"

namespace kavrin {

namespace {

constexpr const char* WhiteDatabase = "white.db";
constexpr const char* BlackDatabase = "black.db";

}  // namespace

void BookShowCommand(BookSet& books, const Position& pos) {
    std::printf(BookContains(books.book[pos.sideToMove ? 1 : 0], pos.board.hashKey) ? "YES\n" : "NO\n");
}

void DbShowCommand(const Position& pos, bool linear) {
    PositionDatabase databases;
    if (!databases.Open(WhiteDatabase, BlackDatabase)) {
        std::printf("%s\n", databases.message);
        return;
    }
    PrintBoard(pos.board.pieceOn);
    const PositionRecord* record = linear ? databases.FindRecordLinear(pos.sideToMove, pos.board.hashKey)
                                          : databases.FindRecord(pos.sideToMove, pos.board.hashKey);
    if (record == nullptr) {
        std::printf("record not found.\n");
        return;
    }
    double w = record->whiteWins, b = record->blackWins, d = record->draws;
    std::printf("w: %.0f, b: %.0f, d: %.0f, score: %f\n", w, b, d, WhiteScore(w, b, d));
}

void DbCreateCommand(const char* posFile, const char* baseName) {
    std::string whiteName = std::string(baseName) + "_white.db";
    std::string blackName = std::string(baseName) + "_black.db";
    PositionDatabase databases;
    if (CreateDatabase(posFile, blackName.c_str(), 'B', databases.message) &&
        CreateDatabase(posFile, whiteName.c_str(), 'W', databases.message))
        std::printf("created.\n");
    else
        std::printf("%s\n", databases.message);
}

void BookCreateCommand() { CreateBooks(WhiteDatabase, BlackDatabase); }

}  // namespace kavrin
