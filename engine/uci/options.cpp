#include "uci/options.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "book/book.h"
#include "book/polyglot_book.h"
#include "search/engine.h"
#include "search/tablebase.h"
#include "search/tb_files.h"
#include "search/tt.h"
#include "system/log.h"
#include "uci/reply.h"
#include "uci/session.h"
#include "uci/strength.h"

namespace kavrin {

namespace {

// Where the folder search looks beside the program, after the working
// directory: the program's folder, its parent (a build folder in the
// repository), an installation's data folder (bin/ and share/kavrin/), and
// Debian's for games (/usr/games and /usr/share/games/kavrin).
constexpr const char* BookFoldersBesideProgram[] = {"", "/..", "/../share/kavrin", "/../share/games/kavrin"};

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
bool SpinValue(UciOutput& out, const std::string& name, const std::string& value, int min, int max, int& result) {
    char* end = nullptr;
    const long long v = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || v < min || v > max) {
        out.InfoString("%s: %s is no value from %d to %d", name.c_str(), value.c_str(), min, max);
        return false;
    }
    result = static_cast<int>(v);
    return true;
}

bool CheckValue(UciOutput& out, const std::string& name, const std::string& value, bool& result) {
    const std::string v = Lower(value);
    if (v != "true" && v != "false") {
        out.InfoString("%s: %s is neither true nor false", name.c_str(), value.c_str());
        return false;
    }
    result = v == "true";
    return true;
}

void SetHash(UciSession& session, const std::string& name, const std::string& value) {
    int megabytes = 0;
    if (!SpinValue(session.out, name, value, MinHashMegabytes, MaxHashMegabytes, megabytes)) return;
    TranspositionTable& table = session.engine.Table();
    if (!table.Resize(static_cast<size_t>(megabytes))) {
        session.out.InfoString("Hash: no memory for %d MB, the table keeps %zu KB", megabytes, table.Bytes() >> 10);
        return;
    }
    session.out.InfoString("Hash table of %zu KB", table.Bytes() >> 10);
}

void SetLogFile(UciSession& session, const std::string& value) {
    std::string& logFile = session.options.logFile;
    logFile = StringValue(value);
    logStream.close();
    if (logFile.empty()) return;
    OpenLog(logFile.c_str());
    if (!logStream.is_open()) session.out.InfoString("Log File: cannot write %s", logFile.c_str());
}

// Loads the tables of the folders in value (":" between them), or unloads
// them, and says in one line what was found and what was wrong.
void SetSyzygyPath(UciSession& session, const std::string& value) {
    const TbLoadResult loaded = LoadTablebases(StringValue(value));
    session.out.InfoString("%s", loaded.message.c_str());
    session.out.LogLine(loaded.message);
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

void InitUciOptions(UciSession& session) {
    session.engine.Options().profile = SearchProfile::Modern;
    session.books.defaultFolder = FindBookFolder(ExecutableFolder());
    session.options.bookFolder = session.books.defaultFolder;
    session.books.folderStale = true;
}

void PrintOptionLines(UciSession& session) {
    UciOutput& out = session.out;
    out.Reply("option name Threads type spin default 1 min 1 max %d", MaxSearchThreads);
    out.Reply("option name Hash type spin default %zu min %d max %d", TTDefaultMegabytes, MinHashMegabytes,
              MaxHashMegabytes);
    out.Reply("option name Clear Hash type button");
    out.Reply("option name Ponder type check default false");
    out.Reply("option name OwnBook type check default true");
    out.Reply("option name Book Folder type string default %s", ShownText(session.books.defaultFolder));
    out.Reply("option name Book File type string default %s", EmptyOptionText);
    out.Reply("option name Move Overhead type spin default %d min 0 max %d", DefaultMoveOverheadMs, MaxMoveOverheadMs);
    out.Reply("option name Log File type string default %s", EmptyOptionText);
    out.Reply("option name MultiPV type spin default 1 min 1 max %d", MaxSearchLines);
    out.Reply("option name UCI_LimitStrength type check default false");
    out.Reply("option name UCI_Elo type spin default %d min %d max %d", DefaultStrengthElo, MinStrengthElo,
              MaxStrengthElo);
    out.Reply("option name UCI_ShowWDL type check default false");
    out.Reply("option name SyzygyPath type string default %s", EmptyOptionText);
    out.Reply("option name SyzygyProbeDepth type spin default 1 min 1 max %d", MaxSyzygyProbeDepth);
    out.Reply("option name Syzygy50MoveRule type check default true");
    out.Reply("option name SyzygyProbeLimit type spin default %d min 0 max %d", TbMaxPieces, TbMaxPieces);
    // The search kavrin runs, in place of kavrin-uci's own, to compare them.
    out.Reply("option name Classic Search type check default false");
}

void SetOptionCommand(UciSession& session, const std::string& words) {
    UciOutput& out = session.out;
    UciOptions& options = session.options;
    // The name runs from "name" to "value"; the value is the rest of the line
    // as it was sent, so that a path keeps its blanks.
    std::istringstream in(words);
    std::string word;
    std::string name;
    if (!(in >> word) || word != "name") {
        out.InfoString("setoption: expected \"name\"");
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
        if (SpinValue(out, name, value, 1, MaxSearchThreads, threads)) session.engine.Threads().SetCount(threads);
    } else if (key == "hash") {
        SetHash(session, name, value);
    } else if (key == "clear hash") {
        session.engine.ResetSearchState();
    } else if (key == "ponder") {
        CheckValue(out, name, value, options.ponder);
    } else if (key == "ownbook") {
        CheckValue(out, name, value, options.ownBook);
    } else if (key == "book folder") {
        options.bookFolder = StringValue(value);
        session.books.folderStale = true;
    } else if (key == "book file") {
        options.bookFile = StringValue(value);
        session.books.fileStale = true;
    } else if (key == "move overhead") {
        SpinValue(out, name, value, 0, MaxMoveOverheadMs, options.moveOverheadMs);
    } else if (key == "log file") {
        SetLogFile(session, value);
    } else if (key == "multipv") {
        SpinValue(out, name, value, 1, MaxSearchLines, session.engine.Options().lines);
    } else if (key == "uci_limitstrength") {
        CheckValue(out, name, value, options.limitStrength);
    } else if (key == "classic search") {
        bool classic = false;
        if (CheckValue(out, name, value, classic))
            session.engine.Options().profile = classic ? SearchProfile::Classic : SearchProfile::Modern;
    } else if (key == "uci_elo") {
        SpinValue(out, name, value, MinStrengthElo, MaxStrengthElo, options.elo);
    } else if (key == "uci_showwdl") {
        CheckValue(out, name, value, options.showWdl);
    } else if (key == "syzygypath") {
        SetSyzygyPath(session, value);
    } else if (key == "syzygyprobedepth") {
        SpinValue(out, name, value, 1, MaxSyzygyProbeDepth, session.engine.Options().tbProbeDepth);
    } else if (key == "syzygy50moverule") {
        CheckValue(out, name, value, session.engine.Options().tbFiftyMoveRule);
    } else if (key == "syzygyprobelimit") {
        SpinValue(out, name, value, 0, TbMaxPieces, session.engine.Options().tbProbeLimit);
    } else {
        out.InfoString("No such option: %s", name.c_str());
    }
}

void PrepareBooks(UciSession& session) {
    UciBooks& books = session.books;
    const UciOptions& options = session.options;
    if (books.fileStale) {
        books.fileStale = false;
        books.file.Close();
        if (!options.bookFile.empty() && !books.file.Open(options.bookFile)) {
            session.out.InfoString("BOOK ERROR: %s", books.file.Message().c_str());
            session.out.LogLine("BOOK ERROR: " + books.file.Message());
        }
    }
    if (!books.folderStale) return;
    books.folderStale = false;
    books.folderLoaded = false;
    books.folder->Close();
    if (options.bookFolder.empty()) return;
    books.folderLoaded = books.folder->Load(options.bookFolder);
    if (books.folderLoaded) return;
    // The message ends with its own line end.
    std::string message = books.folder->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    session.out.InfoString("BOOK ERROR: %s", message.c_str());
    session.out.LogLine("BOOK ERROR: " + message);
    books.folder->Close();
}

bool BookInUse(const UciSession& session) {
    const UciOptions& options = session.options;
    return options.ownBook && (options.bookFile.empty() ? session.books.folderLoaded : session.books.file.IsOpen());
}

Move BookInUseMove(UciSession& session, Position& pos) {
    return session.options.bookFile.empty() ? BookProbe(*session.books.folder, pos)
                                            : PolyglotBookMove(pos, session.books.file);
}

}  // namespace kavrin
