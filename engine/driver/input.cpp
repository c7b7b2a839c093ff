#include "driver/input.h"

#include <climits>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavrin {

WordSource commandInput{stdin};

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

unsigned InputPending() {
    // A put-back character that starts a word is unread input too; a blank
    // left after a word is not worth stopping a search for.
    unsigned own = (commandInput.pushedBack != EOF && !IsWhiteSpace(commandInput.pushedBack)) ? 1 : 0;
    int count = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &count) == 0) {
        if (count > 0) return static_cast<unsigned>(count) + own;
        if (own) return own;
        // A regular file read to its end has nothing more to give: that end is
        // the interface's last word, so report it and let the loop see it.
        struct stat st;
        if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) return 1;
        // A pipe whose writer has gone reports 0 bytes but is readable.
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return 1;
        return 0;
    }
    if (own) return own;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int r = poll(&p, 1, 0);
    if (r < 0) return 1;
    return (r > 0 && p.revents) ? 1 : 0;
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
