// The Syzygy tablebase module: the position handed to the probing library,
// the checks of table files, loading (and refusing) tables, WDL probes, the
// ranking of root moves and probes from two threads at once. Every test but
// the conversion reads the 3- and 4-piece tables (support/tablebases.h).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/tablebase.h"
#include "search/tb_files.h"
#include "search/tb_position.h"
#include "support/files.h"
#include "support/tablebases.h"

namespace kavrin {
namespace {

namespace fs = std::filesystem;

// A position of its own for each test (a Position is large: on the heap).
std::unique_ptr<Position> Read(const char* fen, int fiftyCounter = 0) {
    auto pos = std::make_unique<Position>();
    EXPECT_TRUE(ReadFen(*pos, fen)) << fen;
    SetFiftyMoveCounter(*pos, fiftyCounter);
    return pos;
}

// ---- The conversion, square by square.

// Bit of a square named in text, counted from a1 as the library counts.
uint64_t LibraryBit(const std::string& name) { return uint64_t{1} << ((name[0] - 'a') + 8 * (name[1] - '1')); }

struct ConversionCase {
    const char* fen;
    int fiftyCounter;
    // Pieces as letter and square ("Ke1 qd8": upper case white).
    const char* pieces;
    const char* ep;  // "" for none
    unsigned castling;
    bool whiteToMove;
};

const ConversionCase ConversionCases[] = {
    // Every kind of piece of both colours, and every castling right.
    {"r3k2r/1p4p1/2n2b2/3q4/4Q3/2B2N2/1P4P1/R3K2R w KQkq - 0 1", 0,
     "Ra1 Ke1 Rh1 Pb2 Pg2 Bc3 Nf3 Qe4 qd5 nc6 bf6 pb7 pg7 ra8 ke8 rh8", "",
     TbCastleWhiteKing | TbCastleWhiteQueen | TbCastleBlackKing | TbCastleBlackQueen, true},
    // Black to move, some rights gone, the fifty-move counter running.
    {"r3k3/8/8/8/8/8/8/4K2R b Kq - 7 30", 7, "Ke1 Rh1 ra8 ke8", "", TbCastleWhiteKing | TbCastleBlackQueen, false},
    // En passant on both wings and for both sides; corners a8 and h1.
    {"k7/8/8/pP6/8/8/8/7K w - a6 0 2", 0, "Kh1 Pb5 pa5 ka8", "a6", 0, true},
    {"7k/8/8/8/6pP/8/8/K7 b - h3 0 2", 0, "Ka1 Ph4 pg4 kh8", "h3", 0, false},
};

TEST(TablebaseConversion, EveryPieceSquareAndCounterReachesTheLibraryAsItCountsSquares) {
    for (const ConversionCase& c : ConversionCases) {
        SCOPED_TRACE(c.fen);
        const auto pos = Read(c.fen, c.fiftyCounter);
        TbPosition expected;
        std::istringstream pieces(c.pieces);
        int pieceCount = 0;
        for (std::string piece; pieces >> piece; ++pieceCount) {
            const char letter = piece[0];
            const uint64_t bit = LibraryBit(piece.substr(1));
            (std::isupper(static_cast<unsigned char>(letter)) ? expected.white : expected.black) |= bit;
            switch (std::tolower(static_cast<unsigned char>(letter))) {
                case 'k': expected.kings |= bit; break;
                case 'q': expected.queens |= bit; break;
                case 'r': expected.rooks |= bit; break;
                case 'b': expected.bishops |= bit; break;
                case 'n': expected.knights |= bit; break;
                default: expected.pawns |= bit; break;
            }
        }
        const TbPosition tb = ToTbPosition(*pos);
        EXPECT_EQ(tb.white, expected.white);
        EXPECT_EQ(tb.black, expected.black);
        EXPECT_EQ(tb.kings, expected.kings);
        EXPECT_EQ(tb.queens, expected.queens);
        EXPECT_EQ(tb.rooks, expected.rooks);
        EXPECT_EQ(tb.bishops, expected.bishops);
        EXPECT_EQ(tb.knights, expected.knights);
        EXPECT_EQ(tb.pawns, expected.pawns);
        const std::string ep = c.ep;
        EXPECT_EQ(tb.ep, ep.empty() ? 0u : static_cast<unsigned>(__builtin_ctzll(LibraryBit(ep))));
        EXPECT_EQ(tb.castling, c.castling);
        EXPECT_EQ(tb.rule50, static_cast<unsigned>(c.fiftyCounter));
        EXPECT_EQ(tb.whiteToMove, c.whiteToMove);
        EXPECT_EQ(PieceCount(pos->board), pieceCount);
    }
}

TEST(TablebaseScores, LieBetweenEvaluationsAndMatesAndKeepTheirOrder) {
    EXPECT_GT(TbWinScore(PlyStackSize), TbWinThreshold - 1);
    EXPECT_LT(TbWinScore(0), MateValue - PlyStackSize);
    EXPECT_TRUE(IsTbScore(TbWinScore(12)) && IsTbScore(TbLossScore(12)));
    EXPECT_FALSE(IsTbScore(MateValue - 12) || IsTbScore(3000) || IsTbScore(0));
    // A nearer win scores higher; the rule decides what a cursed win is worth.
    EXPECT_GT(TbScore(TbWdl::Win, 3, true), TbScore(TbWdl::Win, 9, true));
    EXPECT_EQ(TbScore(TbWdl::CursedWin, 5, false), TbWinScore(5));
    EXPECT_EQ(TbScore(TbWdl::BlessedLoss, 5, false), TbLossScore(5));
    EXPECT_GT(TbScore(TbWdl::CursedWin, 5, true), 0);
    EXPECT_LT(TbScore(TbWdl::CursedWin, 5, true), 100);
    EXPECT_EQ(TbBound(TbWdl::Win, true), Bound::Lower);
    EXPECT_EQ(TbBound(TbWdl::Loss, true), Bound::Upper);
    EXPECT_EQ(TbBound(TbWdl::CursedWin, true), Bound::Exact);
    EXPECT_EQ(TbBound(TbWdl::CursedWin, false), Bound::Lower);
}

// ---- Table files, loading and refusing.

class TablebaseFiles : public test::InScratchFolder {
  protected:
    void TearDown() override {
        LoadTablebases("");
        test::InScratchFolder::TearDown();
    }
    // A writable copy of a shared table in the scratch folder's sub-folder.
    std::string Copy(const std::string& file, const std::string& sub = "tables") {
        fs::create_directories(Folder() + "/" + sub);
        const std::string to = Folder() + "/" + sub + "/" + file;
        test::WriteFileBytes(to, test::ReadFileBytes(test::TestTablebaseFolder() + "/" + file));
        return to;
    }
};

TEST_F(TablebaseFiles, EveryTableOfTheTestSetPassesItsCheck) {
    REQUIRE_TABLES();
    const TbFileSearch search = FindTableFiles(test::TestTablebaseFolder());
    EXPECT_EQ(search.files.size(), 70u);
    EXPECT_TRUE(search.problems.empty()) << search.problems.front();
    const TbLoadResult loaded = LoadTablebases(test::TestTablebaseFolder());
    EXPECT_EQ(loaded.largest, 4);
    EXPECT_EQ(loaded.wdlFiles, 35);
    EXPECT_EQ(loaded.dtzFiles, 35);
    EXPECT_EQ(loaded.message, "Syzygy tablebases: 35 WDL and 35 DTZ files, up to 4 pieces");
    EXPECT_EQ(TablebasePieces(), 4);
    for (const char* off : {"", "<empty>"}) {
        LoadTablebases(test::TestTablebaseFolder());
        EXPECT_EQ(LoadTablebases(off).message, "Syzygy tablebases unloaded");
        EXPECT_EQ(TablebasePieces(), 0);
    }
}

// A bad copy of KQvKR.rtbw beside a good KRvK.rtbw: the good table loads, the
// bad one is left out with one problem that names it, and probes of it fail.
struct DamageCase {
    const char* what;
    void (*damage)(const std::string& path);
    const char* problem;
};

void Resize(const std::string& path, int64_t by) {
    fs::resize_file(path, static_cast<uintmax_t>(static_cast<int64_t>(fs::file_size(path)) + by));
}
void Overwrite(const std::string& path, size_t at, const std::string& bytes) {
    std::string all = test::ReadFileBytes(path);
    all.replace(at, bytes.size(), bytes);
    test::WriteFileBytes(path, all);
}

const DamageCase DamageCases[] = {
    {"cut short by 10 bytes", [](const std::string& p) { Resize(p, -10); }, "truncated or padded"},
    {"cut short by a 64-byte block", [](const std::string& p) { Resize(p, -64); }, "truncated"},
    {"cut to its header", [](const std::string& p) { fs::resize_file(p, 80); }, "truncated"},
    {"emptied", [](const std::string& p) { fs::resize_file(p, 0); }, "truncated or padded"},
    {"grown by a block", [](const std::string& p) { Resize(p, 64); }, "size does not match its header"},
    {"magic number overwritten", [](const std::string& p) { Overwrite(p, 0, "SYZY"); }, "wrong magic number"},
    {"a DTZ table under the WDL name",
     [](const std::string& p) {
         test::WriteFileBytes(p, test::ReadFileBytes(test::TestTablebaseFolder() + "/KQvKR.rtbz"));
     },
     "wrong magic number"},
    {"piece bytes overwritten", [](const std::string& p) { Overwrite(p, 6, "\x77\x77"); }, "pieces"},
    {"compression header overwritten", [](const std::string& p) { Overwrite(p, 12, "\xff"); }, "compression"},
    {"a folder in its place",
     [](const std::string& p) {
         fs::remove(p);
         fs::create_directory(p);
     },
     "not a regular file"},
    {"a pipe in its place (opening it would wait for a writer)",
     [](const std::string& p) {
         fs::remove(p);
         ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
     },
     "not a regular file"},
};

TEST_F(TablebaseFiles, ABadTableIsLeftOutWithOneProblemAndTheOthersLoad) {
    REQUIRE_TABLES();
    const auto won = Read("8/8/8/4k3/8/8/8/R3K3 w - - 0 1");
    const auto queenVsRook = Read("k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1");
    for (const DamageCase& c : DamageCases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Folder() + "/tables");
        Copy("KRvK.rtbw");
        const std::string bad = Copy("KQvKR.rtbw");
        c.damage(bad);
        const TbLoadResult loaded = LoadTablebases(Folder() + "/tables");
        EXPECT_EQ(loaded.wdlFiles, 1);
        ASSERT_EQ(loaded.problems.size(), 1u);
        EXPECT_NE(loaded.problems[0].find(bad + ": "), std::string::npos) << loaded.problems[0];
        EXPECT_NE(loaded.problems[0].find(c.problem), std::string::npos) << loaded.problems[0];
        EXPECT_NE(loaded.problems[0].find("WDL table KQvKR left out"), std::string::npos) << loaded.problems[0];
        EXPECT_NE(loaded.message.find(loaded.problems[0]), std::string::npos);
        TbWdl wdl;
        EXPECT_TRUE(ProbeWdl(*won, wdl));
        EXPECT_FALSE(ProbeWdl(*queenVsRook, wdl));
    }
}

TEST_F(TablebaseFiles, MissingAndEmptyFoldersAreNamedAndAGoodCopyInALaterFolderIsUsed) {
    REQUIRE_TABLES();
    fs::create_directories(Folder() + "/empty");
    LoadTablebases(test::TestTablebaseFolder());
    TbLoadResult loaded = LoadTablebases(Folder() + "/missing");
    EXPECT_EQ(loaded.wdlFiles, 0);
    EXPECT_EQ(TablebasePieces(), 0);
    EXPECT_EQ(loaded.message, "Syzygy tablebases: none loaded; no folder " + Folder() + "/missing");

    loaded = LoadTablebases(Folder() + "/empty");
    EXPECT_EQ(loaded.message, "Syzygy tablebases: none loaded; no table files in " + Folder() + "/empty");

    // A truncated KQvKR in the first folder; the whole set in the second.
    const std::string bad = Copy("KQvKR.rtbw", "first");
    Resize(bad, -64);
    loaded = LoadTablebases(Folder() + "/first::" + Folder() + "/empty:" + test::TestTablebaseFolder());
    EXPECT_EQ(loaded.wdlFiles, 35);
    EXPECT_EQ(loaded.dtzFiles, 35);
    ASSERT_EQ(loaded.problems.size(), 2u);
    EXPECT_NE(loaded.problems[0].find(bad), std::string::npos);
    EXPECT_EQ(loaded.problems[1], "no table files in " + Folder() + "/empty");
    TbWdl wdl;
    EXPECT_TRUE(ProbeWdl(*Read("k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1"), wdl));
    EXPECT_EQ(wdl, TbWdl::Win);
}

TEST(TablebaseNames, AreTheLibrarysAndParseIntoTheirPieces) {
    EXPECT_EQ(TbTableNames().size(), 1511u);  // 650 pawnless and 861 pawn tables of up to 7 pieces
    TbMaterial m;
    ASSERT_TRUE(ParseTableName("KRPvKR", m));
    EXPECT_EQ(m.pieces, 5);
    EXPECT_EQ(m.count[0][3], 1);
    EXPECT_EQ(m.count[0][0], 1);
    EXPECT_EQ(m.count[1][3], 1);
    for (const char* bad : {"", "K", "KQ", "KQvk", "QKvK", "KQvKvK", "KXvK", "KQQQQQvKQ", "KQvKR.rtbw"})
        EXPECT_FALSE(ParseTableName(bad, m)) << bad;
}

// ---- Probes.

struct WdlCase {
    const char* fen;
    TbWdl expected;
};

const WdlCase WdlCases[] = {
    {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", TbWdl::Win},          // KRvK
    {"8/8/8/4k3/8/8/8/R3K3 b - - 0 1", TbWdl::Loss},         // the same, the defender to move
    {"k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1", TbWdl::Win},        // KQvKR
    {"k7/8/1K6/8/8/8/6r1/3Q4 b - - 0 1", TbWdl::Loss},       // KQvKR: the rook cannot save it
    {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", TbWdl::Win},         // KPvK: the king ahead of its pawn on the sixth
    {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", TbWdl::Loss},
    {"k7/8/8/8/P7/8/8/K7 w - - 0 1", TbWdl::Draw},           // KPvK: a rook's pawn, the king in its corner
    {"8/8/8/3k4/8/8/6q1/K7 w - - 0 1", TbWdl::Loss},         // KQvK from the loser's side, white to move
    {"8/8/8/4k3/8/8/8/2B1K3 w - - 0 1", TbWdl::Draw},         // KBvK
    {"K7/P1k5/8/8/8/8/8/8 w - - 0 1", TbWdl::Draw},          // KPvK: the king shut in by its own pawn
};

TEST(TablebaseProbes, WinDrawAndLossFromTheSideToMove) {
    REQUIRE_TABLES();
    LoadTablebases(test::TestTablebaseFolder());
    for (const WdlCase& c : WdlCases) {
        TbWdl wdl = TbWdl::Draw;
        EXPECT_TRUE(ProbeWdl(*Read(c.fen), wdl)) << c.fen;
        EXPECT_EQ(static_cast<int>(wdl), static_cast<int>(c.expected)) << c.fen;
    }
    // Not in the tables: castling rights, a running counter, five pieces.
    TbWdl wdl;
    EXPECT_FALSE(ProbeWdl(*Read("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"), wdl));
    EXPECT_FALSE(ProbeWdl(*Read("8/8/8/4k3/8/8/8/R3K3 w - - 0 1", 3), wdl));
    EXPECT_FALSE(ProbeWdl(*Read("4k3/8/8/8/8/8/PP6/R3K3 w - - 0 1"), wdl));
    LoadTablebases("");
}

// Plays m on pos and probes the position after it (counter set to 0: the
// tables' value without the counter).
TbWdl WdlAfter(Position& pos, Move m) {
    UndoRecord undo;
    SaveForMake(pos, undo);
    MakeMove(pos, m, undo);
    const uint16_t counter = pos.historyTop->fiftyCounter;
    pos.historyTop->fiftyCounter = 0;
    TbWdl wdl = TbWdl::Draw;
    EXPECT_TRUE(ProbeWdl(pos, wdl));
    pos.historyTop->fiftyCounter = counter;
    UnmakeMove(pos, m, undo);
    return wdl;
}

struct RankCase {
    const char* fen;
    int fiftyCounter;
    bool fiftyMoveRule;
    bool winKept;   // the kept moves win (rank and score a win), else they only draw
    bool someLose;  // some legal move throws the win away
};

const RankCase RankCases[] = {
    {"k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1", 0, true, true, true},   // KQvKR: the queen can be lost
    {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 0, true, true, true},    // KPvK: Kd5 lets the draw in
    {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", 0, true, true, false},     // KRvK: no move throws the rook away
    {"k7/8/8/8/P7/8/8/K7 w - - 0 1", 0, true, false, false},      // a draw stays a draw
    // The counter leaves too few moves to mate: with the rule the win is a draw.
    {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", 90, true, false, false},
    {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", 90, false, true, false},
};

TEST(TablebaseRootRanking, KeepsTheMovesThatKeepTheResultUnderTheFiftyMoveRule) {
    REQUIRE_TABLES();
    LoadTablebases(test::TestTablebaseFolder());
    for (const RankCase& c : RankCases) {
        SCOPED_TRACE(std::string(c.fen) + " counter " + std::to_string(c.fiftyCounter) +
                     (c.fiftyMoveRule ? " with the rule" : " without the rule"));
        const auto pos = Read(c.fen, c.fiftyCounter);
        MoveEntry legal[MaxGeneratedMoves];
        const int legalCount = static_cast<int>(GenerateLegalMoves(*pos, legal) - legal);
        TbRootRanking ranking;
        ASSERT_TRUE(RankRootMoves(*pos, c.fiftyMoveRule, ranking));
        EXPECT_TRUE(ranking.byDtz);
        ASSERT_EQ(ranking.count, legalCount);
        const int kept = KeepBestRanked(ranking);
        ASSERT_GT(kept, 0);
        bool anyThrowsTheWinAway = false;
        for (int i = 0; i < ranking.count; ++i) {
            const TbRootMove& m = ranking.moves[i];
            EXPECT_TRUE(IsLegalMove(*pos, m.move));
            const TbWdl after = WdlAfter(*pos, m.move);
            if (i < kept) {
                // The kept moves keep what the tables give the root (the
                // counter aside: the tables' value of the position after it).
                EXPECT_EQ(m.score == TbWinScore(1), c.winKept) << m.score;
                EXPECT_EQ(after, c.winKept || c.fiftyCounter > 0 ? TbWdl::Loss : TbWdl::Draw);
            } else if (m.rank <= 0) {
                EXPECT_NE(after, TbWdl::Loss);
                anyThrowsTheWinAway |= c.winKept;
            }
        }
        EXPECT_EQ(anyThrowsTheWinAway, c.someLose);
    }
    // Five pieces, and castling rights: not in the tables.
    TbRootRanking ranking;
    EXPECT_FALSE(RankRootMoves(*Read("4k3/8/8/8/8/8/PP6/R3K3 w - - 0 1"), true, ranking));
    EXPECT_FALSE(RankRootMoves(*Read("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"), true, ranking));
    EXPECT_EQ(ranking.count, 0);
    LoadTablebases("");
}

TEST_F(TablebaseFiles, WithoutItsDtzTableTheRootIsRankedByWdl) {
    REQUIRE_TABLES();
    for (const char* file : {"KQvKR.rtbw", "KQvK.rtbw", "KRvK.rtbw"}) Copy(file);
    ASSERT_EQ(LoadTablebases(Folder() + "/tables").dtzFiles, 0);
    const auto pos = Read("k7/8/1K6/8/8/8/6r1/3Q4 w - - 0 1");
    TbRootRanking ranking;
    ASSERT_TRUE(RankRootMoves(*pos, true, ranking));
    EXPECT_FALSE(ranking.byDtz);
    const int kept = KeepBestRanked(ranking);
    EXPECT_EQ(ranking.moves[0].rank, 1000);
    for (int i = 0; i < ranking.count; ++i) EXPECT_EQ(i < kept, WdlAfter(*pos, ranking.moves[i].move) == TbWdl::Loss);
}

// Two search threads probe at once (ThreadSanitizer runs this suite).
TEST(TablebaseThreads, TwoThreadsProbeAtOnceAndAgreeWithOne) {
    REQUIRE_TABLES();
    LoadTablebases(test::TestTablebaseFolder());
    std::vector<std::unique_ptr<Position>> positions[2];
    for (auto& own : positions)
        for (const WdlCase& c : WdlCases) own.push_back(Read(c.fen));
    int wrong[2] = {0, 0};
    const auto probeAll = [&](int thread) {
        for (int round = 0; round < 200; ++round) {
            for (size_t i = 0; i < std::size(WdlCases); ++i) {
                TbWdl wdl = TbWdl::Draw;
                if (!ProbeWdl(*positions[thread][i], wdl) || wdl != WdlCases[i].expected) ++wrong[thread];
            }
        }
    };
    std::thread other(probeAll, 1);
    probeAll(0);
    other.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
    LoadTablebases("");
}

}  // namespace
}  // namespace kavrin
