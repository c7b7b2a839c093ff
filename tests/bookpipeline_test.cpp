// End to end: a small game collection through tools/build-book into books
// that the engine answers "bookshow" from, and the shipped default book in
// play as White and as Black.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/engine_process.h"
#include "support/files.h"

namespace kavrin::test {
namespace {

constexpr int Timeout = 20000;
const char* const BookFiles[] = {"bookwtm.mbx", "bookwtm.mbk", "bookbtm.mbx", "bookbtm.mbk"};

std::string Game(const std::string& moves, const std::string& result) {
    return "[Event \"Pipeline\"]\n[Site \"Test\"]\n[Date \"2024.01.01\"]\n[Round \"1\"]\n[White \"A\"]\n"
           "[Black \"B\"]\n[Result \"" +
           result + "\"]\n\n" + moves + " " + result + "\n\n";
}

// Copies the four book files from folder into the engine's working folder.
void InstallBooks(EngineProcess& engine, const std::string& folder) {
    for (const char* name : BookFiles) engine.WriteFile(name, ReadFileBytes(folder + "/" + name));
}

std::string BookShowAfter(EngineProcess& engine, const std::string& moves) {
    engine.Send("new\nforce\n" + moves + "bookshow\n");
    return engine.WaitForLine("", Timeout);
}

class Pipeline : public InScratchFolder {
  protected:
    // Runs tools/build-book (with options before the files) with its output
    // in build.out; the folder it keeps after a failure lies in the scratch
    // folder too.
    int RunBuildBook(const std::string& pgnPath, const std::string& out, const std::string& options = "") {
        const std::string command = "TMPDIR='" + Folder() +
                                    "' KAVRIN='" KAVRIN_BINARY "' KAVRIN_BOOK='" KAVRIN_BOOK_BINARY
                                    "' '" KAVRIN_SOURCE_DIR "/tools/build-book' " +
                                    options + " '" + pgnPath + "' '" + out + "' >'" + Folder() + "/build.out' 2>&1";
        return std::system(command.c_str());
    }
    int BuildBook(const std::string& pgnText, const std::string& out) {
        WriteFileBytes(Folder() + "/games.pgn", pgnText);
        return RunBuildBook(Folder() + "/games.pgn", out);
    }
};

TEST_F(Pipeline, BooksFromGamesHoldThePositionsTheGamesFavour) {
    std::string pgn;
    for (int i = 0; i < 3; i++) pgn += Game("1. e4 e5 2. Nf3 Nc6 3. Bb5 a6", "1-0");
    for (int i = 0; i < 2; i++) pgn += Game("1. d4 d5 2. c4 e6", "0-1");
    const std::string out = Folder() + "/out";
    ASSERT_EQ(BuildBook(pgn, out), 0) << ReadFileBytes(Folder() + "/build.out");
    for (const char* name : BookFiles) EXPECT_EQ(access((out + "/" + name).c_str(), F_OK), 0) << name;
    EXPECT_EQ(ReadFileBytes(out + "/bookwtm.mbx").size(), 524288u);

    EngineProcess engine(KAVRIN_BINARY);
    InstallBooks(engine, out);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet(Timeout));
    EXPECT_EQ(engine.Output().find("BOOK ERROR"), std::string::npos);
    // White won every game after 1. e4 and lost every one after 1. d4.
    EXPECT_EQ(BookShowAfter(engine, "e2e4\n"), "YES");
    EXPECT_EQ(BookShowAfter(engine, "d2d4\n"), "NO");
    // With white to move, the book keeps what went well for Black.
    EXPECT_EQ(BookShowAfter(engine, "d2d4\nd7d5\n"), "YES");
    EXPECT_EQ(BookShowAfter(engine, "e2e4\ne7e5\n"), "NO");
    // The start scored 0.6 for White: too much for the white-to-move book.
    EXPECT_EQ(BookShowAfter(engine, ""), "NO");
    EXPECT_EQ(BookShowAfter(engine, "c2c4\n"), "NO");
    engine.Send("quit\n");
    EXPECT_TRUE(engine.ExitsNormally(Timeout));
}

TEST_F(Pipeline, StopsWithAClearMessage) {
    EXPECT_NE(BuildBook("", Folder() + "/out"), 0);
    EXPECT_NE(ReadFileBytes(Folder() + "/build.out").find("build-book: "), std::string::npos);
    const struct {
        const char* settings;
        const char* message;
    } cases[] = {
        {"KAVRIN_BOOK=/nonexistent/kavrin-book", "no kavrin-book executable at '/nonexistent/kavrin-book'"},
        {"KAVRIN=/nonexistent/kavrin", "no kavrin executable at '/nonexistent/kavrin'"},
    };
    for (const auto& c : cases) {
        const std::string command = std::string(c.settings) + " '" KAVRIN_SOURCE_DIR "/tools/build-book' " +
                                    (std::string(c.settings).rfind("KAVRIN=", 0) == 0 ? "--workbench " : "") +
                                    "x y >'" + Folder() + "/missing.out' 2>&1";
        EXPECT_NE(std::system(command.c_str()), 0) << c.settings;
        EXPECT_NE(ReadFileBytes(Folder() + "/missing.out").find(c.message), std::string::npos) << c.settings;
    }
}

// kavrin-book computes in memory what the workbench commands compute through
// their files: the four book files come out the same on every collection.
TEST_F(Pipeline, FastRoadAndWorkbenchBuildTheSameBooks) {
    const std::string generated = Folder() + "/generated.pgn";
    ASSERT_EQ(std::system(("'" KAVRIN_GAMES_BINARY "' 400 11 >'" + generated + "'").c_str()), 0);
    for (const std::string& pgn : {std::string(KAVRIN_TEST_DATA "/games.pgn"), generated}) {
        const std::string fast = Folder() + "/fast";
        const std::string workbench = Folder() + "/workbench";
        ASSERT_EQ(RunBuildBook(pgn, fast), 0) << ReadFileBytes(Folder() + "/build.out");
        ASSERT_EQ(RunBuildBook(pgn, workbench, "--workbench"), 0) << ReadFileBytes(Folder() + "/build.out");
        for (const char* name : BookFiles) {
            const std::string bytes = ReadFileBytes(fast + "/" + name);
            EXPECT_FALSE(bytes.empty()) << name;
            EXPECT_TRUE(bytes == ReadFileBytes(workbench + "/" + name)) << name << " of " << pgn;
        }
        EXPECT_GT(ReadFileBytes(fast + "/kavrin.bin").size(), 0u) << pgn;
    }
}

// The shipped book is what the pipeline makes of the shipped collection with
// the engine's current keys: a change of the key table or of the game
// reading shows here, and the book files must then be rebuilt.
TEST_F(Pipeline, ShippedBookIsRebuiltExactlyFromTheCollection) {
    ASSERT_EQ(access(KAVRIN_SOURCE_DIR "/data/book-games.pgn", R_OK), 0) << "the collection is missing";
    const std::string out = Folder() + "/out";
    ASSERT_EQ(RunBuildBook(KAVRIN_SOURCE_DIR "/data/book-games.pgn", out), 0) << ReadFileBytes(Folder() + "/build.out");
    for (const char* name : BookFiles) {
        const std::string shipped = ReadFileBytes(std::string(KAVRIN_SOURCE_DIR) + "/" + name);
        EXPECT_FALSE(shipped.empty()) << name;
        EXPECT_TRUE(ReadFileBytes(out + "/" + name) == shipped) << name << " differs: rebuild it with tools/build-book";
    }
}

TEST(DefaultBook, PlaysItsFirstMovesAsWhiteAndAsBlackThenLeavesTheBook) {
    EngineProcess engine(KAVRIN_BINARY);
    InstallBooks(engine, KAVRIN_SOURCE_DIR);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(engine.Greet(Timeout));
    EXPECT_EQ(engine.Output().find("BOOK ERROR"), std::string::npos);

    // As Black: the answer to 1. e4 comes from the book.
    engine.Send("new\neasy\ntime 500\notim 500\ne2e4\n");
    ASSERT_FALSE(engine.WaitForLine("move ", Timeout).empty());

    // As White: the first move from the book; after 1... g5, which no game
    // of the collection played, the engine searches.
    engine.Send("new\neasy\ntime 500\notim 500\ngo\n");
    ASSERT_FALSE(engine.WaitForLine("move ", Timeout).empty());
    engine.Send("g7g5\n");
    ASSERT_FALSE(engine.WaitForLine("move ", Timeout).empty());
    engine.Send("quit\n");
    EXPECT_TRUE(engine.ExitsNormally(Timeout));
    std::string log = engine.Log();
    size_t asBlack = log.find("::cmd:: e2e4");
    ASSERT_NE(asBlack, std::string::npos) << log;
    EXPECT_NE(log.find("move (book) ", asBlack), std::string::npos) << log;
    size_t asWhite = log.find("::cmd:: go");
    ASSERT_NE(asWhite, std::string::npos);
    size_t bookMove = log.find("move (book) ", asWhite);
    size_t reply = log.find("::cmd:: g7g5");
    ASSERT_NE(bookMove, std::string::npos) << log;
    ASSERT_NE(reply, std::string::npos);
    EXPECT_LT(bookMove, reply);
    EXPECT_LT(log.find("move (book) ", asBlack), asWhite);
    size_t searched = log.find("\nmove ", reply);
    ASSERT_NE(searched, std::string::npos) << log;
    EXPECT_NE(log.substr(searched + 1, 12), "move (book) ") << log;
    EXPECT_NE(log.find("\tscore: ", searched), std::string::npos) << log;
}

}  // namespace
}  // namespace kavrin::test
