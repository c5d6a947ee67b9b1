#include "app/core/ScanScheduler.h"
#include "app/core/TornSnapshot.h"
#include "sheet/model/ReadControl.h"
#include "tests/support/RecordingScanHost.h"
#include "tests/support/ScriptedSource.h"
#include "util/InOutError.h"

#include <QTest>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Ms = RecordingScanHost::Ms;

// The window around the scheduler, with both timers simulated on a millisecond clock that
// starts close to the tick counter's wrap.
class Window final : public RecordingScanHost
{
public:
    static constexpr Ms Boot = (Ms{1} << 32) - 100'000;

    Ms now = Boot;
    int interval = 20;
    bool cadenceEnabled = false;
    Ms nextCadence = 0;
    Ms nextRetry = 0;

    std::vector<std::int32_t> loadSizes;
    std::vector<QString> errors;

    // The watched file at each moment.
    std::function<ScriptedFile(Ms)> fileAt = [](Ms) {
        return ScriptedFile{};
    };
    ScriptedSource source;
    SnapshotBuffer snapshot;
    ScanScheduler scheduler{*this, source, snapshot};

    Window()
    {
        source.fileAt = [this](int) {
            return fileAt(now);
        };
    }

    std::uint32_t tick() const { return static_cast<std::uint32_t>(now); }
    Ms sinceBoot() const { return now - Boot; }

    void LoadResults() override
    {
        loadSizes.push_back(snapshot.FileBufferSize());
        RecordingScanHost::LoadResults();
    }

    void endImport(std::exception_ptr error)
    {
        try {
            scheduler.importEnded(error);
        } catch (const ViewerError &e) {
            errors.push_back(e.message());
        }
    }

    void start()
    {
        scheduler.startCadence(tick(), interval);
        setCadence(true);
    }
    void setCadence(bool enabled)
    {
        cadenceEnabled = enabled;
        nextCadence = now + 1000;
    }
    void retryTick()
    {
        try {
            scheduler.retryTick(QStringLiteral("/results/Bellquor.xls"));
        } catch (const ViewerError &error) {
            errors.push_back(error.message());
        }
    }
    // Fires the timers in time order until `untilSinceBoot`.
    void run(Ms untilSinceBoot)
    {
        const Ms end = Boot + untilSinceBoot;
        for (;;) {
            const Ms cadence = cadenceEnabled ? nextCadence : UINT64_MAX;
            const Ms retry = retryEnabled ? nextRetry : UINT64_MAX;
            const Ms next = std::min(cadence, retry);
            if (next > end)
                break;
            now = next;
            if (next == cadence) {
                nextCadence += 1000;
                scheduler.cadenceTick(tick(), interval);
            } else {
                nextRetry += 300;
                retryTick();
            }
        }
        now = end;
    }

protected:
    Ms moment() const override { return now - Boot; }
    void retryTimerSet(bool enabled) override
    {
        if (enabled)
            nextRetry = now + 300;
    }
};

ScriptedFile present(QByteArray bytes = QByteArrayLiteral("workbook"))
{
    return {SnapshotOutcome::Taken, std::move(bytes), {}, -1, 0};
}
ScriptedFile with(SnapshotOutcome state, int errorCode = 0)
{
    return {state, {}, {}, -1, errorCode};
}

} // namespace

class TestScanScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstScanAtFirstTick();
    void heldTwoSecondsSucceedsAtSeventhRetry();
    void heldPastNineSecondsGivesUpSilently();
    void missingFileClearsWithoutLimit();
    void missingThenLockedGivesUpAtOnce();
    void stopWhileMissingRunsScanToItsEnd();
    void restartKeepsLastScanTick();
    void tickWrapKeepsInterval();
    void intervalRaisedMidWait();
    void cadenceTickDoesNotRestartRetryRhythm();
    void emptyFile();
    void largeFileGrowsBufferOnce();
    void fileAboveLimitReportedOncePerScan();
    void failureAfterOpenReportedOnceAtGiveUp();
    void failureAfterOpenThenSuccessIsSilent();
    void tornSnapshotRetriedSilently();
    void tornSnapshotAtLastAttemptGivesUp();
    void importErrorPropagatesOnce();
    void noSecondImportWhileImporting();
    void backgroundImportHoldsTheNextScan();
    void backgroundImportEnds();
    void backgroundAttemptHoldsTicks();
};

void TestScanScheduler::firstScanAtFirstTick()
{
    Window w;
    w.start();
    QCOMPARE(w.scheduler.LastScanTick(), static_cast<std::uint32_t>(w.tick() - 20'000));
    w.run(999);
    QVERIFY(!w.retryEnabled);
    w.run(1000);
    QVERIFY(w.retryEnabled);
    QCOMPARE(w.scheduler.LastScanTick(), w.tick());
    QCOMPARE(w.scheduler.OpenAttempts(), 0);
    w.run(20'999);
    QCOMPARE(w.loads, std::vector<Ms>{1300});
    QCOMPARE(w.scheduler.OpenAttempts(), 1);
    QVERIFY(!w.retryEnabled);
    w.run(21'300);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 21'300}));
    QVERIFY(w.errors.empty());
}

void TestScanScheduler::heldTwoSecondsSucceedsAtSeventhRetry()
{
    Window w;
    // Held from the scan's start (1000) for 2 s.
    w.fileAt = [](Ms t) {
        return t - Window::Boot < 3000 ? with(SnapshotOutcome::Refused) : present();
    };
    w.start();
    w.run(15'000);
    QCOMPARE(w.loads, std::vector<Ms>{1000 + 7 * 300});
    QCOMPARE(w.scheduler.OpenAttempts(), 7);
    QVERIFY(w.errors.empty());
    QVERIFY(!w.retryEnabled);
}

void TestScanScheduler::heldPastNineSecondsGivesUpSilently()
{
    Window w;
    w.fileAt = [](Ms t) {
        return t - Window::Boot < 15'000 ? with(SnapshotOutcome::Refused) : present();
    };
    w.start();
    w.run(1000 + 9000 - 1);
    QVERIFY(w.retryEnabled);
    QCOMPARE(w.source.taken, 29);
    w.run(1000 + 9000);
    QVERIFY(!w.retryEnabled);
    QCOMPARE(w.scheduler.OpenAttempts(), 30);
    QCOMPARE(w.source.taken, 30);
    QCOMPARE(w.gaveUp, std::vector<Ms>{1000 + 9000});
    w.run(20'999);
    QCOMPARE(w.source.taken, 30);
    QVERIFY(w.loads.empty());
    QVERIFY(w.clears.empty());
    QVERIFY(w.errors.empty());
    // The next scan one interval after the previous scan's start.
    w.run(21'000);
    QCOMPARE(w.scheduler.LastScanTick(), w.tick());
    w.run(22'000);
    QCOMPARE(w.loads, std::vector<Ms>{21'300});
}

void TestScanScheduler::missingFileClearsWithoutLimit()
{
    Window w;
    // There for the first scan, deleted, back at 40 s.
    w.fileAt = [](Ms t) {
        const Ms s = t - Window::Boot;
        return s < 5000 || s >= 40'000 ? present() : with(SnapshotOutcome::Missing);
    };
    w.start();
    w.run(21'000 + 300 * 50);
    QCOMPARE(w.loads, std::vector<Ms>{1300});
    QCOMPARE(w.clears.size(), size_t{50});
    QCOMPARE(w.clears.front(), Ms{21'300});
    for (size_t i = 1; i < w.clears.size(); ++i)
        QCOMPARE(w.clears[i] - w.clears[i - 1], Ms{300});
    QCOMPARE(w.scheduler.OpenAttempts(), 50);
    QVERIFY(w.retryEnabled);
    // The file is back at 40 s and read on the next retry tick, without waiting for the scan
    // that starts at 41 s.
    w.run(40'999);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 40'200}));
    QCOMPARE(w.clears.size(), size_t{(40'200 - 21'300) / 300});
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.errors.empty());
}

void TestScanScheduler::missingThenLockedGivesUpAtOnce()
{
    Window w;
    w.fileAt = [](Ms t) {
        return t - Window::Boot <= 1000 + 40 * 300 ? with(SnapshotOutcome::Missing)
                                                   : with(SnapshotOutcome::Refused);
    };
    w.start();
    w.run(1000 + 41 * 300);
    QCOMPARE(w.clears.size(), size_t{40});
    QCOMPARE(w.scheduler.OpenAttempts(), 41);
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.errors.empty());
    QCOMPARE(w.source.taken, 41);
    w.run(20'999);
    QCOMPARE(w.source.taken, 41);
}

void TestScanScheduler::stopWhileMissingRunsScanToItsEnd()
{
    Window w;
    w.fileAt = [](Ms t) {
        const Ms s = t - Window::Boot;
        return s >= 30'000 ? present() : with(SnapshotOutcome::Missing);
    };
    w.start();
    w.run(5000);
    w.setCadence(false);
    w.run(29'999);
    QCOMPARE(w.clears.size(), size_t{(29'999 - 1000) / 300});
    QVERIFY(w.retryEnabled);
    // The file is back: imported once, then everything rests until Start.
    w.run(200'000);
    QCOMPARE(w.loads, std::vector<Ms>{1000 + 97 * 300});
    QVERIFY(!w.retryEnabled);
    QCOMPARE(w.source.taken, 97);

    // Held by the writer when it reappears after 30 retry ticks: the scan gives up.
    Window held;
    held.fileAt = [](Ms t) {
        return t - Window::Boot >= 30'000 ? with(SnapshotOutcome::Refused)
                                          : with(SnapshotOutcome::Missing);
    };
    held.start();
    held.run(5000);
    held.setCadence(false);
    held.run(200'000);
    QVERIFY(!held.retryEnabled);
    QCOMPARE(held.source.taken, 97);
    QVERIFY(held.loads.empty());
    QVERIFY(held.errors.empty());
}

void TestScanScheduler::restartKeepsLastScanTick()
{
    Window w;
    w.start();
    w.run(2000);
    w.setCadence(false);
    w.run(50'000);
    const std::uint32_t last = w.scheduler.LastScanTick();
    // Restarted long after the interval: the scan starts at the first tick.
    w.setCadence(true);
    QCOMPARE(w.scheduler.LastScanTick(), last);
    w.run(51'000);
    QCOMPARE(w.scheduler.LastScanTick(), w.tick());
    // Restarted within the interval: waits for it, measured from the last start.
    w.run(52'000);
    w.setCadence(false);
    w.run(60'500);
    w.setCadence(true);
    w.run(70'999);
    QCOMPARE(w.loads.size(), size_t{2});
    w.run(71'800);
    QCOMPARE(w.scheduler.LastScanTick(), static_cast<std::uint32_t>(Window::Boot + 71'500));
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 51'300, 71'800}));
}

void TestScanScheduler::tickWrapKeepsInterval()
{
    Window w;
    w.interval = 10;
    w.start();
    std::vector<std::uint32_t> starts;
    // Boot lies 100 s before the wrap: run across it.
    for (Ms s = 1000; s <= 200'000; s += 1000) {
        w.run(s);
        if (w.scheduler.LastScanTick() == w.tick() && w.scheduler.OpenAttempts() == 0)
            starts.push_back(w.tick());
    }
    QCOMPARE(starts.size(), size_t{20});
    QVERIFY(starts.front() > starts.back()); // the counter wrapped in between
    for (size_t i = 1; i < starts.size(); ++i)
        QCOMPARE(static_cast<std::uint32_t>(starts[i] - starts[i - 1]), 10'000u);
    QCOMPARE(w.loads.size(), size_t{20});
}

void TestScanScheduler::intervalRaisedMidWait()
{
    Window w;
    w.interval = 10;
    w.start();
    w.run(5000);
    w.interval = 1000;
    w.run(1000 + 999'999);
    QCOMPARE(w.loads.size(), size_t{1});
    w.run(1000 + 1'000'000 + 300);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 1'001'300}));

    // Lowered below the time already waited: the next tick starts a scan.
    w.interval = 20;
    w.run(1'001'000 + 15'500);
    QCOMPARE(w.loads.size(), size_t{2});
    w.interval = 10;
    w.run(1'001'000 + 16'000);
    QCOMPARE(w.scheduler.LastScanTick(), static_cast<std::uint32_t>(Window::Boot + 1'017'000));
}

void TestScanScheduler::cadenceTickDoesNotRestartRetryRhythm()
{
    Window w;
    w.interval = 10;
    w.fileAt = [](Ms) {
        return with(SnapshotOutcome::Missing);
    };
    w.start();
    w.run(30'000);
    // Three scans started while the retry timer ran; it was started once and kept its phase:
    // after the scan at 21 s the ticks fall at 21.1 s ... 29.8 s, not 21.3 s ... 29.7 s.
    QCOMPARE(w.retryStarts, 1);
    QCOMPARE(w.scheduler.LastScanTick(), static_cast<std::uint32_t>(Window::Boot + 21'000));
    QCOMPARE(w.scheduler.OpenAttempts(), 30);
    QCOMPARE(w.clears.size(), size_t{(30'000 - 1000) / 300});
}

void TestScanScheduler::emptyFile()
{
    Window w;
    w.fileAt = [](Ms) {
        return present(QByteArray());
    };
    w.start();
    w.run(1300);
    QCOMPARE(w.loadSizes, std::vector<std::int32_t>{0});
    QVERIFY(w.snapshot.hasSnapshot());
    QVERIFY(w.errors.empty());
}

void TestScanScheduler::largeFileGrowsBufferOnce()
{
    Window w;
    QByteArray big(15'000'000, '\0');
    for (qsizetype i = 0; i < big.size(); i += 4096)
        big[i] = static_cast<char>(i / 4096);
    w.fileAt = [&big](Ms) {
        return present(big);
    };
    w.start();
    QCOMPARE(w.snapshot.capacity(), 10'000'004);
    w.run(1300);
    QCOMPARE(w.loadSizes, std::vector<std::int32_t>{15'000'000});
    QCOMPARE(w.snapshot.allocations(), 2);
    const std::int64_t grown = w.snapshot.capacity();
    QVERIFY(grown >= 15'000'000);
    QVERIFY(w.snapshot.bytes() == big);
    w.run(100'000);
    QCOMPARE(w.loads.size(), size_t{5});
    QCOMPARE(w.snapshot.allocations(), 2);
    QCOMPARE(w.snapshot.capacity(), grown);

    // A smaller file later leaves the buffer as large as it is.
    w.fileAt = [](Ms) {
        return present(QByteArrayLiteral("small"));
    };
    w.run(120'000);
    QCOMPARE(w.snapshot.capacity(), grown);
    QCOMPARE(w.snapshot.bytes(), QByteArrayView("small"));
}

void TestScanScheduler::fileAboveLimitReportedOncePerScan()
{
    Window w;
    w.fileAt = [](Ms) {
        ScriptedFile file = present();
        file.size = 300'000'000;
        return file;
    };
    w.start();
    w.run(20'999);
    const QString expected =
        QStringLiteral("The workbook is 300000000 bytes; the viewer reads at most 268435456 bytes");
    QCOMPARE(w.errors, std::vector<QString>{expected});
    QCOMPARE(w.source.taken, 1);
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.loads.empty());
    w.run(40'999);
    QCOMPARE(w.errors.size(), size_t{2});
    QCOMPARE(w.source.taken, 2);
    QCOMPARE(w.snapshot.allocations(), 1);
    QCOMPARE(w.snapshot.capacity(), 10'000'004);
}

void TestScanScheduler::failureAfterOpenReportedOnceAtGiveUp()
{
    Window w;
    w.fileAt = [](Ms) {
        return with(SnapshotOutcome::Failed, 5);
    };
    w.start();
    w.run(1000 + 29 * 300);
    QVERIFY(w.errors.empty());
    QVERIFY(w.retryEnabled);
    w.run(20'999);
    QCOMPARE(w.errors, std::vector<QString>{QStringLiteral("File access denied")});
    QCOMPARE(w.scheduler.OpenAttempts(), 30);
    QVERIFY(!w.retryEnabled);
    // Failure, then locked to the end: the failure is still what the scan reports, once.
    w.fileAt = [](Ms t) {
        return t - Window::Boot < 21'400 ? with(SnapshotOutcome::Failed, 5)
                                         : with(SnapshotOutcome::Refused);
    };
    w.run(40'999);
    QCOMPARE(w.errors.size(), size_t{2});
    // Reported as errors, not as a busy file.
    QVERIFY(w.gaveUp.empty());
}

void TestScanScheduler::failureAfterOpenThenSuccessIsSilent()
{
    Window w;
    w.fileAt = [](Ms t) {
        return t - Window::Boot < 2000 ? with(SnapshotOutcome::Failed, InOutError::ReadBeyondEnd)
                                       : present();
    };
    w.start();
    w.run(20'999);
    QCOMPARE(w.loads, std::vector<Ms>{2200});
    QVERIFY(w.errors.empty());
}

void TestScanScheduler::tornSnapshotRetriedSilently()
{
    Window w;
    int torn = 2;
    w.duringLoad = [&torn] {
        if (torn-- > 0)
            throw TornSnapshot();
    };
    w.start();
    w.run(20'999);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 1600, 1900}));
    QCOMPARE(w.scheduler.OpenAttempts(), 3);
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.errors.empty());
    QVERIFY(!w.scheduler.importing());
}

void TestScanScheduler::tornSnapshotAtLastAttemptGivesUp()
{
    Window w;
    w.fileAt = [](Ms t) {
        return t - Window::Boot < 1000 + 30 * 300 ? with(SnapshotOutcome::Refused) : present();
    };
    w.duringLoad = [] {
        throw TornSnapshot();
    };
    w.start();
    w.run(20'999);
    QCOMPARE(w.loads, std::vector<Ms>{1000 + 30 * 300});
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.errors.empty());
    QCOMPARE(w.gaveUp, std::vector<Ms>{1000 + 30 * 300});
}

void TestScanScheduler::importErrorPropagatesOnce()
{
    Window w;
    w.duringLoad = [&w] {
        QVERIFY(!w.retryEnabled);
        throw InOutError(InOutError::DiskFull);
    };
    w.start();
    w.run(20'999);
    QCOMPARE(w.errors, std::vector<QString>{QStringLiteral("Disk full")});
    QCOMPARE(w.loads.size(), size_t{1});
    QVERIFY(!w.scheduler.importing());
    w.duringLoad = nullptr;
    w.run(21'300);
    QCOMPARE(w.loads.size(), size_t{2});
}

void TestScanScheduler::noSecondImportWhileImporting()
{
    Window w;
    w.interval = 10;
    int nested = 0;
    // The import spins an event loop for a long time: ticks of both timers arrive inside it.
    w.duringLoad = [&] {
        if (nested++ > 0)
            return;
        const int takes = w.source.taken;
        QVERIFY(w.scheduler.importing());
        w.retryTick();
        w.retryTick();
        QCOMPARE(w.source.taken, takes);
        QCOMPARE(w.loads.size(), size_t{1});
        QVERIFY(w.clears.empty());
        // A cadence tick past the interval starts the next scan meanwhile.
        w.now += 15'000;
        w.scheduler.cadenceTick(w.tick(), w.interval);
        QVERIFY(w.retryEnabled);
        w.retryTick();
        QCOMPARE(w.source.taken, takes);
    };
    w.start();
    w.run(1300);
    QCOMPARE(w.loads.size(), size_t{1});
    QVERIFY(w.retryEnabled);
    QCOMPARE(w.scheduler.OpenAttempts(), 0);
    // The next scan's snapshot is taken once the import has ended.
    w.run(16'600);
    QCOMPARE(w.loads.size(), size_t{2});
    QCOMPARE(w.scheduler.OpenAttempts(), 1);
}

// An import on a thread of its own that outlasts the interval: the next scan starts on time,
// but its snapshot waits for the import to end, and nothing else happens meanwhile.
void TestScanScheduler::backgroundImportHoldsTheNextScan()
{
    Window w;
    w.interval = 10;
    w.background = true;
    w.start();
    w.run(1300);
    QCOMPARE(w.loads, std::vector<Ms>{1300});
    QVERIFY(w.scheduler.importing());
    QVERIFY(!w.retryEnabled);

    w.fileAt = [](Ms) {
        return with(SnapshotOutcome::Missing);
    };
    w.run(12'000);
    QCOMPARE(w.scheduler.LastScanTick(), static_cast<std::uint32_t>(Window::Boot + 11'000));
    QVERIFY(w.retryEnabled);
    QCOMPARE(w.source.taken, 1);
    QCOMPARE(w.scheduler.OpenAttempts(), 0);
    QVERIFY(w.clears.empty());

    w.fileAt = [](Ms) {
        return present();
    };
    w.endImport({});
    QVERIFY(!w.scheduler.importing());
    w.run(12'199);
    QCOMPARE(w.loads.size(), size_t{1});
    w.run(12'200);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 12'200}));
    QCOMPARE(w.scheduler.OpenAttempts(), 1);
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.errors.empty());
}

// What the end of a background import brings: a torn snapshot is tried again, an error is
// raised once, a called-off import ends without a word, and an end without an import is none.
void TestScanScheduler::backgroundImportEnds()
{
    Window w;
    w.background = true;
    w.start();
    w.run(1300);
    w.endImport(std::make_exception_ptr(TornSnapshot()));
    QVERIFY(w.retryEnabled);
    w.run(1600);
    QCOMPARE(w.loads, (std::vector<Ms>{1300, 1600}));
    QCOMPARE(w.scheduler.OpenAttempts(), 2);

    w.endImport(std::make_exception_ptr(InOutError(InOutError::DiskFull)));
    QCOMPARE(w.errors, std::vector<QString>{QStringLiteral("Disk full")});
    QVERIFY(!w.retryEnabled);
    QVERIFY(!w.scheduler.importing());
    w.endImport(std::make_exception_ptr(InOutError(InOutError::DiskFull)));
    QCOMPARE(w.errors.size(), size_t{1});

    w.run(21'300);
    QCOMPARE(w.loads.size(), size_t{3});
    w.endImport(std::make_exception_ptr(ReadCancelled()));
    QVERIFY(!w.scheduler.importing());
    QVERIFY(!w.retryEnabled);
    QCOMPARE(w.errors.size(), size_t{1});
    w.run(41'300);
    QCOMPARE(w.loads.size(), size_t{4});
}

// A snapshot taken on a thread of its own: while the attempt is under way no tick attempts
// anything, its result is handled like a tick's own, and an end without an attempt is none.
void TestScanScheduler::backgroundAttemptHoldsTicks()
{
    Window w;
    w.background = true;
    w.start();
    w.run(1000);
    QVERIFY(w.retryEnabled);
    QVERIFY(w.scheduler.beginAttempt());
    QVERIFY(w.scheduler.attempting());
    QVERIFY(!w.scheduler.beginAttempt());
    w.retryTick();
    QCOMPARE(w.scheduler.OpenAttempts(), 1);
    QCOMPARE(w.source.taken, 0);

    w.scheduler.attemptEnded(SnapshotResult::of(SnapshotOutcome::Missing));
    QCOMPARE(w.clears.size(), size_t{1});
    w.scheduler.attemptEnded(SnapshotResult::of(SnapshotOutcome::Missing));
    QCOMPARE(w.clears.size(), size_t{1});
    QVERIFY(w.retryEnabled);

    QVERIFY(w.scheduler.beginAttempt());
    w.scheduler.attemptEnded(SnapshotResult::of(SnapshotOutcome::Taken, 8));
    QCOMPARE(w.loads.size(), size_t{1});
    QVERIFY(!w.retryEnabled);
    QVERIFY(w.scheduler.importing());
    QVERIFY(!w.scheduler.beginAttempt());
    QCOMPARE(w.scheduler.OpenAttempts(), 2);

    // The window closes: nothing it stopped is waited for any more.
    w.scheduler.callOff();
    QVERIFY(!w.scheduler.importing());
    QVERIFY(w.scheduler.beginAttempt());
    w.scheduler.callOff();
    QVERIFY(!w.scheduler.attempting());
    QVERIFY(w.errors.empty());
}

QTEST_GUILESS_MAIN(TestScanScheduler)
#include "tst_scanscheduler.moc"
