#include "platform/SignalCleanup.h"

#include "platform/RemovedOnSignal.h"

#include <csignal>

namespace {

void removeFilesAndDie(int signal)
{
    RemovedOnSignal::removeAll();
    ::signal(signal, SIG_DFL);
    // Blocked while this handler runs: delivered, with the default action, as it returns.
    ::raise(signal);
}

} // namespace

void removeRegisteredFilesOnSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = removeFilesAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) {
        // All of them held off while one is being handled.
        sigaddset(&action.sa_mask, signal);
    }
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) {
        // A signal the starting process chose to ignore (nohup, a background job) stays
        // ignored.
        struct sigaction previous
        {
        };
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}
