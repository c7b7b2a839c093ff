// Files for the tests of the file formats: a scratch folder that a test works
// in, bytes read and written as they are, position databases written from
// their records, empty books, Polyglot books written from their entries, and
// the error a reader raises.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/polyglot.h"
#include "book/posdb.h"
#include "notation/pgn.h"

namespace kavrin::test {

// Runs each test in a fresh folder below /tmp, made the working directory
// for the test and removed with everything in it afterwards.
class InScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& Folder() const { return folder_; }

  private:
    std::string folder_;
    std::string previous_;
};

// A scratch folder and a book set of the test's own (on the heap: the
// indexes are large), gone before the folder is.
class InScratchFolderWithBooks : public InScratchFolder {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<BookSet> books;
};

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& name);
// Replaces the file with bytes.
void WriteFileBytes(const std::string& name, const std::string& bytes);
// The bytes compressed as a zstd frame or a gzip member; empty when this
// build lacks the library.
std::string ZstdBytes(const std::string& bytes);
std::string GzipBytes(const std::string& bytes);
// A position database holding records in this order, then tail.
void WriteDatabase(const std::string& name, const std::vector<PositionRecord>& records, const std::string& tail = "");
// A POS line without its line end: the key in sixteen hex digits, the
// position text, the result letter and the ply, between tabs.
std::string PosLine(uint64_t key, const std::string& fen, char result, int ply);
// A valid book without positions: baseName.mbx all zero, baseName.mbk empty.
void WriteEmptyBook(const std::string& baseName);
// The bytes of a Polyglot book holding the entries in this order.
std::string PolyglotBookBytes(const std::vector<PolyglotEntry>& entries);
// The entry of the move whose coordinate text is next (legal or not) in the
// position after the moves (coordinate texts between blanks) from the start;
// the game position is back at the start afterwards.
PolyglotEntry PolyglotEntryAfter(const std::string& moves, const char* next, uint16_t weight);

// Runs call; the text of the GameFileError it raises, empty when none.
template <typename Call>
std::string GameFileErrorOf(Call&& call) {
    try {
        call();
    } catch (const GameFileError& e) {
        return e.text;
    }
    return "";
}

}  // namespace kavrin::test
