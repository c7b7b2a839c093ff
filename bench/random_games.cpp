#include "random_games.h"

#include "board/board.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace kavrin::bench {

namespace {

// Plies of a game: at least the first, at most the first plus the spread.
constexpr int ShortestGame = 20;
constexpr int GameLengthSpread = 140;
constexpr int LongestGame = ShortestGame + GameLengthSpread - 1;
static_assert(LongestGame < HistorySize, "a game fits the position history");
// Moves a line of movetext holds.
constexpr int PliesPerLine = 16;
constexpr const char* Results[] = {"1-0", "0-1", "1/2-1/2"};

void AppendSquare(std::string& out, int s) {
    out += static_cast<char>('a' + ColumnOf(s));
    out += static_cast<char>('8' - RowOf(s));
}

// SAN of m among the legal moves, with the disambiguation a reader needs.
std::string SanOf(const Board& board, Move m, const MoveEntry* legal, const MoveEntry* end) {
    const int kind = MoveKindOf(m);
    if (kind == WhiteCastleKing || kind == BlackCastleKing) return "O-O";
    if (kind == WhiteCastleQueen || kind == BlackCastleQueen) return "O-O-O";
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int piece = board.pieceOn[from];
    const bool capture = IsCaptureKind(kind);
    std::string out;
    if (IsPawn(piece)) {
        if (capture) {
            out += static_cast<char>('a' + ColumnOf(from));
            out += 'x';
        }
        AppendSquare(out, to);
        if (IsPromotion(m)) {
            out += '=';
            out += "QNRB"[(kind - PromoteQueen) & 3];
        }
        return out;
    }
    out += " PNBRQK"[KindOf(piece)];
    bool sameFile = false, sameRank = false, other = false;
    for (const MoveEntry* e = legal; e != end; ++e) {
        const Move o = e->move;
        if (o == m || MoveTo(o) != to || board.pieceOn[MoveFrom(o)] != piece) continue;
        other = true;
        if (ColumnOf(MoveFrom(o)) == ColumnOf(from)) sameFile = true;
        if (RowOf(MoveFrom(o)) == RowOf(from)) sameRank = true;
    }
    if (other) {
        if (!sameFile)
            out += static_cast<char>('a' + ColumnOf(from));
        else if (!sameRank)
            out += static_cast<char>('8' - RowOf(from));
        else
            AppendSquare(out, from);
    }
    if (capture) out += 'x';
    AppendSquare(out, to);
    return out;
}

bool SideToMoveInCheck(const Position& pos) {
    CheckInfo check;
    ComputeCheckers(pos, check);
    return check.checkers != 0;
}

uint64_t MixMove(uint64_t h, Move m) {
    h = (h ^ m) * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 29);
}

}  // namespace

RandomGameWriter::RandomGameWriter(uint64_t seed) : random_(seed) { ReadFen(position_, InitialFen); }

std::string RandomGameWriter::Next() {
    for (;;) {
        // 1. Result and length first, then the moves one by one, until the
        // length is reached or no move is left.
        const char* result = Results[random_() % 3];
        const int length = ShortestGame + static_cast<int>(random_() % GameLengthSpread);
        std::string moves;
        Move played[LongestGame + 1];
        UndoRecord undo[LongestGame + 1];
        uint64_t hash = 0;
        int plies = 0;
        MoveEntry legal[MaxGeneratedMoves];
        while (plies < length) {
            const MoveEntry* end = GenerateLegalMoves(position_, legal);
            const int count = static_cast<int>(end - legal);
            if (count == 0) break;
            const Move m = legal[random_() % static_cast<unsigned>(count)].move;
            if (plies % 2 == 0) moves += std::to_string(plies / 2 + 1) + ". ";
            moves += SanOf(position_.board, m, legal, end);
            SaveForMake(position_, undo[plies + 1]);
            MakeMove(position_, m, undo[plies + 1]);
            if (SideToMoveInCheck(position_)) moves += '+';
            moves += (plies % PliesPerLine == PliesPerLine - 1) ? '\n' : ' ';
            played[++plies] = m;
            hash = MixMove(hash, m);
        }
        for (int i = plies; i >= 1; --i) UnmakeMove(position_, played[i], undo[i]);

        // 2. A game met before is drawn again.
        hash = MixMove(hash, static_cast<Move>(plies));
        if (!seen_.insert(hash).second) continue;
        return "[Event \"Random games\"]\n[Round \"" + std::to_string(++number_) + "\"]\n[Result \"" + result +
               "\"]\n\n" + moves + result + "\n\n";
    }
}

}  // namespace kavrin::bench
