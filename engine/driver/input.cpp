#include "driver/input.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kavrin {

unsigned InputPending() {
    int count = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &count) == 0) {
        if (count > 0) return static_cast<unsigned>(count);
        // A pipe whose writer has gone reports 0 bytes but is readable (end of
        // input): report it so that a search ends and the loop sees the end.
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return 1;
        return 0;
    }
    // Not a pipe, terminal or file that answers the byte count: ask poll.
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int r = poll(&p, 1, 0);
    if (r < 0) return 1;
    return (r > 0 && p.revents) ? 1 : 0;
}

}  // namespace kavrin
