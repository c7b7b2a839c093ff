#include "search/eval.h"

#include "board/board.h"
#include "board/pst.h"
#include "board/tables.h"
#include "board/types.h"
#include "search/eval_tables.h"
#include "search/pawnhash.h"

namespace kavrin {

namespace {

// The weights every step reads.
constexpr const ClassicEvalWeights& W = ClassicEval;

// Light squares: row + column even (a8 and h1 are light).
constexpr Bitboard LightSquares = [] {
    Bitboard b = 0;
    for (int s = 0; s < 64; ++s)
        if (((RowOf(s) + ColumnOf(s)) & 1) == 0) b |= Bit(s);
    return b;
}();

// Chebyshev distance between two squares.
struct DistanceTable {
    uint8_t d[64][64];
};
constexpr DistanceTable Distance = [] {
    DistanceTable t{};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            const int dr = RowOf(a) > RowOf(b) ? RowOf(a) - RowOf(b) : RowOf(b) - RowOf(a);
            const int dc = ColumnOf(a) > ColumnOf(b) ? ColumnOf(a) - ColumnOf(b) : ColumnOf(b) - ColumnOf(a);
            t.d[a][b] = static_cast<uint8_t>(dr > dc ? dr : dc);
        }
    return t;
}();

// The square that plays the role of White's square s for colour Us: the same
// file, the rank seen from Us's side of the board.
template <int Us>
constexpr int RelativeSquare(int s) {
    return Us == White ? s : s ^ 56;
}

// Index into a piece-square table: black pieces read the board turned by half
// a turn.
template <int Us>
constexpr int PstIndex(int s) {
    return Us == White ? s : 63 - s;
}

// What one side's piece loops leave for the king-danger and imbalance terms.
struct SideCounts {
    int minors = 0;            // knights and bishops
    int majors = 0;            // rooks and queens
    int enemyKingAttacks = 0;  // tropism and king-zone points against the enemy king
};

// Pawn-shelter bonus of Us's king on its first rank, from Us's point of view.
template <int Us>
int ShelterTerm(const Board& board, bool enemyHasQueen) {
    const int unit = (enemyHasQueen ? W.shelterQueenUnit : 0) + W.shelterUnit;
    const int king = RelativeSquare<Us>(board.kingSquare[Us]);
    const auto pieceAt = [&board](int whiteSquare) { return board.pieceOn[RelativeSquare<Us>(whiteSquare)]; };
    const int ownPawn = PawnOf(Us);
    const int ownRook = RookOf(Us);
    int term = 0;
    // King side: king on f1, g1 or h1 with no rook on g1 or h1.
    if (king >= 61 && pieceAt(62) != ownRook && pieceAt(63) != ownRook) {
        for (int s = 53; s <= 55; ++s)
            if (pieceAt(s) == ownPawn) term += unit + W.shelterKingSideExtra;
        if (pieceAt(46) == ownPawn || pieceAt(47) == ownPawn) term += (unit + W.shelterKingSideExtra) / 2;
    }
    // Queen side: king on a1, b1 or c1 with no rook on a1 or b1.
    if (king >= 56 && king <= 58 && pieceAt(56) != ownRook && pieceAt(57) != ownRook) {
        for (int s = 48; s <= 50; ++s)
            if (pieceAt(s) == ownPawn) term += unit + W.shelterQueenSideExtra;
        if (pieceAt(40) == ownPawn || pieceAt(41) == ownPawn) term += (unit + W.shelterQueenSideExtra) / 2;
    }
    return term;
}

// Openness count (0..15) of the files around Us's king: missing own pawns
// weigh more than missing enemy pawns, and an enemy queen adds one.
template <int Us>
int OpennessCount(const Board& board, bool enemyHasQueen) {
    const int king = board.kingSquare[Us];
    const Bitboard own = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemy = board.pieceBitboard[PawnOf(1 - Us)];
    int count = 0;
    if (!(FileOthers[king] & own)) count = 2;
    if (!(FileOthers[king] & enemy)) count += count != 0 ? 2 : 1;
    const auto neighbour = [&](int s) {
        if (!(FileOthers[s] & own)) count += count < 4 ? 2 : 3;
        if (!(FileOthers[s] & enemy)) count += count < 4 ? 1 : 2;
    };
    if (ColumnOf(king) != 7) neighbour(king + 1);
    if (ColumnOf(king) != 0) neighbour(king - 1);
    if (enemyHasQueen) count += 1;
    return count;
}

// Pawn material, table values and structure of Us's pawns, from Us's point of
// view.
template <int Us>
int PawnTerms(const Board& board, const int16_t* pst) {
    const Bitboard own = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemy = board.pieceBitboard[PawnOf(1 - Us)];
    const Bitboard* passedSpan = Us == White ? PassedSpanWhite : PassedSpanBlack;
    const Bitboard* frontSpan = Us == White ? FrontSpanWhite : FrontSpanBlack;
    // Squares from which enemy pawns attack s, and from which own pawns defend it.
    const Bitboard* attackerSquares = Us == White ? WhitePawnAttacks : BlackPawnAttacks;
    const Bitboard* defenderSquares = Us == White ? BlackPawnAttacks : WhitePawnAttacks;
    int term = 0;
    for (Bitboard b = own; b; b &= b - 1) {
        const int s = LowestSquare(b);
        const int relative = RelativeSquare<Us>(s);
        term += pst[PstIndex<Us>(s)] + W.pieceValue[PawnOf(Us)];
        bool passed = !(passedSpan[s] & enemy);
        if (FileOthers[s] & own) {
            term -= W.doubledPawn;
            // Of a doubled pair only the front pawn counts as passed.
            if (passed && (frontSpan[s] & own)) passed = false;
        }
        if (passed) term += (7 - RowOf(relative)) * W.passedPawnPerRank;
        if (!(AdjacentFiles[s] & own)) {
            term -= W.isolatedPawn;
            if (!(frontSpan[s] & enemy)) term -= W.isolatedPawnOpen;
        } else if (!passed && relative >= 16) {
            const Bitboard attackers = attackerSquares[s] & enemy;
            if (attackers) {
                int weight = (attackers & (attackers - 1)) ? W.weakPawnTwoAttackers : W.weakPawnOneAttacker;
                const Bitboard defenders = defenderSquares[s] & own;
                if (defenders) weight -= (defenders & (defenders - 1)) ? W.weakPawnTwoDefenders : W.weakPawnOneDefender;
                term -= weight * W.weakPawnUnit;
            }
        }
    }
    return term;
}

// Knights of Us, from Us's point of view.
template <int Us>
int KnightTerms(const Board& board, const int16_t* pst, int pawnTotal, SideCounts& counts) {
    const int enemyKing = board.kingSquare[1 - Us];
    const Bitboard kingZone = KingAttacks[enemyKing];
    int term = 0;
    for (Bitboard b = board.pieceBitboard[KnightOf(Us)]; b; b &= b - 1) {
        const int s = LowestSquare(b);
        term += pst[PstIndex<Us>(s)] + W.pieceValue[KnightOf(Us)] + (pawnTotal - W.knightPawnBase);
        ++counts.minors;
        counts.enemyKingAttacks += W.knightTropism[Distance.d[s][enemyKing]];
        if (KnightAttacks[s] & kingZone) ++counts.enemyKingAttacks;
    }
    return term;
}

// Bishops of Us with their mobility, the trapped-bishop penalty and the pair
// bonus, from Us's point of view.
template <int Us>
int BishopTerms(const Board& board, const int16_t* pst, int pawnTotal, SideCounts& counts) {
    const int enemyKing = board.kingSquare[1 - Us];
    const Bitboard kingZone = KingAttacks[enemyKing];
    const Bitboard notOwn = ~board.colourOccupied[Us];
    const Bitboard bishops = board.pieceBitboard[BishopOf(Us)];
    int term = 0;
    for (Bitboard b = bishops; b; b &= b - 1) {
        const int s = LowestSquare(b);
        term += pst[PstIndex<Us>(s)] + W.pieceValue[BishopOf(Us)];
        counts.enemyKingAttacks += W.bishopTropism[Distance.d[s][enemyKing]];
        ++counts.minors;
        const Bitboard attacks = BishopAttacksFrom(board, s);
        term += W.bishopMobility * PopCount(attacks & notOwn) - pawnTotal - W.bishopBase;
        if (attacks & kingZone) ++counts.enemyKingAttacks;
    }
    // A bishop that took a rim pawn deep in the enemy camp and can be shut in
    // by a pawn: a7/b6, b8/c7, g8/f7, h7/g6 (for White).
    const Bitboard enemyPawns = board.pieceBitboard[PawnOf(1 - Us)];
    const auto trappedAt = [&](int bishopSquare, int pawnSquare) {
        return (bishops & Bit(RelativeSquare<Us>(bishopSquare))) && (enemyPawns & Bit(RelativeSquare<Us>(pawnSquare)));
    };
    if (trappedAt(8, 17) || trappedAt(1, 10) || trappedAt(6, 13) || trappedAt(15, 22)) term -= W.trappedBishop;
    if ((bishops & LightSquares) && (bishops & ~LightSquares)) term += W.bishopPair;
    return term;
}

// Rooks of Us with their file, mobility and seventh-rank terms, from Us's
// point of view.
template <int Us>
int RookTerms(const Board& board, const int16_t* pst, SideCounts& counts) {
    const int enemyKing = board.kingSquare[1 - Us];
    const Bitboard kingZone = KingAttacks[enemyKing];
    const Bitboard notOwn = ~board.colourOccupied[Us];
    const Bitboard ownPawns = board.pieceBitboard[PawnOf(Us)];
    const Bitboard enemyPawns = board.pieceBitboard[PawnOf(1 - Us)];
    const Bitboard* passedSpan = Us == White ? PassedSpanWhite : PassedSpanBlack;
    const Bitboard rooks = board.pieceBitboard[RookOf(Us)];
    int term = 0;
    for (Bitboard b = rooks; b; b &= b - 1) {
        const int s = LowestSquare(b);
        term += pst[PstIndex<Us>(s)] + W.pieceValue[RookOf(Us)];
        counts.enemyKingAttacks += W.rookTropism[Distance.d[s][enemyKing]];
        ++counts.majors;
        const Bitboard filePawns = FileOthers[s] & ownPawns;
        if (filePawns) {
            // The own pawn on this file nearest rank 1; a rook behind it
            // supports it when it is passed.
            const int q = LowestSquare(filePawns);
            const bool behind = Us == White ? s > q : s < q;
            if (!(passedSpan[q] & enemyPawns) && behind) term += W.rookBehindPassedPawn;
        } else {
            term += W.rookHalfOpenFile;
            if (!(FileOthers[s] & enemyPawns)) term += W.rookOpenFile;
        }
        const Bitboard attacks = RookAttacksFrom(board, s);
        term += W.rookMobility * PopCount(attacks & notOwn) - W.rookBase;
        if (attacks & kingZone) ++counts.enemyKingAttacks;
    }
    const Bitboard onSeventh = rooks & RowMask(RowOf(RelativeSquare<Us>(8)));
    if (onSeventh) {
        term += W.rookSeventh;
        if (onSeventh & (onSeventh - 1)) {
            term += W.rooksDoubledOnSeventh;
            const int kingRow = RowOf(RelativeSquare<Us>(enemyKing));
            if (kingRow == 0)
                term += W.rooksSeventhKingOnEighth;
            else if (kingRow == 1)
                term += W.rooksSeventhKingOnSeventh;
        }
    }
    return term;
}

// Queens of Us with their mobility, from Us's point of view.
template <int Us>
int QueenTerms(const Board& board, const int16_t* pst, SideCounts& counts) {
    const int enemyKing = board.kingSquare[1 - Us];
    const Bitboard kingZone = KingAttacks[enemyKing];
    const Bitboard notOwn = ~board.colourOccupied[Us];
    int term = 0;
    for (Bitboard b = board.pieceBitboard[QueenOf(Us)]; b; b &= b - 1) {
        const int s = LowestSquare(b);
        term += pst[PstIndex<Us>(s)] + W.pieceValue[QueenOf(Us)];
        counts.enemyKingAttacks += W.queenTropism[Distance.d[s][enemyKing]];
        ++counts.majors;
        const Bitboard attacks = QueenAttacksFrom(board, s);
        term += W.queenMobility * PopCount(attacks & notOwn) - W.queenBase;
        if (attacks & kingZone) ++counts.enemyKingAttacks;
    }
    return term;
}

// Bonus for White from the balance of minor and major pieces.
int ImbalanceTerm(int minor, int major, bool whiteQueen, bool blackQueen, int whiteMaterial, int blackMaterial) {
    const bool queensEqual = whiteQueen == blackQueen;
    const bool onlyWhiteQueen = whiteQueen && !blackQueen;
    const bool onlyBlackQueen = blackQueen && !whiteQueen;
    int term = 0;
    if (minor != 0) {
        switch (major) {
            case -2:
                if (minor > 2) term += W.imbalanceThreeMinors;
                break;
            case -1:
                if (minor > 1)
                    term += W.imbalanceTwoMinors;
                else if (minor == 1)
                    term -= W.imbalanceOneMinor;
                if (onlyWhiteQueen && whiteMaterial >= W.queenImbalanceAt) term += W.imbalanceQueen;
                break;
            case 0:
                if (queensEqual) term += minor > 0 ? W.imbalanceMajor : -W.imbalanceMajor;
                break;
            case 1:
                if (minor < -1)
                    term -= W.imbalanceTwoMinors;
                else if (minor == -1)
                    term += W.imbalanceOneMinor;
                if (onlyBlackQueen && blackMaterial >= W.queenImbalanceAt) term -= W.imbalanceQueen;
                break;
            case 2:
                if (minor < -2) term -= W.imbalanceThreeMinors;
                break;
            default:
                break;
        }
    } else if (major == 0) {
        if (onlyWhiteQueen)
            term += W.imbalanceQueen;
        else if (onlyBlackQueen)
            term -= W.imbalanceQueen;
    } else if (queensEqual) {
        term += major > 0 ? W.imbalanceMajor : -W.imbalanceMajor;
    } else if (onlyWhiteQueen) {
        if (whiteMaterial >= W.queenImbalanceAt) term += W.imbalanceQueen;
    } else if (blackMaterial >= W.queenImbalanceAt) {
        term -= W.imbalanceQueen;
    }
    return term;
}

// Danger to a king from its openness and the attack points against it. Counts
// beyond the weight table (only with many promoted pieces) take its last entry.
int KingDanger(int openness, int attackCount) {
    if (attackCount >= KingAttackWeightSize) attackCount = KingAttackWeightSize - 1;
    return static_cast<int16_t>(W.shelterMultiplier[openness] * W.kingAttackWeight[attackCount]);
}

}  // namespace

int Evaluate(const Position& pos, PawnCache& pawns) {
    // A Board without both kings has no king squares to measure from.
    if (!pos.playable) return 0;
    const Board& board = pos.board;
    const int sideToMove = pos.sideToMove;

    const int whiteKing = board.kingSquare[White];
    const int blackKing = board.kingSquare[Black];
    const int pawnTotal = board.pawnCount[Black] + board.pawnCount[White];
    const int phase = board.totalMaterial;
    const int whiteMaterial = board.nonPawnMaterial[White];
    const int blackMaterial = board.nonPawnMaterial[Black];
    const bool whiteQueen = board.pieceBitboard[WhiteQueen] != 0;
    const bool blackQueen = board.pieceBitboard[BlackQueen] != 0;

    // 1. Bare kings, or a single minor piece, and no pawns: a dead draw.
    if (pawnTotal == 0 && phase < MatingMaterialFloor) return 0;

    // The sum is taken modulo 2^16 at the end, exactly as if every step were
    // done in 16 bits.
    // 2. King tables, the same orientation for both kings.
    const int16_t* kingTable = PhaseTable(KingKind, phase);
    int score = kingTable[whiteKing] - kingTable[blackKing];

    // 3. King shelter and the openness of the king's files, while enough
    // material is left for an attack.
    int whiteOpenness = 0;
    int blackOpenness = 0;
    if (phase > W.shelterMaterialAbove) {
        score += ShelterTerm<White>(board, blackQueen);
        score -= ShelterTerm<Black>(board, whiteQueen);
        whiteOpenness = OpennessCount<White>(board, blackQueen);
        blackOpenness = OpennessCount<Black>(board, whiteQueen);
    }

    // 4. Pawn structure, cached by pawn key (with the table values of the
    // phase it was first computed at).
    if (pawnTotal > 0) {
        int16_t pawnScore;
        if (!pawns.Probe(board.pawnKey, &pawnScore)) {
            const int16_t* pawnTable = PhaseTable(PawnKind, phase);
            pawnScore = static_cast<int16_t>(PawnTerms<White>(board, pawnTable) - PawnTerms<Black>(board, pawnTable));
            pawns.Store(board.pawnKey, pawnScore);
        }
        score += pawnScore;
    }

    SideCounts white;
    SideCounts black;
    // 5. Knights.
    const int16_t* knightTable = PhaseTable(KnightKind, phase);
    score += KnightTerms<White>(board, knightTable, pawnTotal, white);
    score -= KnightTerms<Black>(board, knightTable, pawnTotal, black);
    // 6. Bishops.
    const int16_t* bishopTable = PhaseTable(BishopKind, phase);
    score += BishopTerms<White>(board, bishopTable, pawnTotal, white);
    score -= BishopTerms<Black>(board, bishopTable, pawnTotal, black);
    // 7. Rooks.
    const int16_t* rookTable = PhaseTable(RookKind, phase);
    score += RookTerms<White>(board, rookTable, white);
    score -= RookTerms<Black>(board, rookTable, black);
    // 8. Queens.
    const int16_t* queenTable = PhaseTable(QueenKind, phase);
    score += QueenTerms<White>(board, queenTable, white);
    score -= QueenTerms<Black>(board, queenTable, black);

    // 9. Material imbalance, once either side has more than a minor piece.
    if (blackMaterial >= W.minorExceededAt || whiteMaterial >= W.minorExceededAt)
        score += ImbalanceTerm(white.minors - black.minors, white.majors - black.majors, whiteQueen, blackQueen,
                               whiteMaterial, blackMaterial);

    // 10-12. King danger from the attack points gathered in steps 5 to 8.
    if (blackMaterial > W.kingDangerAbove) score -= KingDanger(whiteOpenness, black.enemyKingAttacks);
    if (whiteMaterial > W.kingDangerAbove) score += KingDanger(blackOpenness, white.enemyKingAttacks);

    // 13. Side to move, and no winning score for a side that has neither pawns
    // nor more than one minor piece.
    int16_t result = static_cast<int16_t>(score);
    if (sideToMove == Black) result = static_cast<int16_t>(-result);
    if (result > 0 && board.pawnCount[sideToMove] == 0 && board.nonPawnMaterial[sideToMove] < W.minorExceededAt)
        result = 0;
    return result;
}

}  // namespace kavrin
