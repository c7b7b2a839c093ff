#include "board/movegen.h"

#include "board/exchange.h"
#include "board/tables.h"

namespace kavrin {

namespace {

constexpr Bitboard FileA = ColumnMask(0);
constexpr Bitboard FileH = ColumnMask(7);
constexpr Bitboard Rank8 = RowMask(0);
constexpr Bitboard Rank6 = RowMask(2);
constexpr Bitboard Rank3 = RowMask(5);
constexpr Bitboard Rank1 = RowMask(7);

// Ordering scores: higher is tried first.
constexpr int QuietScore = -30000;
constexpr int EnPassantScore = -9500;
constexpr int KingSideCastleScore = -29000;
constexpr int QueenSideCastleScore = -29500;
// A capture of a piece worth at least the attacker minus this is scored
// victim - attacker + FastCaptureBand without playing out the exchange.
constexpr int FastCaptureMargin = 50;
constexpr int FastCaptureBand = -9500;
constexpr int PawnCaptureBand = -9600;
// The capture generator keeps only captures scored at least this.
constexpr int KeptCaptureFloor = -10000;
// Promotion scores in kind order: queen, knight, rook, bishop. A capture adds
// the victim's value.
constexpr int PromotionScore[4] = {-9401, -30005, -30025, -30050};

MoveEntry* Emit(MoveEntry* out, int score, int from, int to, int kind) {
    out->score = static_cast<int16_t>(score);
    out->move = MakeMoveWord(from, to, kind);
    return out + 1;
}

// The four promotions of one pawn step, queen first.
MoveEntry* EmitPromotions(MoveEntry* out, int victimValue, int from, int to, int queenKind) {
    for (int k = 0; k < 4; ++k) out = Emit(out, victimValue + PromotionScore[k], from, to, queenKind + k);
    return out;
}

// The colour-dependent geometry of one side. Pawn captures are named by the
// file they move towards; origin = target + offset.
template <int Us>
struct Side {
    static constexpr int Them = Us ^ 1;
    static constexpr int Pawn = PawnOf(Us);
    static constexpr int Knight = KnightOf(Us);
    static constexpr int Bishop = BishopOf(Us);
    static constexpr int Rook = RookOf(Us);
    static constexpr int Queen = QueenOf(Us);
    static constexpr int King = KingOf(Us);
    static constexpr Bitboard LastRank = Us == White ? Rank8 : Rank1;
    // Single-push targets from which a pawn may step once more.
    static constexpr Bitboard DoubleStepRank = Us == White ? Rank3 : Rank6;
    static constexpr int Behind = Us == White ? 8 : -8;
    static constexpr int FromTowardA = Us == White ? 9 : -7;
    static constexpr int FromTowardH = Us == White ? 7 : -9;

    static Bitboard Forward(Bitboard b) { return Us == White ? b << 8 : b >> 8; }
    static Bitboard TowardA(Bitboard pawns) { return Us == White ? (pawns & ~FileA) << 9 : (pawns & ~FileA) >> 7; }
    static Bitboard TowardH(Bitboard pawns) { return Us == White ? (pawns & ~FileH) << 7 : (pawns & ~FileH) >> 9; }
    // Enemy pawns attacking square s.
    static Bitboard EnemyPawnsAttacking(const Board& board, int s) {
        return (Us == White ? WhitePawnAttacks[s] : BlackPawnAttacks[s]) & board.pieceBitboard[PawnOf(Them)];
    }

    static constexpr uint16_t KingSideFlag = Us == White ? CastleWhiteKingFlag : CastleBlackKingFlag;
    static constexpr uint16_t QueenSideFlag = Us == White ? CastleWhiteQueenFlag : CastleBlackQueenFlag;
    static constexpr Bitboard KingSidePath = Us == White ? Bit(61) | Bit(62) : Bit(5) | Bit(6);
    static constexpr Bitboard QueenSidePath = Us == White ? Bit(57) | Bit(58) | Bit(59) : Bit(1) | Bit(2) | Bit(3);
    static constexpr Move KingSideCastle = Us == White ? CastleWhiteKingSide : CastleBlackKingSide;
    static constexpr Move QueenSideCastle = Us == White ? CastleWhiteQueenSide : CastleBlackQueenSide;
};

template <int Code>
Bitboard AttacksOf(const Board& board, int s) {
    constexpr int kind = KindOf(Code);
    if constexpr (kind == KnightKind) return KnightAttacks[s];
    if constexpr (kind == BishopKind) return BishopAttacksFrom(board, s);
    if constexpr (kind == RookKind) return RookAttacksFrom(board, s);
    if constexpr (kind == QueenKind) return QueenAttacksFrom(board, s);
}

template <int Code>
Bitboard EmptyBoardRays(int s) {
    constexpr int kind = KindOf(Code);
    if constexpr (kind == BishopKind) return BishopRays[s];
    if constexpr (kind == RookKind) return RookRays[s];
    if constexpr (kind == QueenKind) return QueenRays[s];
}

struct SliderSets {
    Bitboard rookLike;
    Bitboard bishopLike;
};

SliderSets CurrentSliders(const Board& board) {
    const Bitboard* p = board.pieceBitboard;
    const Bitboard queens = p[WhiteQueen] | p[BlackQueen];
    return {p[WhiteRook] | p[BlackRook] | queens, p[WhiteBishop] | p[BlackBishop] | queens};
}

// A piece capture: victim minus attacker when the victim is worth about as
// much or more, otherwise the played-out exchange.
template <int Code>
int PieceCaptureScore(const Position& pos, int from, int to, const SliderSets& sliders) {
    const int victimValue = PieceValue[pos.board.pieceOn[to]];
    if (victimValue >= PieceValue[Code] - FastCaptureMargin) return victimValue - PieceValue[Code] + FastCaptureBand;
    return ExchangeScore(pos, Code, from, to, sliders.rookLike, sliders.bishopLike);
}

// Pawn captures in one direction, given the squares the pawns attack that
// way: en passant, then promotions onto the last rank, then the others.
template <int Us, int FromOffset>
MoveEntry* PawnCapturesOneWay(const Board& board, MoveEntry* out, Bitboard attacked) {
    using S = Side<Us>;
    const int ep = board.epSquare;
    if (ep != 0 && (attacked & SquareMask[ep])) out = Emit(out, EnPassantScore, ep + FromOffset, ep, EnPassant);
    const Bitboard targets = attacked & board.colourOccupied[S::Them];
    for (Bitboard b = targets & S::LastRank; b; b &= b - 1) {
        const int to = LowestSquare(b);
        out = EmitPromotions(out, PieceValue[board.pieceOn[to]], to + FromOffset, to, CapturePromoteQueen);
    }
    for (Bitboard b = targets & ~S::LastRank; b; b &= b - 1) {
        const int to = LowestSquare(b);
        out = Emit(out, PieceValue[board.pieceOn[to]] + PawnCaptureBand, to + FromOffset, to, Capture);
    }
    return out;
}

template <int Us>
MoveEntry* PawnCaptures(const Board& board, MoveEntry* out) {
    using S = Side<Us>;
    const Bitboard pawns = board.pieceBitboard[S::Pawn];
    out = PawnCapturesOneWay<Us, S::FromTowardA>(board, out, S::TowardA(pawns));
    return PawnCapturesOneWay<Us, S::FromTowardH>(board, out, S::TowardH(pawns));
}

// Moves of every piece of one code: each piece's captures, then (unless
// CapturesOnly) its quiet moves. With CapturesOnly, losing captures are left
// out.
template <int Us, int Code, bool CapturesOnly>
MoveEntry* PieceMoves(const Position& pos, MoveEntry* out, const SliderSets& sliders) {
    const Board& board = pos.board;
    const Bitboard enemy = board.colourOccupied[Us ^ 1];
    const Bitboard empty = ~board.occupied;
    for (Bitboard pieces = board.pieceBitboard[Code]; pieces; pieces &= pieces - 1) {
        const int from = LowestSquare(pieces);
        const Bitboard attacks = AttacksOf<Code>(board, from);
        for (Bitboard b = attacks & enemy; b; b &= b - 1) {
            const int to = LowestSquare(b);
            const int score = PieceCaptureScore<Code>(pos, from, to, sliders);
            if (!CapturesOnly || score >= KeptCaptureFloor) out = Emit(out, score, from, to, Capture);
        }
        if constexpr (!CapturesOnly)
            for (Bitboard b = attacks & empty; b; b &= b - 1) out = Emit(out, QuietScore, from, LowestSquare(b), Quiet);
    }
    return out;
}

// King moves that do not step beside the enemy king, minus excluded squares:
// captures the enemy does not defend, then (unless CapturesOnly) quiet moves.
template <int Us, bool CapturesOnly>
MoveEntry* KingMoves(const Position& pos, MoveEntry* out, Bitboard excluded, const SliderSets& sliders) {
    using S = Side<Us>;
    const Board& board = pos.board;
    const int from = board.kingSquare[Us];
    const Bitboard targets =
        KingAttacks[from] & ~KingAttacks[board.kingSquare[S::Them]] & ~board.colourOccupied[Us] & ~excluded;
    for (Bitboard b = targets & board.colourOccupied[S::Them]; b; b &= b - 1) {
        const int to = LowestSquare(b);
        const int score = ExchangeScore(pos, S::King, from, to, sliders.rookLike, sliders.bishopLike);
        if (score == KingCaptureRefused || (CapturesOnly && score < KeptCaptureFloor)) continue;
        out = Emit(out, score, from, to, Capture);
    }
    if constexpr (!CapturesOnly)
        for (Bitboard b = targets & ~board.occupied; b; b &= b - 1)
            out = Emit(out, QuietScore, from, LowestSquare(b), Quiet);
    return out;
}

template <int Us>
MoveEntry* GenerateAllFor(const Position& pos, MoveEntry* out) {
    using S = Side<Us>;
    const Board& board = pos.board;
    const SliderSets sliders = CurrentSliders(board);
    const Bitboard empty = ~board.occupied;

    // 1., 2. Pawn captures, towards the a-file first.
    out = PawnCaptures<Us>(board, out);

    // 3. Pieces.
    out = PieceMoves<Us, S::Knight, false>(pos, out, sliders);
    out = PieceMoves<Us, S::Queen, false>(pos, out, sliders);
    out = PieceMoves<Us, S::Rook, false>(pos, out, sliders);
    out = PieceMoves<Us, S::Bishop, false>(pos, out, sliders);

    // 4. Pawn pushes: promotions, double steps, single steps.
    const Bitboard single = S::Forward(board.pieceBitboard[S::Pawn]) & empty;
    for (Bitboard b = single & S::LastRank; b; b &= b - 1) {
        const int to = LowestSquare(b);
        out = EmitPromotions(out, 0, to + S::Behind, to, PromoteQueen);
    }
    for (Bitboard b = S::Forward(single & S::DoubleStepRank) & empty; b; b &= b - 1) {
        const int to = LowestSquare(b);
        out = Emit(out, QuietScore, to + 2 * S::Behind, to, Quiet);
    }
    for (Bitboard b = single & ~S::LastRank; b; b &= b - 1) {
        const int to = LowestSquare(b);
        out = Emit(out, QuietScore, to + S::Behind, to, Quiet);
    }

    // 5. King.
    out = KingMoves<Us, false>(pos, out, 0, sliders);

    // 6. Castling; whether the king passes attacked squares is tested after
    //    the move is made.
    if ((board.castling & S::KingSideFlag) && !(board.occupied & S::KingSidePath)) {
        out->score = KingSideCastleScore;
        out->move = S::KingSideCastle;
        ++out;
    }
    if ((board.castling & S::QueenSideFlag) && !(board.occupied & S::QueenSidePath)) {
        out->score = QueenSideCastleScore;
        out->move = S::QueenSideCastle;
        ++out;
    }
    return out;
}

template <int Us>
MoveEntry* GenerateCapturesFor(const Position& pos, MoveEntry* out) {
    using S = Side<Us>;
    const Board& board = pos.board;
    const SliderSets sliders = CurrentSliders(board);

    // 1., 2. Every pawn capture.
    out = PawnCaptures<Us>(board, out);

    // 3. Queen promotions by push that survive the exchange on their square.
    const Bitboard single = S::Forward(board.pieceBitboard[S::Pawn]) & ~board.occupied;
    for (Bitboard b = single & S::LastRank; b; b &= b - 1) {
        const int to = LowestSquare(b);
        const int from = to + S::Behind;
        const int score = ExchangeScore(pos, S::Pawn, from, to, sliders.rookLike, sliders.bishopLike);
        if (score >= KeptCaptureFloor) out = Emit(out, score, from, to, PromoteQueen);
    }

    // 4. Piece captures that do not lose material.
    out = PieceMoves<Us, S::Knight, true>(pos, out, sliders);
    out = PieceMoves<Us, S::Bishop, true>(pos, out, sliders);
    out = PieceMoves<Us, S::Rook, true>(pos, out, sliders);
    out = PieceMoves<Us, S::Queen, true>(pos, out, sliders);

    // 5. King captures.
    return KingMoves<Us, true>(pos, out, 0, sliders);
}

// Evasion moves of one slider code: captures of the checker on g, then moves
// onto the blocking squares.
template <int Code>
MoveEntry* SliderEvasions(const Board& board, MoveEntry* out, int g, Bitboard block) {
    const Bitboard pieces = board.pieceBitboard[Code];
    Bitboard capturers = EmptyBoardRays<Code>(g) & pieces;
    if (capturers) capturers &= AttacksOf<Code>(board, g);
    const int captureScore = PieceValue[board.pieceOn[g]] - PieceValue[Code] + FastCaptureBand;
    for (; capturers; capturers &= capturers - 1) out = Emit(out, captureScore, LowestSquare(capturers), g, Capture);
    if (block)
        for (Bitboard b = pieces; b; b &= b - 1) {
            const int from = LowestSquare(b);
            if (!(EmptyBoardRays<Code>(from) & block)) continue;
            for (Bitboard t = AttacksOf<Code>(board, from) & block; t; t &= t - 1)
                out = Emit(out, QuietScore - PieceValue[Code], from, LowestSquare(t), Quiet);
        }
    return out;
}

template <int Us>
MoveEntry* GenerateEvasionsFor(const Position& pos, MoveEntry* out, const CheckInfo& check) {
    using S = Side<Us>;
    const Board& board = pos.board;
    const Bitboard checkers = check.checkers;
    const int king = board.kingSquare[Us];
    Bitboard block = 0;

    // 1. In double check only the king can move.
    if (!(checkers & (checkers - 1))) {
        // 2. Squares between the king and a distant sliding checker.
        const int g = LowestSquare(checkers);
        const int checker = board.pieceOn[g];
        const int checkerKind = KindOf(checker);
        if (checkerKind >= BishopKind && checkerKind <= QueenKind && !(KingAttacks[king] & checkers))
            block = check.rookLinesFromKing ? check.rookLinesFromKing & RookAttacksFrom(board, g)
                                            : check.bishopLinesFromKing & BishopAttacksFrom(board, g);

        const Bitboard pawns = board.pieceBitboard[S::Pawn];
        const Bitboard checkerBit = SquareMask[g];

        // 3. En passant takes a checking pawn that has just stepped twice;
        //    the pawn on the a-file side first.
        const int ep = board.epSquare;
        if (ep != 0 && g == ep + S::Behind) {
            const Bitboard epBit = SquareMask[ep];
            if (S::TowardH(pawns) & epBit) out = Emit(out, EnPassantScore, ep + S::FromTowardH, ep, EnPassant);
            if (S::TowardA(pawns) & epBit) out = Emit(out, EnPassantScore, ep + S::FromTowardA, ep, EnPassant);
        }

        // 4. Pawn captures of the checker, a-file side first.
        const int checkerValue = PieceValue[checker];
        const bool promoting = (checkerBit & S::LastRank) != 0;
        const int fromOffsets[2] = {S::FromTowardH, S::FromTowardA};
        const Bitboard reaching[2] = {S::TowardH(pawns) & checkerBit, S::TowardA(pawns) & checkerBit};
        for (int side = 0; side < 2; ++side) {
            if (!reaching[side]) continue;
            const int from = g + fromOffsets[side];
            out = promoting ? EmitPromotions(out, checkerValue, from, g, CapturePromoteQueen)
                            : Emit(out, checkerValue + PawnCaptureBand, from, g, Capture);
        }

        // 5. Knights: captures of the checker, then interpositions.
        const Bitboard knights = board.pieceBitboard[S::Knight];
        const int knightCaptureScore = checkerValue - PieceValue[S::Knight] + FastCaptureBand;
        for (Bitboard b = KnightAttacks[g] & knights; b; b &= b - 1)
            out = Emit(out, knightCaptureScore, LowestSquare(b), g, Capture);
        if (block)
            for (Bitboard b = knights; b; b &= b - 1) {
                const int from = LowestSquare(b);
                for (Bitboard t = KnightAttacks[from] & block; t; t &= t - 1)
                    out = Emit(out, QuietScore - PieceValue[S::Knight], from, LowestSquare(t), Quiet);
            }

        // 6. Bishops, rooks, queens.
        out = SliderEvasions<S::Bishop>(board, out, g, block);
        out = SliderEvasions<S::Rook>(board, out, g, block);
        out = SliderEvasions<S::Queen>(board, out, g, block);

        // 7. Pawn interpositions: double steps, then single steps with the
        //    promotions first.
        if (block) {
            const Bitboard empty = ~board.occupied;
            const Bitboard single = S::Forward(pawns) & empty;
            for (Bitboard b = S::Forward(single & S::DoubleStepRank) & empty & block; b; b &= b - 1) {
                const int to = LowestSquare(b);
                out = Emit(out, QuietScore, to + 2 * S::Behind, to, Quiet);
            }
            for (Bitboard b = single & block & S::LastRank; b; b &= b - 1) {
                const int to = LowestSquare(b);
                out = EmitPromotions(out, 0, to + S::Behind, to, PromoteQueen);
            }
            for (Bitboard b = single & block & ~S::LastRank; b; b &= b - 1) {
                const int to = LowestSquare(b);
                out = Emit(out, QuietScore, to + S::Behind, to, Quiet);
            }
        }
    }

    // 8. King moves off the checking lines' blocking squares.
    return KingMoves<Us, false>(pos, out, block, CurrentSliders(board));
}

template <int Us>
void ComputeCheckersFor(const Board& board, CheckInfo& check) {
    using S = Side<Us>;
    const Bitboard* p = board.pieceBitboard;
    const int king = board.kingSquare[Us];
    const Bitboard rookLike = p[RookOf(S::Them)] | p[QueenOf(S::Them)];
    const Bitboard bishopLike = p[BishopOf(S::Them)] | p[QueenOf(S::Them)];
    Bitboard checkers = 0;
    if (QueenRays[king] & (rookLike | bishopLike)) {
        if (RookRays[king] & rookLike) {
            const Bitboard lines = RookAttacksFrom(board, king);
            check.rookLinesFromKing = lines;
            checkers = lines & rookLike;
        }
        if (BishopRays[king] & bishopLike) {
            if (!checkers) check.rookLinesFromKing = 0;
            const Bitboard lines = BishopAttacksFrom(board, king);
            check.bishopLinesFromKing = lines;
            checkers |= lines & bishopLike;
        }
    }
    checkers |= KnightAttacks[king] & p[KnightOf(S::Them)];
    checkers |= S::EnemyPawnsAttacking(board, king);
    check.checkers = checkers;
}

// True when a piece of the enemy other than the king attacks square s.
template <int Us>
bool AttackedByEnemy(const Board& board, int s) {
    using S = Side<Us>;
    const Bitboard* p = board.pieceBitboard;
    if (KnightAttacks[s] & p[KnightOf(S::Them)]) return true;
    if (S::EnemyPawnsAttacking(board, s)) return true;
    const Bitboard queens = p[QueenOf(S::Them)];
    const Bitboard rookLike = p[RookOf(S::Them)] | queens;
    const Bitboard bishopLike = p[BishopOf(S::Them)] | queens;
    if (!(QueenRays[s] & (rookLike | bishopLike))) return false;
    if ((RookRays[s] & rookLike) && (RookAttacksFrom(board, s) & rookLike)) return true;
    return (BishopRays[s] & bishopLike) && (BishopAttacksFrom(board, s) & bishopLike);
}

// The squares a castling king leaves and crosses, and where the enemy king
// may not stand, by castling kind (12 to 15).
struct CastlePath {
    int origin;
    int crossed;
    Bitboard enemyKingBarred;
};
constexpr CastlePath CastlePaths[4] = {
    // black king side: e8..h8 and e7..h7 barred
    {4, 5, Bit(4) | Bit(5) | Bit(6) | Bit(7) | Bit(12) | Bit(13) | Bit(14) | Bit(15)},
    // white king side: e1..h1 and e2..h2
    {60, 61, Bit(60) | Bit(61) | Bit(62) | Bit(63) | Bit(52) | Bit(53) | Bit(54) | Bit(55)},
    // black queen side: b8..d8 and b7..d7
    {4, 3, Bit(1) | Bit(2) | Bit(3) | Bit(9) | Bit(10) | Bit(11)},
    // white queen side: b1..d1 and b2..d2
    {60, 59, Bit(57) | Bit(58) | Bit(59) | Bit(49) | Bit(50) | Bit(51)},
};

template <int Us>
bool IsKingAttackedFor(const Board& board, Move m) {
    if (AttackedByEnemy<Us>(board, board.kingSquare[Us])) return true;
    if (!IsCastling(m)) return false;
    const CastlePath& path = CastlePaths[MoveKindOf(m) - BlackCastleKing];
    return AttackedByEnemy<Us>(board, path.origin) || AttackedByEnemy<Us>(board, path.crossed) ||
           (SquareMask[board.kingSquare[Us ^ 1]] & path.enemyKingBarred);
}

using ListGenerator = MoveEntry* (*)(const Position&, MoveEntry*);
using EvasionGenerator = MoveEntry* (*)(const Position&, MoveEntry*, const CheckInfo&);

// Indexed by sideToMove: element 0 black, element 1 white.
constexpr ListGenerator AllMovesBySide[2] = {GenerateAllFor<Black>, GenerateAllFor<White>};
constexpr ListGenerator CapturesBySide[2] = {GenerateCapturesFor<Black>, GenerateCapturesFor<White>};
constexpr EvasionGenerator EvasionsBySide[2] = {GenerateEvasionsFor<Black>, GenerateEvasionsFor<White>};

template <int Us>
Bitboard PinnedFor(const Board& board) {
    using S = Side<Us>;
    const Bitboard* p = board.pieceBitboard;
    const int king = board.kingSquare[Us];
    const Bitboard own = board.colourOccupied[Us];
    const Bitboard rookLike = p[RookOf(S::Them)] | p[QueenOf(S::Them)];
    const Bitboard bishopLike = p[BishopOf(S::Them)] | p[QueenOf(S::Them)];
    // A first blocker of the king's own is pinned when taking it away shows
    // the king a slider of the line's kind behind it; attacksWithout(s) are
    // the king's attacks along those lines with s taken away.
    const auto pinnedOn = [&](Bitboard sliders, Bitboard seen, auto attacksWithout) {
        Bitboard found = 0;
        for (Bitboard b = seen & own; b; b &= b - 1) {
            const int s = LowestSquare(b);
            if (attacksWithout(s) & ~seen & sliders) found |= SquareMask[s];
        }
        return found;
    };
    Bitboard pinned = 0;
    if (RookRays[king] & rookLike)
        pinned |= pinnedOn(rookLike, RookAttacksFrom(board, king), [&](int s) {
            return RankAttacksOn(king, board.occupied ^ SquareMask[s]) |
                   FileAttacksOn(king, board.occupiedFiles ^ SquareMaskFiles[s]);
        });
    if (BishopRays[king] & bishopLike)
        pinned |= pinnedOn(bishopLike, BishopAttacksFrom(board, king), [&](int s) {
            return A1H8AttacksOn(king, board.occupiedA1H8 ^ SquareMaskA1H8[s]) |
                   A8H1AttacksOn(king, board.occupiedA8H1 ^ SquareMaskA8H1[s]);
        });
    return pinned;
}

// Whether the three squares lie on one rank, file or diagonal.
bool OnOneLine(int a, int b, int c) {
    const int ra = RowOf(a), rb = RowOf(b), rc = RowOf(c);
    const int ca = ColumnOf(a), cb = ColumnOf(b), cc = ColumnOf(c);
    if (ra == rb) return rb == rc;
    if (ca == cb) return cb == cc;
    if (ra - ca == rb - cb) return rb - cb == rc - cc;
    return ra + ca == rb + cb && rb + cb == rc + cc;
}

template <int Us>
MoveVerdict JudgeFor(const Board& board, Move m, Bitboard pinned) {
    const int kind = MoveKindOf(m);
    if (kind == EnPassant || IsCastling(m)) return MoveVerdict::NeedsTrial;
    const int from = MoveFrom(m);
    const int to = MoveTo(m);
    const int king = board.kingSquare[Us];
    // Not in check, no slider's line runs through the king's square, so the
    // king's destination is attacked after the move exactly when it is now.
    if (from == king) return AttackedByEnemy<Us>(board, to) ? MoveVerdict::Illegal : MoveVerdict::Legal;
    // Another piece can only uncover a line to the king, by leaving it.
    if ((pinned & SquareMask[from]) && !OnOneLine(king, from, to)) return MoveVerdict::Illegal;
    return MoveVerdict::Legal;
}

}  // namespace

Bitboard PinnedPieces(const Position& pos) {
    return pos.sideToMove == White ? PinnedFor<White>(pos.board) : PinnedFor<Black>(pos.board);
}

MoveVerdict JudgeMoveNotInCheck(const Position& pos, Move m, Bitboard pinned) {
    return pos.sideToMove == White ? JudgeFor<White>(pos.board, m, pinned) : JudgeFor<Black>(pos.board, m, pinned);
}

MoveEntry* GenerateAll(const Position& pos, MoveEntry* out) {
    return pos.playable ? AllMovesBySide[pos.sideToMove](pos, out) : out;
}

MoveEntry* GenerateCaptures(const Position& pos, MoveEntry* out) {
    return pos.playable ? CapturesBySide[pos.sideToMove](pos, out) : out;
}

MoveEntry* GenerateEvasions(const Position& pos, MoveEntry* out, const CheckInfo& check) {
    return pos.playable && check.checkers ? EvasionsBySide[pos.sideToMove](pos, out, check) : out;
}

void ComputeCheckers(const Position& pos, CheckInfo& check) {
    if (!pos.playable) {
        check.checkers = 0;
        return;
    }
    if (pos.sideToMove == White)
        ComputeCheckersFor<White>(pos.board, check);
    else
        ComputeCheckersFor<Black>(pos.board, check);
}

bool IsKingAttacked(const Position& pos, Move m, int colour) {
    if (!pos.playable) return false;
    return colour == White ? IsKingAttackedFor<White>(pos.board, m) : IsKingAttackedFor<Black>(pos.board, m);
}

bool PositionPlayable(const Position& pos) { return pos.playable && !IsKingAttacked(pos, 0, 1 - pos.sideToMove); }

}  // namespace kavrin
