#include "SignalWatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };
const int kWatchedSignals[] = { SIGINT, SIGTERM };

} // namespace

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
    , m_pNotifier(nullptr)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pNotifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, SIGNAL(activated(int)), this, SLOT(ReadPipe()));
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kWatchedSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    for (int signalNumber : kWatchedSignals)
        std::signal(signalNumber, SIG_DFL);
    delete m_pNotifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalWatcher::ReadPipe()
{
    unsigned char signalNumber = 0;
    while (::read(g_pipe[0], &signalNumber, 1) == 1)
        emit Caught(signalNumber);
}

// Only async-signal-safe work here; a full pipe just loses a repeat.
void SignalWatcher::OnSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    const ssize_t written = ::write(g_pipe[1], &byte, 1);
    static_cast<void>(written);
}

#else

// Elsewhere Ctrl+C ends the simulator at once, without its summary line.
SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
    , m_pNotifier(nullptr)
{
}

SignalWatcher::~SignalWatcher() = default;

void SignalWatcher::ReadPipe() {}

void SignalWatcher::OnSignal(int) {}

#endif
