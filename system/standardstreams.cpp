// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/standardstreams.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

void guardStandardStreams()
{
#if defined(Q_OS_UNIX)
    // open() takes the lowest free number: in order, each closed one is
    // filled in turn.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd)
                ::close(opened); // the number was taken meanwhile: nothing to mend
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
#endif
}
