#include "driver/input.h"

#include <climits>
#include <cstring>

#include "system/stdin_poll.h"

namespace kavrin {

namespace {

bool IsWhiteSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int NextChar(WordSource& source) {
    if (source.pushedBack != EOF) {
        int c = source.pushedBack;
        source.pushedBack = EOF;
        return c;
    }
    return std::getc(source.file);
}

void PutBack(WordSource& source, int c) { source.pushedBack = c; }

int SkipWhiteSpace(WordSource& source) {
    int c = NextChar(source);
    while (c != EOF && IsWhiteSpace(c)) c = NextChar(source);
    return c;
}

}  // namespace

unsigned InputPending(const CommandInput& input) {
    // A put-back character that starts a word is unread input too; a blank
    // left after a word is not worth stopping a search for.
    const int pushedBack = input.source.pushedBack;
    const unsigned own = (pushedBack != EOF && !IsWhiteSpace(pushedBack)) ? 1 : 0;
    return (input.wordKept ? 1 : 0) + own + StdinBytesPending();
}

void KeepCommandWord(CommandInput& input, const char word[CommandBufferSize]) {
    std::memcpy(input.keptWord, word, CommandBufferSize);
    input.wordKept = true;
}

bool NextCommandWord(CommandInput& input, char out[CommandBufferSize]) {
    if (input.wordKept) {
        input.wordKept = false;
        std::memcpy(out, input.keptWord, CommandBufferSize);
        return true;
    }
    return ReadWord(input.source, out);
}

WaitingInput SkipWaitingWhiteSpace(WordSource& source) {
    for (;;) {
        if (source.pushedBack != EOF) {
            if (!IsWhiteSpace(source.pushedBack)) return WaitingInput::Word;
            source.pushedBack = EOF;
            continue;
        }
        if (StdinBytesPending() == 0) return WaitingInput::Nothing;
        const int c = std::getc(source.file);
        if (c == EOF) return WaitingInput::End;
        if (!IsWhiteSpace(c)) {
            PutBack(source, c);
            return WaitingInput::Word;
        }
    }
}

bool ReadWord(WordSource& source, char out[CommandBufferSize]) {
    int c = SkipWhiteSpace(source);
    if (c == EOF) {
        out[0] = '\0';
        return false;
    }
    int length = 0;
    while (c != EOF && !IsWhiteSpace(c)) {
        if (length < MaxWordLength) out[length++] = static_cast<char>(c);
        c = NextChar(source);
    }
    out[length] = '\0';
    if (c != EOF) PutBack(source, c);
    return true;
}

bool ReadNumber(WordSource& source, int& value) {
    int c = SkipWhiteSpace(source);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = NextChar(source);
    }
    if (c < '0' || c > '9') {
        if (c != EOF) PutBack(source, c);
        return false;
    }
    // Accumulate the magnitude in a wider type and saturate, so that no
    // overlong number overflows.
    long long magnitude = 0;
    while (c >= '0' && c <= '9') {
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + (c - '0');
        c = NextChar(source);
    }
    if (c != EOF) PutBack(source, c);
    if (negative) {
        value = magnitude > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(magnitude);
    } else {
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    return true;
}

int ReadLineRest(WordSource& source, char out[CommandBufferSize]) {
    int length = 0;
    int c = EOF;
    while (length < SetboardReadLimit - 1) {
        c = NextChar(source);
        if (c == EOF) break;
        out[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    out[length] = '\0';
    // The line did not fit: drop what is left of it, so that none of it is
    // read later as command words.
    if (length == SetboardReadLimit - 1 && c != '\n') {
        do {
            c = NextChar(source);
        } while (c != EOF && c != '\n');
    }
    return length;
}

}  // namespace kavrin
