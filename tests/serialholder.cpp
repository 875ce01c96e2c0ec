// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Holds a serial device the way other programs do, for the tests of a port in
// use: "--qt" opens it as Wendrel itself does (Qt's lock file and an exclusive
// open), "--exclusive" opens it and sets TIOCEXCL as terminal programs do,
// "--lockfile" leaves only a UUCP-style lock file with its own pid. It prints
// "ready" once it holds the device and lets go when its standard input closes.

#include "serialport/qtserialcomm.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

static void waitForStdinToClose()
{
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
}

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: serialholder --qt|--exclusive|--lockfile DEVICE\n");
        return 2;
    }
    const std::string mode = argv[1];
    const QString device = QString::fromLocal8Bit(argv[2]);
    if (mode == "--qt") {
        QCoreApplication app(argc, argv);
        QtSerialComm serial;
        serial.setDevice(1, device);
        try {
            serial.setPortOpen(true);
        } catch (const SerialError &error) {
            std::fprintf(stderr, "cannot open: %d %s (group %s)\n", error.number(), error.what(),
                         qPrintable(error.owningGroup()));
            return 1;
        }
        waitForStdinToClose();
        return 0;
    }
    if (mode == "--exclusive") {
        const int fd = ::open(argv[2], O_RDWR | O_NOCTTY);
        if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0) {
            std::perror("cannot hold the device");
            return 1;
        }
        waitForStdinToClose();
        ::close(fd);
        return 0;
    }
    if (mode == "--lockfile") {
        std::string name = argv[2];
        if (name.rfind("/dev/", 0) == 0)
            name = name.substr(5);
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string path = "/var/lock/LCK.." + name;
        FILE *lock = std::fopen(path.c_str(), "wx");
        if (!lock) {
            std::perror(path.c_str());
            return 1;
        }
        std::fprintf(lock, "%10d\n", int(::getpid()));
        std::fclose(lock);
        waitForStdinToClose();
        ::unlink(path.c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
