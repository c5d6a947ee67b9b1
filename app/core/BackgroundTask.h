#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

// Runs one piece of work at a time on a thread of its own, so that the thread that started it
// (the window's) goes on answering meanwhile, and reports its end there. The work is told
// whether it is still wanted through a flag it should look at now and then; destroying the
// task calls the work off and waits for it.
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<void(const std::atomic<bool> &cancelled)>;

    explicit BackgroundTask(QObject *parent = nullptr);
    ~BackgroundTask() override;

    // From start() until finished() has been emitted.
    bool running() const { return m_running; }

    // Starts `work`; nothing happens while another one is running.
    void start(Work work);
    // Asks the running work to stop; finished() still comes.
    void cancel();
    // Calls the work off, waits until it has ended, and drops its finished(): for the end of
    // the owner's life.
    void stop();

Q_SIGNALS:
    // On the thread that started the work, once it has ended: with what it raised, if anything.
    void finished(std::exception_ptr error);

private:
    void done(quint64 generation, std::exception_ptr error);

    std::atomic<bool> m_cancelled = false;
    quint64 m_generation = 0;
    std::unique_ptr<QThread> m_thread;
    bool m_running = false;
};
