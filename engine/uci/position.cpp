#include "uci/position.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/game.h"
#include "uci/reply.h"
#include "uci/session.h"

namespace kavrin {

namespace {

// Move numbers beyond this are taken for a mistake and counted from 1.
constexpr long MaxFullMoveNumber = 100000;

// Pawns stand on neither the first nor the last rank of a position that can
// be played.
bool PawnsOnPlayableRanks(const Position& game) {
    const Bitboard edgeRanks = RowMask(0) | RowMask(7);
    return ((game.board.pieceBitboard[WhitePawn] | game.board.pieceBitboard[BlackPawn]) & edgeRanks) == 0;
}

// Reads the FEN's placement, side, castling and en-passant fields, then its
// move counters when present; false, with the Board no longer trusted, when
// the text is no playable position.
bool SetUpFen(Position& game, const std::string& fen, int& fullMove) {
    const char* rest = nullptr;
    if (!ReadFen(game, fen.c_str(), &rest)) return false;
    if (!PositionPlayable(game) || !PawnsOnPlayableRanks(game)) return false;
    char* end = nullptr;
    const long fifty = std::strtol(rest, &end, 10);
    if (end != rest) SetFiftyMoveCounter(game, static_cast<int>(std::clamp<long>(fifty, 0, FiftyMoveLimitPlies)));
    const char* after = end;
    const long full = std::strtol(after, &end, 10);
    fullMove = end != after && full > 0 && full < MaxFullMoveNumber ? static_cast<int>(full) : 1;
    return true;
}

// Puts the position in force back on the Board.
void Restore(UciSession& session) {
    int full = 1;
    SetUpFen(session.Game(), session.current.fen, full);
    for (Move m : session.current.moves) session.engine.PlayGameMove(m);
}

}  // namespace

Move LegalMoveOfText(Position& game, const std::string& text) {
    if (text.size() < 4 || text.size() > 5) return 0;
    char wanted[MoveTextSize];
    std::memcpy(wanted, text.c_str(), text.size() + 1);
    if (text.size() == 5) wanted[4] = static_cast<char>(wanted[4] | 0x20);
    MoveEntry moves[MaxGeneratedMoves];
    const MoveEntry* end = GenerateLegalMoves(game, moves);
    for (const MoveEntry* e = moves; e != end; ++e) {
        char moveText[MoveTextSize];
        MoveToText(moveText, e->move);
        if (std::strcmp(moveText, wanted) == 0) return e->move;
    }
    return 0;
}

void SetStartPosition(UciSession& session) {
    session.current = PositionInForce{InitialFen, 1, White, {}};
    Restore(session);
}

void PositionCommand(UciSession& session, const std::string& words) {
    Position& game = session.Game();
    UciOutput& out = session.out;
    std::istringstream in(words);
    std::string word;
    in >> word;
    std::string fen;
    if (word == "startpos") {
        fen = InitialFen;
        in >> word;
    } else if (word == "fen") {
        while (in >> word && word != "moves") fen += (fen.empty() ? "" : " ") + word;
    } else {
        out.InfoString("position: expected startpos or fen, not \"%s\"", word.c_str());
        return;
    }

    // 1. The set-up; a bad one leaves the position in force.
    PositionInForce next{fen, 1, White, {}};
    if (!SetUpFen(game, fen, next.fullMove)) {
        out.InfoString("bad FEN: %s", fen.c_str());
        Restore(session);
        return;
    }
    next.startSide = game.sideToMove;
    session.current = next;

    // 2. The moves, each one only when it is legal where it is played.
    if (!in) return;
    if (word != "moves") {
        out.InfoString("position: expected moves, not \"%s\"", word.c_str());
        return;
    }
    while (in >> word) {
        const Move m = LegalMoveOfText(game, word);
        if (m == 0) {
            out.InfoString("illegal move: %s", word.c_str());
            return;
        }
        if (!GameHasRoom(game, 1)) {
            out.InfoString("game too long: %s", word.c_str());
            return;
        }
        session.engine.PlayGameMove(m);
        session.current.moves.push_back(m);
    }
}

void ShowPosition(UciSession& session) {
    const Position& game = session.Game();
    const PositionInForce& current = session.current;
    PrintBoard(game.board.pieceOn);
    char fen[FenTextSize];
    WriteFen(game, fen);
    // The counters go on from those of the set-up.
    const int plies = static_cast<int>(current.moves.size()) + (current.startSide == Black ? 1 : 0);
    session.out.Reply("\nFen: %s %d %d", fen, static_cast<int>(game.historyTop->fiftyCounter),
                      current.fullMove + plies / 2);
    session.out.Reply("Key: %016" PRIX64, game.board.hashKey);
}

}  // namespace kavrin
