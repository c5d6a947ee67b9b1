#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end is all a signal handler may touch.
int g_pipe[2] = {-1, -1};
constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};
struct sigaction g_previous[kSignals.size()];

void passSignalOn(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject *parent)
    : QObject(parent)
    , m_onSignal(std::move(onSignal))
{
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
