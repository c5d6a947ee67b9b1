#include "platform/TerminationSignals.h"

#include "platform/RemovedOnSignal.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end is all a signal handler may touch.
int g_pipe[2] = {-1, -1};
constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};
struct sigaction g_previous[kSignals.size()];
std::atomic<int> g_received{0};

void passSignalOn(int signal)
{
    // The first one asks the window to close. Another one means the close is not getting
    // anywhere (a box waits for the user, a parent does not answer): end here, leaving no
    // temporary file behind; every file that stays is written whole or not at all.
    if (g_received.fetch_add(1) > 0) {
        RemovedOnSignal::removeAll();
        ::_exit(128 + signal);
    }
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject *parent)
    : QObject(parent)
    , m_onSignal(std::move(onSignal))
{
    g_received = 0;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action
    {
    };
    action.sa_handler = passSignalOn;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (g_pipe[0] < 0)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::readSignal()
{
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_onSignal)
        m_onSignal();
}
