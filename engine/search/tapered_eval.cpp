#include "search/tapered_eval.h"

#include <algorithm>

#include "board/tables.h"
#include "board/types.h"
#include "search/tapered_weights.h"

namespace kavrin {

namespace {

// A side without pawns and with less non-pawn material than this (at most a
// minor piece) cannot win.
constexpr int WinningMaterialFrom = 5;

constexpr Bitboard FileA = ColumnMask(0);
constexpr Bitboard FileH = ColumnMask(7);

// Light squares: row + column even (a8 and h1 are light).
constexpr Bitboard LightSquares = [] {
    Bitboard b = 0;
    for (int s = 0; s < 64; ++s)
        if (((RowOf(s) + ColumnOf(s)) & 1) == 0) b |= Bit(s);
    return b;
}();

// The square that plays the role of White's square s for colour Us: the same
// file, the rank seen from Us's side of the board.
template <int Us>
constexpr int RelativeSquare(int s) {
    return Us == White ? s : s ^ 56;
}

// Rank of s seen from Us's side: 0 is Us's first rank.
template <int Us>
constexpr int RelativeRank(int s) {
    return 7 - RowOf(RelativeSquare<Us>(s));
}

// The square in front of s for Us.
template <int Us>
constexpr int Forward(int s) {
    return Us == White ? s - 8 : s + 8;
}

// The squares Us's pawns attack (a8 is the top bit, so White's captures
// shift up).
template <int Us>
constexpr Bitboard PawnAttacksOf(Bitboard pawns) {
    return Us == White ? ((pawns & ~FileA) << 9) | ((pawns & ~FileH) << 7)
                       : ((pawns & ~FileA) >> 7) | ((pawns & ~FileH) >> 9);
}

int Distance(int a, int b) { return std::max(std::abs(RowOf(a) - RowOf(b)), std::abs(ColumnOf(a) - ColumnOf(b))); }

// What the piece terms of both sides gather for the threat and king terms.
struct EvalState {
    Bitboard pawnAttacks[2];
    Bitboard mobilityArea[2];  // neither own pieces nor attacked by an enemy pawn
    Bitboard kingZone[2];      // a king's square and the squares around it
    Bitboard minorAttacks[2];
    Bitboard rookAttacks[2];
    int kingAttackers[2];  // pieces of a side that attack the enemy king's zone
    int kingUnits[2];      // their attack units
    int pawnTotal;
};

// Adds count times weight term to Us's score and to the trace.
template <int Us, class Trace>
struct Terms {
    const TaperedWeights& w;
    Trace& trace;
    Score score = 0;
    void Add(int term, int count = 1) {
        score += count * w.term[term];
        trace.Add(term, Us, count);
    }
};

// 1. Pawns: material, squares and structure, from Us's point of view (the
// part the pawn cache keeps).
template <int Us, class Trace>
Score PawnTerms(const Board& board, const TaperedWeights& w, Trace& trace) {
    Terms<Us, Trace> t{w, trace};
    const Bitboard own = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemy = board.pieceBitboard[PawnOf(1 - Us)];
    const Bitboard ownAttacks = PawnAttacksOf<Us>(own);
    const Bitboard enemyAttacks = PawnAttacksOf<1 - Us>(enemy);
    const Bitboard* passedSpan = Us == White ? PassedSpanWhite : PassedSpanBlack;
    const Bitboard* frontSpan = Us == White ? FrontSpanWhite : FrontSpanBlack;
    for (Bitboard b = own; b; b &= b - 1) {
        const int s = LowestSquare(b);
        t.Add(MaterialTerm);
        t.Add(PieceSquareTerm + RelativeSquare<Us>(s));
        // Of a doubled pair only the front pawn can be passed.
        const bool passed = !(passedSpan[s] & enemy) && !(frontSpan[s] & own);
        if (FileOthers[s] & own) t.Add(DoubledPawnTerm);
        if (!(AdjacentFiles[s] & own)) {
            t.Add(IsolatedPawnTerm);
            if (!(frontSpan[s] & enemy)) t.Add(IsolatedOpenPawnTerm);
        } else if (!passed && !(AdjacentFiles[s] & own & ~passedSpan[s]) && (enemyAttacks & Bit(Forward<Us>(s)))) {
            t.Add(BackwardPawnTerm);
        }
        if (ownAttacks & Bit(s)) t.Add(SupportedPawnTerm);
        if (passed) t.Add(PassedPawnTerm + RelativeRank<Us>(s));
    }
    return t.score;
}

// 2. Passed pawns' terms that depend on the pieces: the way ahead free, the
// distance of both kings.
template <int Us, class Trace>
Score PassedPieceTerms(const Board& board, const TaperedWeights& w, Trace& trace) {
    Terms<Us, Trace> t{w, trace};
    const Bitboard own = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemy = board.pieceBitboard[PawnOf(1 - Us)];
    const Bitboard* passedSpan = Us == White ? PassedSpanWhite : PassedSpanBlack;
    const Bitboard* frontSpan = Us == White ? FrontSpanWhite : FrontSpanBlack;
    for (Bitboard b = own; b; b &= b - 1) {
        const int s = LowestSquare(b);
        if ((passedSpan[s] & enemy) || (frontSpan[s] & own)) continue;
        const int front = Forward<Us>(s);
        if (board.pieceOn[front] == Empty) t.Add(PassedFreeTerm + RelativeRank<Us>(s));
        t.Add(PassedOwnKingTerm, Distance(board.kingSquare[Us], front));
        t.Add(PassedEnemyKingTerm, Distance(board.kingSquare[1 - Us], front));
    }
    return t.score;
}

// Mobility and the attack on the enemy king of one piece of Us.
template <int Us, class Trace>
void PieceActivity(Terms<Us, Trace>& t, EvalState& st, Bitboard attacks, int mobilityTerm, int units) {
    t.Add(mobilityTerm + PopCount(attacks & st.mobilityArea[Us]));
    const Bitboard zone = attacks & st.kingZone[1 - Us];
    if (zone) {
        ++st.kingAttackers[Us];
        st.kingUnits[Us] += units * PopCount(zone);
    }
}

// 3. Knights, bishops, rooks and queens of Us, from Us's point of view.
template <int Us, class Trace>
Score PieceTerms(const Board& board, const TaperedWeights& w, Trace& trace, EvalState& st) {
    Terms<Us, Trace> t{w, trace};
    const Bitboard ownPawns = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemyPawns = board.pieceBitboard[PawnOf(1 - Us)];
    const Bitboard* passedSpan = Us == White ? PassedSpanWhite : PassedSpanBlack;
    const Bitboard* frontSpan = Us == White ? FrontSpanWhite : FrontSpanBlack;

    for (Bitboard b = board.pieceBitboard[KnightOf(Us)]; b; b &= b - 1) {
        const int s = LowestSquare(b);
        t.Add(MaterialTerm + 1);
        t.Add(PieceSquareTerm + 1 * 64 + RelativeSquare<Us>(s));
        t.Add(KnightPerPawnTerm, st.pawnTotal);
        const Bitboard attacks = KnightAttacks[s];
        st.minorAttacks[Us] |= attacks;
        PieceActivity(t, st, attacks, KnightMobilityTerm, KnightAttackUnits);
    }

    const Bitboard bishops = board.pieceBitboard[BishopOf(Us)];
    for (Bitboard b = bishops; b; b &= b - 1) {
        const int s = LowestSquare(b);
        t.Add(MaterialTerm + 2);
        t.Add(PieceSquareTerm + 2 * 64 + RelativeSquare<Us>(s));
        t.Add(BishopPerPawnTerm, st.pawnTotal);
        const Bitboard attacks = BishopAttacksFrom(board, s);
        st.minorAttacks[Us] |= attacks;
        PieceActivity(t, st, attacks, BishopMobilityTerm, BishopAttackUnits);
    }
    if ((bishops & LightSquares) && (bishops & ~LightSquares)) t.Add(BishopPairTerm);
    // A bishop that took a rim pawn deep in the enemy camp and can be shut in
    // by a pawn: a7/b6, b8/c7, g8/f7, h7/g6 (for White).
    const auto trappedAt = [&](int bishopSquare, int pawnSquare) {
        return (bishops & Bit(RelativeSquare<Us>(bishopSquare))) && (enemyPawns & Bit(RelativeSquare<Us>(pawnSquare)));
    };
    if (trappedAt(8, 17) || trappedAt(1, 10) || trappedAt(6, 13) || trappedAt(15, 22)) t.Add(TrappedBishopTerm);

    for (Bitboard b = board.pieceBitboard[RookOf(Us)]; b; b &= b - 1) {
        const int s = LowestSquare(b);
        t.Add(MaterialTerm + 3);
        t.Add(PieceSquareTerm + 3 * 64 + RelativeSquare<Us>(s));
        if (!(FileOthers[s] & ownPawns)) {
            t.Add((FileOthers[s] & enemyPawns) ? RookHalfOpenFileTerm : RookOpenFileTerm);
        } else {
            // An own passed pawn in front of the rook on its file.
            for (Bitboard p = frontSpan[s] & ownPawns; p; p &= p - 1) {
                const int q = LowestSquare(p);
                if (!(passedSpan[q] & enemyPawns) && !(frontSpan[q] & ownPawns)) {
                    t.Add(RookBehindPassedTerm);
                    break;
                }
            }
        }
        if (RelativeRank<Us>(s) == 6) t.Add(RookSeventhTerm);
        const Bitboard attacks = RookAttacksFrom(board, s);
        st.rookAttacks[Us] |= attacks;
        PieceActivity(t, st, attacks, RookMobilityTerm, RookAttackUnits);
    }

    for (Bitboard b = board.pieceBitboard[QueenOf(Us)]; b; b &= b - 1) {
        const int s = LowestSquare(b);
        t.Add(MaterialTerm + 4);
        t.Add(PieceSquareTerm + 4 * 64 + RelativeSquare<Us>(s));
        PieceActivity(t, st, QueenAttacksFrom(board, s), QueenMobilityTerm, QueenAttackUnits);
    }
    return t.score;
}

// 4. Us's king: its square, the pawns in front of it and the files at it.
template <int Us, class Trace>
Score KingTerms(const Board& board, const TaperedWeights& w, Trace& trace) {
    Terms<Us, Trace> t{w, trace};
    const int king = board.kingSquare[Us];
    const Bitboard ownPawns = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemyPawns = board.pieceBitboard[PawnOf(1 - Us)];
    t.Add(PieceSquareTerm + 5 * 64 + RelativeSquare<Us>(king));
    const Bitboard files = ColumnMask(ColumnOf(king)) | AdjacentFiles[king];
    const int row = RowOf(king);
    const int step = Us == White ? -1 : 1;
    if (row + step >= 0 && row + step < 8) t.Add(ShelterNearTerm, PopCount(files & ownPawns & RowMask(row + step)));
    if (row + 2 * step >= 0 && row + 2 * step < 8)
        t.Add(ShelterFarTerm, PopCount(files & ownPawns & RowMask(row + 2 * step)));
    for (int column = std::max(ColumnOf(king) - 1, 0); column <= std::min(ColumnOf(king) + 1, 7); ++column) {
        if (!(ColumnMask(column) & ownPawns)) t.Add(KingOwnOpenFileTerm);
        if (!(ColumnMask(column) & enemyPawns)) t.Add(KingEnemyOpenFileTerm);
    }
    return t.score;
}

// 5. Us's threats and attack on the enemy king, from what step 3 gathered.
template <int Us, class Trace>
Score AttackTerms(const Board& board, const TaperedWeights& w, Trace& trace, const EvalState& st) {
    Terms<Us, Trace> t{w, trace};
    constexpr int Them = 1 - Us;
    const Bitboard enemyRooks = board.pieceBitboard[RookOf(Them)];
    const Bitboard enemyQueens = board.pieceBitboard[QueenOf(Them)];
    const Bitboard byPawn = st.pawnAttacks[Us];
    t.Add(ThreatByPawnTerm + 0, PopCount(byPawn & board.pieceBitboard[KnightOf(Them)]));
    t.Add(ThreatByPawnTerm + 1, PopCount(byPawn & board.pieceBitboard[BishopOf(Them)]));
    t.Add(ThreatByPawnTerm + 2, PopCount(byPawn & enemyRooks));
    t.Add(ThreatByPawnTerm + 3, PopCount(byPawn & enemyQueens));
    t.Add(ThreatByMinorTerm + 0, PopCount(st.minorAttacks[Us] & enemyRooks));
    t.Add(ThreatByMinorTerm + 1, PopCount(st.minorAttacks[Us] & enemyQueens));
    t.Add(ThreatByRookTerm, PopCount(st.rookAttacks[Us] & enemyQueens));
    if (st.kingAttackers[Us] >= KingAttackersNeeded)
        t.Add(KingDangerTerm + std::min(st.kingUnits[Us], KingDangerSize - 1));
    return t.score;
}

int Blend(int mg, int eg, int phase) { return (mg * phase + eg * (PhaseMax - phase)) / PhaseMax; }

// A side ahead that cannot win gets a draw.
int DrawRules(int whiteScore, const bool cannotWin[2]) {
    if ((whiteScore > 0 && cannotWin[White]) || (whiteScore < 0 && cannotWin[Black])) return 0;
    return whiteScore;
}

}  // namespace

int TracedWhiteScore(const CoefficientTrace& trace, const TaperedWeights& weights) {
    int mg = 0;
    int eg = 0;
    for (int i = 0; i < TaperedTermCount; ++i) {
        const int c = trace.coefficient[i][White] - trace.coefficient[i][Black];
        mg += c * MgOf(weights.term[i]);
        eg += c * EgOf(weights.term[i]);
    }
    return DrawRules(Blend(mg, eg, trace.phase), trace.cannotWin);
}

template <class Trace>
int EvaluateTapered(const Position& pos, const TaperedWeights& weights, TaperedPawnCache* pawns, Trace& trace) {
    // A Board without both kings has no king squares to measure from.
    if (!pos.playable) return 0;
    const Board& board = pos.board;

    // 1. Which sides cannot win: a side without pawns and with at most a
    // minor piece (bare kings and a lone minor are a dead draw).
    bool cannotWin[2];
    for (int c : {Black, White}) {
        cannotWin[c] = board.pawnCount[c] == 0 && board.nonPawnMaterial[c] < WinningMaterialFrom;
        if (cannotWin[c]) trace.SetCannotWin(c);
    }
    if (cannotWin[White] && cannotWin[Black]) return 0;

    // 2. The phase.
    const int phase = std::min(
        PhaseMax, KnightPhase * PopCount(board.pieceBitboard[WhiteKnight] | board.pieceBitboard[BlackKnight]) +
                      BishopPhase * PopCount(board.pieceBitboard[WhiteBishop] | board.pieceBitboard[BlackBishop]) +
                      RookPhase * PopCount(board.pieceBitboard[WhiteRook] | board.pieceBitboard[BlackRook]) +
                      QueenPhase * PopCount(board.pieceBitboard[WhiteQueen] | board.pieceBitboard[BlackQueen]));
    trace.SetPhase(phase);

    // 3. Pawn structure, cached by pawn key (never while tracing).
    Score score = 0;
    const int pawnTotal = board.pawnCount[White] + board.pawnCount[Black];
    if (pawnTotal > 0) {
        Score pawnScore;
        if (Trace::Records || pawns == nullptr || !pawns->Probe(board.pawnKey, &pawnScore)) {
            pawnScore = PawnTerms<White>(board, weights, trace) - PawnTerms<Black>(board, weights, trace);
            if (!Trace::Records && pawns != nullptr) pawns->Store(board.pawnKey, pawnScore);
        }
        score += pawnScore;
        score += PassedPieceTerms<White>(board, weights, trace) - PassedPieceTerms<Black>(board, weights, trace);
    }

    // 4. Pieces, with what they attack.
    EvalState st{};
    st.pawnTotal = pawnTotal;
    for (int c : {Black, White}) {
        st.kingZone[c] = KingAttacks[board.kingSquare[c]] | Bit(board.kingSquare[c]);
    }
    st.pawnAttacks[White] = PawnAttacksOf<White>(board.pieceBitboard[WhitePawn]);
    st.pawnAttacks[Black] = PawnAttacksOf<Black>(board.pieceBitboard[BlackPawn]);
    st.mobilityArea[White] = ~(board.colourOccupied[White] | st.pawnAttacks[Black]);
    st.mobilityArea[Black] = ~(board.colourOccupied[Black] | st.pawnAttacks[White]);
    score += PieceTerms<White>(board, weights, trace, st) - PieceTerms<Black>(board, weights, trace, st);

    // 5. Kings, threats and king danger.
    score += KingTerms<White>(board, weights, trace) - KingTerms<Black>(board, weights, trace);
    score += AttackTerms<White>(board, weights, trace, st) - AttackTerms<Black>(board, weights, trace, st);

    // 6. The side to move.
    const int side = pos.sideToMove;
    score += side == White ? weights.term[TempoTerm] : -weights.term[TempoTerm];
    trace.Add(TempoTerm, side);

    // 7. Blend by phase, the draw rules, the side to move's view.
    const int white = DrawRules(Blend(MgOf(score), EgOf(score), phase), cannotWin);
    return side == White ? white : -white;
}

template int EvaluateTapered<NoTrace>(const Position&, const TaperedWeights&, TaperedPawnCache*, NoTrace&);
template int EvaluateTapered<CoefficientTrace>(const Position&, const TaperedWeights&, TaperedPawnCache*,
                                               CoefficientTrace&);

int EvaluateTapered(const Position& pos, TaperedPawnCache& pawns) {
    NoTrace none;
    return EvaluateTapered(pos, TaperedDefaults, &pawns, none);
}

}  // namespace kavrin
