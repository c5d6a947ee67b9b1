#include "app/core/BackgroundTask.h"

#include <QSignalSpy>
#include <QTest>
#include <stdexcept>
#include <thread>

class tst_BackgroundTask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workRunsOffThisThreadAndEndsOnIt();
    void errorsComeBackWithTheEnd();
    void cancelAsksTheWorkToStop();
    void stopWaitsAndSaysNothing();
    void startWhileRunningDoesNothing();
};

void tst_BackgroundTask::workRunsOffThisThreadAndEndsOnIt()
{
    BackgroundTask task;
    std::thread::id workedOn;
    QThread *endedOn = nullptr;
    connect(&task, &BackgroundTask::finished, this, [&](std::exception_ptr error) {
        QVERIFY(!error);
        endedOn = QThread::currentThread();
    });
    task.start([&](const std::atomic<bool> &) { workedOn = std::this_thread::get_id(); });
    QVERIFY(task.running());
    QTRY_VERIFY(!task.running());
    QVERIFY(workedOn != std::this_thread::get_id());
    QCOMPARE(endedOn, QThread::currentThread());
}

void tst_BackgroundTask::errorsComeBackWithTheEnd()
{
    BackgroundTask task;
    QSignalSpy ended(&task, &BackgroundTask::finished);
    task.start([](const std::atomic<bool> &) { throw std::runtime_error("broken"); });
    QTRY_COMPARE(ended.size(), 1);
    const auto error = ended.at(0).at(0).value<std::exception_ptr>();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, std::rethrow_exception(error));
}

void tst_BackgroundTask::cancelAsksTheWorkToStop()
{
    BackgroundTask task;
    QSignalSpy ended(&task, &BackgroundTask::finished);
    std::atomic<bool> started = false;
    task.start([&](const std::atomic<bool> &cancelled) {
        started = true;
        while (!cancelled)
            std::this_thread::yield();
    });
    QTRY_VERIFY(started);
    task.cancel();
    QTRY_COMPARE(ended.size(), 1);
}

void tst_BackgroundTask::stopWaitsAndSaysNothing()
{
    BackgroundTask task;
    QSignalSpy ended(&task, &BackgroundTask::finished);
    std::atomic<bool> stopped = false;
    task.start([&](const std::atomic<bool> &cancelled) {
        while (!cancelled)
            std::this_thread::yield();
        stopped = true;
    });
    task.stop();
    QVERIFY(stopped);
    QVERIFY(!task.running());
    // The end of the stopped work is not reported, not even after a new start.
    task.start([](const std::atomic<bool> &) {});
    QTRY_COMPARE(ended.size(), 1);
    QTest::qWait(20);
    QCOMPARE(ended.size(), 1);
}

void tst_BackgroundTask::startWhileRunningDoesNothing()
{
    BackgroundTask task;
    QSignalSpy ended(&task, &BackgroundTask::finished);
    std::atomic<int> runs = 0;
    std::atomic<bool> release = false;
    task.start([&](const std::atomic<bool> &) {
        ++runs;
        while (!release)
            std::this_thread::yield();
    });
    task.start([&](const std::atomic<bool> &) { ++runs; });
    release = true;
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(runs.load(), 1);
}

QTEST_GUILESS_MAIN(tst_BackgroundTask)
#include "tst_backgroundtask.moc"
