#include "app/mvquitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};
// One pair for the process, made once and never closed: a handler that is
// still running as its object goes must not write to a closed or reused
// descriptor. A handler cannot be told which object it serves.
int signalSocket[2] = {-1, -1};
const MvQuitSignals *listening = nullptr;

bool haveSocketPair()
{
    static const bool made =
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSocket) == 0;
    return made;
}
} // namespace

MvQuitSignals::MvQuitSignals(QObject *parent) : QObject(parent)
{
    if (listening || !haveSocketPair())
        return;
    listening = this;
    // A signal that reached an object gone before was that object's.
    unsigned char stale = 0;
    while (read(signalSocket[0], &stale, 1) == 1) {
    }
    notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &MvQuitSignals::readSignals);

    struct sigaction action = {};
    action.sa_handler = &MvQuitSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : quitSignals) {
        // A signal ignored from the start stays ignored (nohup, a shell's background job).
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

MvQuitSignals::~MvQuitSignals()
{
    if (!notifier)
        return;
    for (int signal : quitSignals) {
        struct sigaction current = {};
        if (sigaction(signal, nullptr, &current) == 0 &&
            current.sa_handler == &MvQuitSignals::handle)
            std::signal(signal, SIG_DFL);
    }
    delete notifier;
    listening = nullptr;
}

void MvQuitSignals::handle(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full socket drops the byte: a quit is already on its way.
    [[maybe_unused]] const ssize_t written = write(signalSocket[1], &number, 1);
    errno = savedErrno;
}

void MvQuitSignals::readSignals()
{
    unsigned char number = 0;
    int first = 0;
    while (read(signalSocket[0], &number, 1) == 1) {
        if (!first)
            first = number;
    }
    if (first)
        QCoreApplication::exit(128 + first);
}
