/* Preloaded into Wine for the COM1 tests: a pseudo-terminal has no modem lines, so Wine's
 * GetCommModemStatus, EscapeCommFunction and modem-line event waits fail on it with error 50.
 * This answers those requests for pseudo-terminals from a per-process line state and passes every
 * other request through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

static int lines = 0;

static int is_pty(int fd) {
    char link[64];
    char path[128];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    return strncmp(path, "/dev/pts/", 9) == 0;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...) = NULL;
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (real == NULL)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");

    const int modem = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
                      request == TIOCMBIC || request == TIOCMIWAIT;
    if (!modem || !is_pty(fd))
        return real(fd, request, arg);
    switch (request) {
    case TIOCMGET:
        *(int*)arg = lines;
        return 0;
    case TIOCMSET:
        lines = *(const int*)arg;
        return 0;
    case TIOCMBIS:
        lines |= *(const int*)arg;
        return 0;
    case TIOCMBIC:
        lines &= ~*(const int*)arg;
        return 0;
    default: {
        /* The lines never change: wait a little, as a driver with nothing to report would,
         * so that a caller polling in a loop does not spin. */
        const struct timespec pause = {0, 50 * 1000 * 1000};
        nanosleep(&pause, NULL);
        return 0;
    }
    }
}
