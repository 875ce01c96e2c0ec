// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/standardstreams.h"

#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void guardStandardStreams()
{
    // open() takes the lowest free number: in order, each closed one is
    // filled in turn.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd)
                ::close(opened); // the number was taken meanwhile: nothing to mend
        }
    }
    // Said plainly: Qt's logging is not set up this early.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGPIPE, &ignore, nullptr) != 0)
        std::fprintf(stderr,
                     "wendrel: cannot ignore SIGPIPE (sigaction: %s): a log reader "
                     "that goes away ends the program\n",
                     std::strerror(errno));
}
