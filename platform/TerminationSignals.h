#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT into a call on the GUI thread, so that a session that ends
// or a `kill` closes the viewer like its close button does (settings saved, parent told).
// A second one, while that close is still held up (by a modal box, say), ends the process at
// once with the status 128 + the signal's number, after removing the files registered with
// RemovedOnSignal. One instance per process; the handlers are restored when it is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    ~TerminationSignals() override;

private:
    void readSignal();

    std::function<void()> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
};
