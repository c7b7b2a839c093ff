#include "notation/pgn.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "board/board.h"
#include "board/legal.h"
#include "board/makemove.h"
#include "board/movetext.h"
#include "system/log.h"
#include "notation/san.h"
#include "system/scope_exit.h"

namespace kavrin {

namespace {

// The reader's own undo records, one per ply (index = ply number); one set
// per thread, so that threads may read games at the same time.
thread_local UndoRecord readerUndo[MaxGamePlies + 1];

struct ResultForm {
    const char* text;
    char code;
    GameHeader bits;
};
constexpr ResultForm ResultForms[] = {
    {"1-0", 'W', HeaderWhiteWon},
    {"0-1", 'B', HeaderBlackWon},
    {"1/2-1/2", 'D', HeaderDraw},
    {"*", '*', 0},
};

void SetResult(GameResult& result, const char* text, char code) {
    std::snprintf(result.text, sizeof result.text, "%s", text);
    result.code = code;
}

bool IsTokenEnd(int c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '{'; }

// Skips a comment or variation whose opening character has been read; only
// its own pair of characters is counted.
void SkipNested(std::istream& in, char open, char close) {
    int depth = 1;
    while (depth >= 1) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) return;
        if (c == open)
            ++depth;
        else if (c == close)
            --depth;
    }
}

// The report of a move the position does not allow: the diagram, the move
// and its ply number.
void ReportIllegal(const Position& pos, const GameRecord& game, int ply) {
    PrintBoard(pos.board.pieceOn);
    std::printf("move: %s, plyNo:%d\n", game.token, ply);
}

}  // namespace

GameFileError::GameFileError(const char* message) { std::snprintf(text, sizeof text, "%s", message); }

void SetResultFromCode(GameResult& result, char code) {
    for (const ResultForm& form : ResultForms) {
        if (form.code == code && code != '*') {
            SetResult(result, form.text, code);
            return;
        }
    }
    SetResult(result, "", '?');
}

char ResultCodeOfHeader(GameHeader header) {
    for (const ResultForm& form : ResultForms) {
        if (form.bits != 0 && form.bits == (header & HeaderResultMask)) return form.code;
    }
    return '?';
}

bool ReadPgnTags(GameResult& result, std::istream& in) {
    SetResult(result, "", '?');
    char line[PgnTagLineSize];
    in >> std::ws;
    int c = in.get();
    while (c == '[') {
        in >> std::ws;
        in.getline(line, sizeof line);
        if (in.fail() && !in.eof()) {
            // A tag line longer than the buffer: its rest is skipped.
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        }
        if (std::strncmp(line, "Result", 6) == 0) {
            const char* p = line + 6;
            while (*p == ' ') ++p;
            if (*p != '\0') ++p;  // the opening quote
            bool known = false;
            for (const ResultForm& form : ResultForms) {
                if (std::strncmp(p, form.text, std::strlen(form.text)) == 0) {
                    SetResult(result, form.text, form.code);
                    known = true;
                    break;
                }
            }
            if (!known) throw GameFileError("Result Error 1");
        }
        in >> std::ws;
        c = in.get();
    }
    if (c != std::char_traits<char>::eof()) in.unget();
    if (in.good() && result.code == '?') throw GameFileError("Result Error 2");
    return in.good();
}

Move ReadSanToken(Position& pos, GameRecord& game, std::istream& in) {
    int n = 0;
    while (n < PgnTokenSize - 1) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) break;
        if (IsTokenEnd(c)) {
            in.unget();
            break;
        }
        game.token[n++] = static_cast<char>(c);
    }
    game.token[n] = '\0';
    return ParseSan(pos, game.token);
}

GameHeader ReadPgnGame(Position& pos, GameRecord& game, std::istream& in) {
    game.moves[0] = 0;
    game.token[0] = '\0';
    int ply = 1;
    // However the reader leaves, by return or by throw, the moves stored so far
    // are taken back, last first, after its reports: the Board is at the
    // initial position again.
    const ScopeExit takeBack([&] {
        for (int i = ply - 1; i >= 1; --i) UnmakeMove(pos, game.moves[i], readerUndo[i]);
    });
    if (!ReadPgnTags(game.result, in)) return 0;

    const auto eof = std::char_traits<char>::eof();
    bool ended = false;
    while (!ended && in.good()) {
        in >> std::ws;
        const int c = in.get();
        if (c == eof) break;
        if (c == '*') {
            // The closing '*' of an unfinished game is consumed, so that the
            // next game begins with its tags.
            if (game.result.code != '*') throw GameFileError("Result * error");
            ended = true;
        } else if (c >= '0' && c <= '9') {
            const char* text = game.result.text;
            if (c == text[0] && text[0] != '\0' && in.peek() == text[1]) {
                for (const char* p = text + 1; *p != '\0'; ++p) {
                    if (in.get() != *p) throw GameFileError("wrong end result 1");
                }
                ended = true;
            }
        } else if (c == '.' || c == '$' || c == '\n' || c == '\t') {
            // Move-number dots and glyph marks carry nothing.
        } else if (c == '{') {
            SkipNested(in, '{', '}');
        } else if (c == '(') {
            SkipNested(in, '(', ')');
        } else {
            in.unget();
            const Move m = ReadSanToken(pos, game, in);
            if (m == 0) {
                logStream << game.token << "ERROR" << std::endl;
                std::printf("move: %s, plyNo:%d\n", game.token, ply);
                return 0;
            }
            if (ply > MaxGamePlies) continue;  // beyond the stored length

            const Legality legality = CheckMove(pos, m);
            if (legality == Legality::NotGenerated) {
                ReportIllegal(pos, game, ply);
                logStream << game.token << "MOVE NOT LEGAL 1" << std::endl;
                throw GameFileError("MOVE NOT LEGAL 1");
            }
            UndoRecord& undo = readerUndo[ply];
            SaveForMake(pos, undo);
            MakeMove(pos, m, undo);
            if (legality == Legality::LeavesKingAttacked) {
                // The report shows the position with the move made.
                ReportIllegal(pos, game, ply);
                UnmakeMove(pos, m, undo);
                throw GameFileError("MOVE NOT LEGAL 2 - check revealed");
            }
            game.moves[ply++] = m;
        }
    }

    if (ply == 1) {
        in >> std::ws;
        return 0;
    }
    const ResultForm* form = nullptr;
    for (const ResultForm& candidate : ResultForms) {
        if (std::strcmp(game.result.text, candidate.text) == 0) form = &candidate;
    }
    if (form == nullptr) throw GameFileError("wrong end result 2");
    game.moves[0] = static_cast<GameHeader>((ply - 1) | form->bits);
    return form->bits;
}

void WritePgnGame(const GameRecord& game, std::ostream& out) {
    out << "[Result \"" << game.result.text << "\"]" << std::endl;
    char text[MoveTextSize];
    const int n = game.PlyCount();
    for (int i = 1; i <= n; ++i) {
        if (i & 1) out << (i + 1) / 2 << ". ";
        MoveToText(text, game.moves[i]);
        out << text << ' ';
    }
    out << game.result.text << std::endl;
}

}  // namespace kavrin
