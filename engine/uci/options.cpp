#include "uci/options.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "book/book.h"
#include "book/commands.h"
#include "book/polyglot_book.h"
#include "search/reset.h"
#include "search/threads.h"
#include "search/tt.h"
#include "system/log.h"
#include "uci/reply.h"
#include "uci/strength.h"

namespace kavrin {

UciOptions uciOptions;

namespace {

// Where the folder search looks beside the program, after the working
// directory.
constexpr const char* BookFoldersBesideProgram[] = {"", "/..", "/../share/kavrin"};

bool booksStale = true;
bool booksLoaded = false;
std::string bookDefault;
bool bookFileStale = false;
PolyglotBook polyglotBook;

bool HoldsBooks(const std::string& folder) {
    for (const char* base : BookBaseNames) {
        for (const char* extension : {".mbx", ".mbk"}) {
            if (access((folder + "/" + base + extension).c_str(), R_OK) != 0) return false;
        }
    }
    return true;
}

std::string AbsolutePath(const std::string& folder) {
    char resolved[PATH_MAX];
    return realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : folder;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const char* ShownText(const std::string& text) { return text.empty() ? EmptyOptionText : text.c_str(); }

std::string StringValue(const std::string& value) { return value == EmptyOptionText ? std::string() : value; }

// A whole number within [min, max]; otherwise the value is refused with a
// message.
bool SpinValue(const std::string& name, const std::string& value, int min, int max, int& out) {
    char* end = nullptr;
    const long long v = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || v < min || v > max) {
        InfoString("%s: %s is no value from %d to %d", name.c_str(), value.c_str(), min, max);
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool CheckValue(const std::string& name, const std::string& value, bool& out) {
    const std::string v = Lower(value);
    if (v != "true" && v != "false") {
        InfoString("%s: %s is neither true nor false", name.c_str(), value.c_str());
        return false;
    }
    out = v == "true";
    return true;
}

void SetHash(const std::string& name, const std::string& value) {
    int megabytes = 0;
    if (!SpinValue(name, value, MinHashMegabytes, MaxHashMegabytes, megabytes)) return;
    if (!ResizeTranspositionTable(static_cast<size_t>(megabytes))) {
        InfoString("Hash: no memory for %d MB, the table keeps %zu KB", megabytes, TTBytes() >> 10);
        return;
    }
    InfoString("Hash table of %zu KB", TTBytes() >> 10);
}

void SetLogFile(const std::string& value) {
    uciOptions.logFile = StringValue(value);
    logStream.close();
    if (uciOptions.logFile.empty()) return;
    OpenLog(uciOptions.logFile.c_str());
    if (!logStream.is_open()) InfoString("Log File: cannot write %s", uciOptions.logFile.c_str());
}

}  // namespace

std::string ExecutableFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string folder(path, static_cast<size_t>(n));
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
}

std::string FindBookFolder(const std::string& executableFolder) {
    if (HoldsBooks(".")) return AbsolutePath(".");
    for (const char* beside : BookFoldersBesideProgram) {
        const std::string folder = executableFolder + beside;
        if (HoldsBooks(folder)) return AbsolutePath(folder);
    }
    return "";
}

void InitUciOptions() {
    bookDefault = FindBookFolder(ExecutableFolder());
    uciOptions.bookFolder = bookDefault;
    booksStale = true;
}

void PrintOptionLines() {
    Reply("option name Threads type spin default 1 min 1 max %d", MaxSearchThreads);
    Reply("option name Hash type spin default %zu min %d max %d", TTDefaultMegabytes, MinHashMegabytes,
          MaxHashMegabytes);
    Reply("option name Clear Hash type button");
    Reply("option name Ponder type check default false");
    Reply("option name OwnBook type check default true");
    Reply("option name Book Folder type string default %s", ShownText(bookDefault));
    Reply("option name Book File type string default %s", EmptyOptionText);
    Reply("option name Move Overhead type spin default %d min 0 max %d", DefaultMoveOverheadMs, MaxMoveOverheadMs);
    Reply("option name Log File type string default %s", EmptyOptionText);
    Reply("option name MultiPV type spin default 1 min 1 max %d", MaxSearchLines);
    Reply("option name UCI_LimitStrength type check default false");
    Reply("option name UCI_Elo type spin default %d min %d max %d", DefaultStrengthElo, MinStrengthElo, MaxStrengthElo);
}

void SetOptionCommand(const std::string& words) {
    // The name runs from "name" to "value"; the value is the rest of the line
    // as it was sent, so that a path keeps its blanks.
    std::istringstream in(words);
    std::string word;
    std::string name;
    if (!(in >> word) || word != "name") {
        InfoString("setoption: expected \"name\"");
        return;
    }
    while (in >> word && word != "value") name += (name.empty() ? "" : " ") + word;
    std::string value;
    if (word == "value") {
        std::getline(in, value);
        const size_t first = value.find_first_not_of(" \t\r");
        const size_t last = value.find_last_not_of(" \t\r");
        value = first == std::string::npos ? "" : value.substr(first, last - first + 1);
    }

    const std::string key = Lower(name);
    if (key == "threads") {
        int threads = 1;
        if (SpinValue(name, value, 1, MaxSearchThreads, threads)) searchThreads.SetCount(threads);
    } else if (key == "hash") {
        SetHash(name, value);
    } else if (key == "clear hash") {
        ResetSearchState();
    } else if (key == "ponder") {
        CheckValue(name, value, uciOptions.ponder);
    } else if (key == "ownbook") {
        CheckValue(name, value, uciOptions.ownBook);
    } else if (key == "book folder") {
        uciOptions.bookFolder = StringValue(value);
        booksStale = true;
    } else if (key == "book file") {
        uciOptions.bookFile = StringValue(value);
        bookFileStale = true;
    } else if (key == "move overhead") {
        SpinValue(name, value, 0, MaxMoveOverheadMs, uciOptions.moveOverheadMs);
    } else if (key == "log file") {
        SetLogFile(value);
    } else if (key == "multipv") {
        SpinValue(name, value, 1, MaxSearchLines, uciOptions.lines);
    } else if (key == "uci_limitstrength") {
        CheckValue(name, value, uciOptions.limitStrength);
    } else if (key == "uci_elo") {
        SpinValue(name, value, MinStrengthElo, MaxStrengthElo, uciOptions.elo);
    } else {
        InfoString("No such option: %s", name.c_str());
    }
}

void PrepareBooks() {
    if (bookFileStale) {
        bookFileStale = false;
        polyglotBook.Close();
        if (!uciOptions.bookFile.empty() && !polyglotBook.Open(uciOptions.bookFile)) {
            InfoString("BOOK ERROR: %s", polyglotBook.Message().c_str());
            LogLine("BOOK ERROR: " + polyglotBook.Message());
        }
    }
    if (!booksStale) return;
    booksStale = false;
    booksLoaded = false;
    bookSet.Close();
    if (uciOptions.bookFolder.empty()) return;
    booksLoaded = LoadBooksFrom(uciOptions.bookFolder.c_str());
    if (booksLoaded) return;
    // The message ends with its own line end.
    std::string message = BookLoadMessage();
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    InfoString("BOOK ERROR: %s", message.c_str());
    LogLine("BOOK ERROR: " + message);
    bookSet.Close();
}

bool BookInUse() { return uciOptions.ownBook && (uciOptions.bookFile.empty() ? booksLoaded : polyglotBook.IsOpen()); }

Move BookInUseMove(Position& pos) {
    return uciOptions.bookFile.empty() ? BookProbe(pos) : PolyglotBookMove(pos, polyglotBook);
}

}  // namespace kavrin
