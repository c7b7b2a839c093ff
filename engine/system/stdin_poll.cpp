#include "system/stdin_poll.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavrin {

unsigned StdinBytesPending() {
    int count = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &count) == 0) {
        if (count > 0) return static_cast<unsigned>(count);
        // A regular file read to its end has nothing more to give: that end is
        // the interface's last word, so report it and let the reader see it.
        struct stat st;
        if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) return 1;
        // A pipe whose writer has gone reports 0 bytes but is readable.
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return 1;
        return 0;
    }
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int r = poll(&p, 1, 0);
    if (r < 0) return 1;
    return (r > 0 && p.revents) ? 1 : 0;
}

}  // namespace kavrin
