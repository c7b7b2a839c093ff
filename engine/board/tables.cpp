#include "board/tables.h"

#include <mutex>

namespace kavrin {

Bitboard SquareMask[64];
Bitboard SquareMaskFiles[64];
Bitboard SquareMaskA1H8[64];
Bitboard SquareMaskA8H1[64];
Bitboard KingAttacks[64];
Bitboard KnightAttacks[64];
Bitboard WhitePawnAttacks[64];
Bitboard BlackPawnAttacks[64];
Bitboard RankAttacks[64][256];
Bitboard FileAttacks[64][256];
Bitboard DiagA1H8Attacks[64][256];
Bitboard DiagA8H1Attacks[64][256];
Bitboard RankInnerAttacks[64][64];
Bitboard FileInnerAttacks[64][64];
Bitboard DiagA1H8InnerAttacks[64][64];
Bitboard DiagA8H1InnerAttacks[64][64];
Bitboard RookRays[64];
Bitboard BishopRays[64];
Bitboard QueenRays[64];
Bitboard FileOthers[64];
Bitboard AdjacentFiles[64];
Bitboard PassedSpanWhite[64];
Bitboard PassedSpanBlack[64];
Bitboard FrontSpanWhite[64];
Bitboard FrontSpanBlack[64];
Bitboard EpRotatedMasks[3][64];

namespace {

constexpr bool OnBoard(int row, int column) { return row >= 0 && row < 8 && column >= 0 && column < 8; }

// The diagonal layouts list the squares in a fixed sequence; the square at
// sequence position i is stored at bit 63 - i of the rotated occupancy.
struct DiagonalLayout {
    uint8_t square[64];    // sequence position -> square
    uint8_t position[64];  // square -> sequence position
};

// Diagonals with equal row + column, in increasing order, each from its
// lower-left end upwards: a8; a7 b8; a6 b7 c8; ...; g1 h2; h1.
constexpr DiagonalLayout LayoutA1H8 = [] {
    DiagonalLayout layout{};
    int i = 0;
    for (int sum = 0; sum <= 14; ++sum)
        for (int row = sum < 7 ? sum : 7; row >= 0 && sum - row <= 7; --row) {
            const int s = row * 8 + (sum - row);
            layout.square[i] = static_cast<uint8_t>(s);
            layout.position[s] = static_cast<uint8_t>(i++);
        }
    return layout;
}();

// Diagonals with equal column - row, from 7 down to -7, each from its
// upper-left end downwards: h8; g8 h7; f8 g7 h6; ...; a2 b1; a1.
constexpr DiagonalLayout LayoutA8H1 = [] {
    DiagonalLayout layout{};
    int i = 0;
    for (int diff = 7; diff >= -7; --diff)
        for (int row = diff < 0 ? -diff : 0; row <= 7 && row + diff <= 7; ++row) {
            const int s = row * 8 + row + diff;
            layout.square[i] = static_cast<uint8_t>(s);
            layout.position[s] = static_cast<uint8_t>(i++);
        }
    return layout;
}();

// Bit of square s in the file layout: file c fills bits 8c..8c+7, rank 8 highest.
constexpr int FileLayoutBit(int s) { return 8 * ColumnOf(s) + 7 - RowOf(s); }
constexpr int A1H8LayoutBit(int s) { return 63 - LayoutA1H8.position[s]; }
constexpr int A8H1LayoutBit(int s) { return 63 - LayoutA8H1.position[s]; }

// Shift or mask of every square's diagonal in a layout: the diagonal's
// squares are those that sameLine puts on the square's line.
template <typename SameLine>
constexpr SquareBytes LineIndex(const DiagonalLayout& layout, SameLine sameLine, bool wantShift) {
    SquareBytes bytes{};
    for (int s = 0; s < 64; ++s) {
        int last = -1;
        int length = 0;
        for (int i = 0; i < 64; ++i)
            if (sameLine(layout.square[i], s)) {
                last = i;
                ++length;
            }
        bytes[s] = static_cast<uint8_t>(wantShift ? 63 - last : (1u << length) - 1);
    }
    return bytes;
}
constexpr auto SameA1H8 = [](int a, int b) { return RowOf(a) + ColumnOf(a) == RowOf(b) + ColumnOf(b); };
constexpr auto SameA8H1 = [](int a, int b) { return ColumnOf(a) - RowOf(a) == ColumnOf(b) - RowOf(b); };

Bitboard Rotate(Bitboard b, int (*layoutBit)(int)) {
    Bitboard rotated = 0;
    while (b) {
        const int s = LowestSquare(b);
        b &= b - 1;
        rotated |= Bitboard{1} << layoutBit(s);
    }
    return rotated;
}

// Adds the targets of a leaper with the given (row, column) steps.
template <int N>
Bitboard LeaperTargets(int s, const int (&steps)[N][2]) {
    Bitboard targets = 0;
    for (const auto& step : steps) {
        const int row = RowOf(s) + step[0];
        const int column = ColumnOf(s) + step[1];
        if (OnBoard(row, column)) targets |= Bit(row * 8 + column);
    }
    return targets;
}

void BuildKingAttacks() {
    constexpr int steps[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
    for (int s = 0; s < 64; ++s) KingAttacks[s] = LeaperTargets(s, steps);
}

void BuildPawnAttacks() {
    constexpr int whiteSteps[2][2] = {{-1, -1}, {-1, 1}};
    constexpr int blackSteps[2][2] = {{1, -1}, {1, 1}};
    for (int s = 0; s < 64; ++s) {
        WhitePawnAttacks[s] = LeaperTargets(s, whiteSteps);
        BlackPawnAttacks[s] = LeaperTargets(s, blackSteps);
    }
}

void BuildKnightAttacks() {
    constexpr int steps[8][2] = {{-2, -1}, {-2, 1}, {-1, -2}, {-1, 2}, {1, -2}, {1, 2}, {2, -1}, {2, 1}};
    for (int s = 0; s < 64; ++s) KnightAttacks[s] = LeaperTargets(s, steps);
}

// Fills table[s][index] for one kind of line. lineSquares lists the squares of
// the line through s by index bit (bit 0 first), length is the number of bits
// the line uses and own the index bit of s. The walk goes outwards from s in
// both directions and stops after the first occupied bit.
void FillLineAttacks(Bitboard (&entries)[256], const int* lineSquares, int length, int own) {
    const unsigned lineMask = (1u << length) - 1;
    for (unsigned index = 0; index < 256; ++index) {
        const unsigned occupancy = index & lineMask;
        Bitboard attacks = 0;
        for (int bit = own + 1; bit < length; ++bit) {
            attacks |= Bit(lineSquares[bit]);
            if (occupancy & (1u << bit)) break;
        }
        for (int bit = own - 1; bit >= 0; --bit) {
            attacks |= Bit(lineSquares[bit]);
            if (occupancy & (1u << bit)) break;
        }
        entries[index] = attacks;
    }
}

void BuildRankAttacks() {
    for (int s = 0; s < 64; ++s) {
        int lineSquares[8];  // rank byte: bit 7 is the a-file
        for (int bit = 0; bit < 8; ++bit) lineSquares[bit] = RowOf(s) * 8 + 7 - bit;
        FillLineAttacks(RankAttacks[s], lineSquares, 8, 7 - ColumnOf(s));
    }
}

void BuildFileAttacks() {
    for (int s = 0; s < 64; ++s) {
        int lineSquares[8];  // file byte: bit 7 is rank 8
        for (int bit = 0; bit < 8; ++bit) lineSquares[bit] = (7 - bit) * 8 + ColumnOf(s);
        FillLineAttacks(FileAttacks[s], lineSquares, 8, 7 - RowOf(s));
    }
}

// Index bit 0 of a diagonal is its last square in sequence order.
void BuildDiagonalAttacks(Bitboard (&table)[64][256], const DiagonalLayout& layout, const SquareBytes& shift,
                          const SquareBytes& mask) {
    for (int s = 0; s < 64; ++s) {
        const int last = 63 - shift[s];
        const int length = PopCount(mask[s]);
        int lineSquares[8];
        for (int bit = 0; bit < length; ++bit) lineSquares[bit] = layout.square[last - bit];
        FillLineAttacks(table[s], lineSquares, length, last - layout.position[s]);
    }
}

void BuildMasksAndRays() {
    for (int s = 0; s < 64; ++s) {
        SquareMask[s] = Bit(s);
        SquareMaskFiles[s] = RotateFiles(SquareMask[s]);
        SquareMaskA1H8[s] = RotateA1H8(SquareMask[s]);
        SquareMaskA8H1[s] = RotateA8H1(SquareMask[s]);
    }
    for (int s = 0; s < 64; ++s) {
        const int row = RowOf(s);
        const int column = ColumnOf(s);
        Bitboard file = 0, adjacent = 0, above = 0, below = 0;
        for (int q = 0; q < 64; ++q) {
            if (ColumnOf(q) == column) file |= SquareMask[q];
            if (ColumnOf(q) == column - 1 || ColumnOf(q) == column + 1) adjacent |= SquareMask[q];
            if (RowOf(q) < row) above |= SquareMask[q];
            if (RowOf(q) > row) below |= SquareMask[q];
        }
        FileOthers[s] = file & ~SquareMask[s];
        AdjacentFiles[s] = adjacent;
        FrontSpanWhite[s] = file & above;
        FrontSpanBlack[s] = file & below;
        PassedSpanWhite[s] = (file | adjacent) & above;
        PassedSpanBlack[s] = (file | adjacent) & below;
    }
    // A piece alone on the board: the occupancy holds its own square only.
    for (int s = 0; s < 64; ++s) {
        const Bitboard alone = SquareMask[s];
        RookRays[s] = RankAttacks[s][RankByte(alone, s)] | FileAttacks[s][FileByte(SquareMaskFiles[s], s)];
        BishopRays[s] = DiagA1H8Attacks[s][(SquareMaskA1H8[s] >> ShiftA1H8[s]) & MaskA1H8[s]] |
                        DiagA8H1Attacks[s][(SquareMaskA8H1[s] >> ShiftA8H1[s]) & MaskA8H1[s]];
        QueenRays[s] = RookRays[s] | BishopRays[s];
    }
}

// A rank or file: six inner squares on every square's line.
constexpr SquareBytes EveryInnerSquare = [] {
    SquareBytes all{};
    all.fill(63);
    return all;
}();

void BuildInnerAttacks(Bitboard (&inner)[64][64], const Bitboard (&full)[64][256], const SquareBytes& innerMask) {
    for (int s = 0; s < 64; ++s)
        for (unsigned i = 0; i <= innerMask[s]; ++i) inner[s][i] = full[s][i << 1];
}

// Shift and mask of a diagonal's inner squares: the bits between its two
// ends (none on a diagonal of one or two squares).
constexpr SquareBytes InnerShiftOf(const SquareBytes& shift) {
    SquareBytes inner{};
    for (int s = 0; s < 64; ++s) inner[s] = static_cast<uint8_t>(shift[s] < 63 ? shift[s] + 1 : 63);
    return inner;
}
constexpr SquareBytes InnerMaskOf(const SquareBytes& mask) {
    SquareBytes inner{};
    for (int s = 0; s < 64; ++s) inner[s] = static_cast<uint8_t>(mask[s] >> 2);
    return inner;
}

void BuildEpRotatedMasks() {
    for (int destination = 0; destination < 64; ++destination) {
        if (!IsEpSquare(destination)) continue;
        // The captured pawn stands one step beyond, seen from the capturer.
        const int captured = RowOf(destination) < 4 ? destination + 8 : destination - 8;
        EpRotatedMasks[0][destination] = SquareMaskFiles[destination] | SquareMaskFiles[captured];
        EpRotatedMasks[1][destination] = SquareMaskA1H8[destination] | SquareMaskA1H8[captured];
        EpRotatedMasks[2][destination] = SquareMaskA8H1[destination] | SquareMaskA8H1[captured];
    }
}

}  // namespace

constexpr SquareBytes ShiftA1H8 = LineIndex(LayoutA1H8, SameA1H8, true);
constexpr SquareBytes MaskA1H8 = LineIndex(LayoutA1H8, SameA1H8, false);
constexpr SquareBytes ShiftA8H1 = LineIndex(LayoutA8H1, SameA8H1, true);
constexpr SquareBytes MaskA8H1 = LineIndex(LayoutA8H1, SameA8H1, false);
constexpr SquareBytes InnerShiftA1H8 = InnerShiftOf(ShiftA1H8);
constexpr SquareBytes InnerMaskA1H8 = InnerMaskOf(MaskA1H8);
constexpr SquareBytes InnerShiftA8H1 = InnerShiftOf(ShiftA8H1);
constexpr SquareBytes InnerMaskA8H1 = InnerMaskOf(MaskA8H1);

Bitboard RotateFiles(Bitboard b) { return Rotate(b, FileLayoutBit); }
Bitboard RotateA1H8(Bitboard b) { return Rotate(b, A1H8LayoutBit); }
Bitboard RotateA8H1(Bitboard b) { return Rotate(b, A8H1LayoutBit); }

void BuildTables() {
    // Once per process: every engine of the process reads the same tables,
    // and one may be searching when another starts.
    static std::once_flag built;
    std::call_once(built, [] {
        BuildKingAttacks();
        BuildPawnAttacks();
        BuildKnightAttacks();
        BuildRankAttacks();
        BuildFileAttacks();
        BuildDiagonalAttacks(DiagA1H8Attacks, LayoutA1H8, ShiftA1H8, MaskA1H8);
        BuildDiagonalAttacks(DiagA8H1Attacks, LayoutA8H1, ShiftA8H1, MaskA8H1);
        BuildInnerAttacks(RankInnerAttacks, RankAttacks, EveryInnerSquare);
        BuildInnerAttacks(FileInnerAttacks, FileAttacks, EveryInnerSquare);
        BuildInnerAttacks(DiagA1H8InnerAttacks, DiagA1H8Attacks, InnerMaskA1H8);
        BuildInnerAttacks(DiagA8H1InnerAttacks, DiagA8H1Attacks, InnerMaskA8H1);
        BuildMasksAndRays();
        BuildEpRotatedMasks();
    });
}

}  // namespace kavrin
