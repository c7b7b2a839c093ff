#include "uci/input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/stdin_poll.h"

namespace kavrin {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Appends n bytes just read at the end of the buffer, or drops them while a
// too long line is skipped.
void Received(UciInput& input, size_t n) {
    if (!input.dropping) {
        input.used += n;
        return;
    }
    char* start = input.bytes + input.used;
    char* end = static_cast<char*>(std::memchr(start, '\n', n));
    if (end == nullptr) return;
    input.dropping = false;
    const size_t rest = n - static_cast<size_t>(end + 1 - start);
    std::memmove(start, end + 1, rest);
    input.used += rest;
}

// A full buffer without a line end holds the start of a line that cannot
// fit: it is dropped, and the rest of that line with it.
void DropOverlongLine(UciInput& input) {
    if (input.used < UciInputCapacity || std::memchr(input.bytes, '\n', input.used) != nullptr) return;
    input.used = 0;
    input.offered = 0;
    input.dropping = true;
}

// Removes n bytes at offset from the buffer.
void Remove(UciInput& input, size_t offset, size_t n) {
    std::memmove(input.bytes + offset, input.bytes + offset + n, input.used - offset - n);
    input.used -= n;
}

}  // namespace

void ReadWaitingInput(UciInput& input) {
    if (input.ended) return;
    DropOverlongLine(input);
    const size_t waiting = StdinBytesPending();
    const size_t room = UciInputCapacity - input.used;
    if (waiting == 0 || room == 0) return;
    const ssize_t n = read(STDIN_FILENO, input.bytes + input.used, waiting < room ? waiting : room);
    if (n > 0) {
        Received(input, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        input.ended = true;
    }
}

bool ReadMoreInput(UciInput& input) {
    DropOverlongLine(input);
    while (!input.ended) {
        const ssize_t n = read(STDIN_FILENO, input.bytes + input.used, UciInputCapacity - input.used);
        if (n > 0) {
            Received(input, static_cast<size_t>(n));
            return true;
        }
        if (n == 0 || errno != EINTR) input.ended = true;
    }
    return false;
}

void WaitForInputOrWake(UciInput& input, int wakeFd) {
    if (input.ended) {
        pollfd wake{wakeFd, POLLIN, 0};
        while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
        }
    } else {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        while (poll(fds, 2, -1) < 0 && errno == EINTR) {
        }
    }
    char drained[64];
    while (read(wakeFd, drained, sizeof drained) > 0) {
    }
    ReadWaitingInput(input);
}

bool InputEnded(const UciInput& input) { return input.ended; }

bool NextLine(UciInput& input, std::string& line) {
    for (;;) {
        const char* end = static_cast<const char*>(std::memchr(input.bytes, '\n', input.used));
        if (end != nullptr || (input.ended && input.used > 0)) {
            const size_t length = end != nullptr ? static_cast<size_t>(end - input.bytes) : input.used;
            line.assign(input.bytes, length);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t taken = end != nullptr ? length + 1 : length;
            Remove(input, 0, taken);
            input.offered = input.offered > taken ? input.offered - taken : 0;
            return true;
        }
        if (!ReadMoreInput(input) && input.used == 0) return false;
    }
}

void OfferNewLines(UciInput& input, const std::function<LineVerdict(const char* word)>& handle) {
    size_t start = input.offered;
    while (start < input.used) {
        const char* end = static_cast<const char*>(std::memchr(input.bytes + start, '\n', input.used - start));
        if (end == nullptr) return;
        const size_t length = static_cast<size_t>(end - (input.bytes + start)) + 1;
        // The first word, cut to the room kept for it.
        char word[UciWordSize];
        size_t at = start;
        while (at < start + length && IsBlank(input.bytes[at])) ++at;
        int n = 0;
        while (at < start + length && n < UciWordSize - 1 && !IsBlank(input.bytes[at]) && input.bytes[at] != '\n')
            word[n++] = input.bytes[at++];
        word[n] = '\0';
        const LineVerdict verdict = handle(word);
        if (verdict == LineVerdict::StopHere) return;
        if (verdict == LineVerdict::Taken) {
            Remove(input, start, length);
        } else {
            start += length;
            input.offered = start;
        }
    }
}

}  // namespace kavrin
