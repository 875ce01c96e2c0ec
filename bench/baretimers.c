/* SPDX-FileCopyrightText: 2026 The Wendrel developers
 * SPDX-License-Identifier: MIT
 */

/* The anchor the benchmark holds Wendrel against: the two timers of the
 * design (a 250 ms countdown and a 100 ms chaser) in a bare C program with
 * timerfd and poll, nothing drawn, and a carriage return once the interval
 * has run out, counted on the boot-time clock as Wendrel counts it.
 *
 *   baretimers DEVICE INTERVAL_MS
 *
 * With --floor it is the least any program can do instead: one boot-time
 * timer at the interval, one wakeup and one carriage return a ping.
 *
 *   baretimers --floor DEVICE INTERVAL_MS
 */
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static volatile sig_atomic_t running = 1;

static void stop(int signal)
{
    (void)signal;
    running = 0;
}

static int64_t boot_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static int periodic(int milliseconds)
{
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    struct itimerspec every = { { 0, milliseconds * 1000000L }, { 0, milliseconds * 1000000L } };
    timerfd_settime(fd, 0, &every, NULL);
    return fd;
}

static int floor_only(int port, int64_t interval)
{
    const int fd = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC);
    const struct timespec every = { (time_t)(interval / 1000), (long)(interval % 1000) * 1000000L };
    const struct itimerspec timer = { every, every };
    timerfd_settime(fd, 0, &timer, NULL);
    if (write(port, "\r", 1) != 1)
        return 1;
    struct pollfd timer_ready = { fd, POLLIN, 0 };
    while (running) {
        uint64_t expirations;
        if (poll(&timer_ready, 1, -1) > 0 && read(fd, &expirations, sizeof expirations) > 0
            && write(port, "\r", 1) != 1)
            return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    const int floor = argc == 4 && argv[1][0] == '-';
    if (floor) {
        ++argv;
        --argc;
    }
    if (argc != 3) {
        fprintf(stderr, "usage: %s [--floor] DEVICE INTERVAL_MS\n", argv[0]);
        return 2;
    }
    const int64_t interval = atoll(argv[2]);
    const int port = open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (port < 0) {
        perror(argv[1]);
        return 1;
    }
    struct termios settings;
    tcgetattr(port, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    tcsetattr(port, TCSANOW, &settings);
    signal(SIGTERM, stop);
    signal(SIGINT, stop);
    if (floor)
        return floor_only(port, interval);

    if (write(port, "\r", 1) != 1)
        return 1;
    int64_t last = boot_ms();
    struct pollfd timers[2] = { { periodic(250), POLLIN, 0 }, { periodic(100), POLLIN, 0 } };
    unsigned lamp = 0;
    while (running) {
        if (poll(timers, 2, -1) <= 0)
            continue;
        uint64_t expirations;
        if (timers[1].revents & POLLIN) {
            if (read(timers[1].fd, &expirations, sizeof expirations) > 0)
                lamp = (lamp + 1) % 12;
        }
        if (timers[0].revents & POLLIN) {
            if (read(timers[0].fd, &expirations, sizeof expirations) > 0
                && boot_ms() - last >= interval) {
                if (write(port, "\r", 1) != 1)
                    return 1;
                last = boot_ms();
            }
        }
    }
    return lamp > 12; /* keeps the chaser's work from being optimised away */
}
