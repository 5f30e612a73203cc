/* Stands in for the phone's devices in tests, loaded with LD_PRELOAD.
 *
 * open/open64 of "/dev/fb0", "/dev/keylight" and "/dev/mixer" give a
 * descriptor of /dev/null that this library remembers; ioctl and close on
 * it are logged instead of reaching a driver. Every other call passes on.
 *
 * Environment, read at each call so a test may change it between cases:
 *   MOVARA_FAKE_DEVICE_LOG   log file: "open <path> <flags>", "ioctl <path>
 *                            0x<request> <argument>", "close <path>"
 *   MOVARA_FAKE_DEVICES      "missing": opening the devices fails with ENOENT
 *   MOVARA_FAKE_MIXER_STATE  answer to the mixer's output-state read (default 0);
 *                            "fail" makes that request fail with EINVAL
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#define MAX_FAKES 64

static int fakeFds[MAX_FAKES];
static const char *fakePaths[MAX_FAKES];
static int fakeCount;

static const char *const devices[] = {"/dev/fb0", "/dev/keylight", "/dev/mixer"};

typedef int (*OpenFn)(const char *, int, ...);
typedef int (*IoctlFn)(int, unsigned long, ...);
typedef int (*CloseFn)(int);

static const char *fakeDevice(const char *path)
{
    if (!path)
        return NULL;
    for (size_t i = 0; i < sizeof devices / sizeof devices[0]; ++i)
        if (strcmp(path, devices[i]) == 0)
            return devices[i];
    return NULL;
}

static const char *fakeOfFd(int fd)
{
    for (int i = 0; i < fakeCount; ++i)
        if (fakeFds[i] == fd)
            return fakePaths[i];
    return NULL;
}

static void logLine(const char *text)
{
    const char *path = getenv("MOVARA_FAKE_DEVICE_LOG");
    if (!path)
        return;
    static OpenFn realOpen;
    static CloseFn realClose;
    if (!realOpen)
        realOpen = (OpenFn)dlsym(RTLD_NEXT, "open");
    if (!realClose)
        realClose = (CloseFn)dlsym(RTLD_NEXT, "close");
    const int fd = realOpen(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t ignored = write(fd, text, strlen(text));
    (void)ignored;
    realClose(fd);
}

static int openFake(const char *device, int flags, OpenFn real)
{
    char entry[128];
    snprintf(entry, sizeof entry, "open %s %d\n", device, flags & O_ACCMODE);
    const char *mode = getenv("MOVARA_FAKE_DEVICES");
    if (mode && strcmp(mode, "missing") == 0) {
        snprintf(entry, sizeof entry, "open %s missing\n", device);
        logLine(entry);
        errno = ENOENT;
        return -1;
    }
    logLine(entry);
    const int fd = real("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd >= 0 && fakeCount < MAX_FAKES) {
        fakeFds[fakeCount] = fd;
        fakePaths[fakeCount] = device;
        ++fakeCount;
    }
    return fd;
}

static int openWith(const char *symbol, const char *path, int flags, mode_t mode)
{
    static OpenFn realOpen, realOpen64;
    OpenFn *slot = strcmp(symbol, "open") == 0 ? &realOpen : &realOpen64;
    if (!*slot)
        *slot = (OpenFn)dlsym(RTLD_NEXT, symbol);
    const char *device = fakeDevice(path);
    if (device)
        return openFake(device, flags, *slot);
    return (*slot)(path, flags, mode);
}

int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openWith("open", path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openWith("open64", path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...)
{
    static IoctlFn realIoctl;
    if (!realIoctl)
        realIoctl = (IoctlFn)dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);

    const char *device = fakeOfFd(fd);
    if (!device)
        return realIoctl(fd, request, argument);

    char entry[160];
    if (strcmp(device, "/dev/mixer") == 0) {
        int *value = (int *)argument;
        if (request == 0x80044DEDUL) {
            const char *state = getenv("MOVARA_FAKE_MIXER_STATE");
            if (state && strcmp(state, "fail") == 0) {
                logLine("ioctl /dev/mixer 0x80044ded failed\n");
                errno = EINVAL;
                return -1;
            }
            *value = state ? atoi(state) : 0;
        }
        snprintf(entry, sizeof entry, "ioctl %s 0x%lx %d\n", device, request, *value);
    } else {
        snprintf(entry, sizeof entry, "ioctl %s 0x%lx %d\n", device, request, (int)(long)argument);
    }
    logLine(entry);
    return 0;
}

int close(int fd)
{
    static CloseFn realClose;
    if (!realClose)
        realClose = (CloseFn)dlsym(RTLD_NEXT, "close");
    for (int i = 0; i < fakeCount; ++i) {
        if (fakeFds[i] == fd) {
            char entry[64];
            snprintf(entry, sizeof entry, "close %s\n", fakePaths[i]);
            logLine(entry);
            fakeFds[i] = fakeFds[fakeCount - 1];
            fakePaths[i] = fakePaths[fakeCount - 1];
            --fakeCount;
            break;
        }
    }
    return realClose(fd);
}
