#pragma once

#include "app/core/ScanHost.h"
#include "app/core/ScanTiming.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/SnapshotSource.h"

#include <QString>
#include <cstdint>
#include <exception>
#include <optional>

// Decides when the watched workbook is read and takes its snapshot. It knows no timers: the
// window calls cadenceTick every ScanTiming::CadenceTickMs while TimerScan is enabled and retryTick
// every ScanTiming::RetryTickMs
// while the scheduler wants the retry timer (TimerScanOpenFile), and passes the tick count, the
// interval from SpinUpdate and the file name at every call. Stopping (disabling TimerScan) is
// the window's business alone: a scan already under way runs on.
//
// Errors leave retryTick as exceptions: an import error from LoadResults, a file
// above the size limit (once per scan), and an I/O error that followed a successful open,
// reported once when the scan gives up. An import that goes on in the background reports its
// error through importEnded instead, which raises it the same way.
//
// Re-entrancy: while an import is under way (LoadResults runs and may spin an event loop, or
// the import goes on in the background), a retry tick does nothing at all, so no second import
// can start and the snapshot under the import is never overwritten; a cadence tick may still
// start the next scan on time, whose retry ticks then wait for the import to end: the scan's
// snapshot is taken at the first retry tick after it.
class ScanScheduler
{
public:
    ScanScheduler(ScanHost &host, SnapshotSource &source, SnapshotBuffer &snapshot);
    ScanScheduler(const ScanScheduler &) = delete;
    ScanScheduler &operator=(const ScanScheduler &) = delete;

    // Called once at start-up, before TimerScan is enabled: puts the last scan start one
    // whole interval in the past, so the first TimerScan tick starts a scan.
    void startCadence(std::uint32_t now, int intervalSeconds);
    // Starts a scan when the interval has passed since the last one started: the next retry
    // ticks try to take the snapshot.
    void cadenceTick(std::uint32_t now, int intervalSeconds);
    // One attempt at the snapshot of `resultFileName`, imported when taken.
    void retryTick(const QString &resultFileName);
    // The retry tick in two halves, for a window that copies the file on a thread of its own
    // (a big file takes a while to read). beginAttempt counts the attempt and says whether to
    // take the snapshot now: not while an import or another attempt is under way. attemptEnded
    // takes what the snapshot that beginAttempt allowed came to, as retryTick does.
    bool beginAttempt();
    void attemptEnded(const SnapshotResult &result);
    // The window is closing and has stopped what ran in the background: no attempt or import
    // is under way any more, and none ends.
    void callOff();
    // The end of an import that went on after LoadResults returned, with what it raised: a
    // torn snapshot is tried again as at the end of LoadResults, ReadCancelled (the import was
    // called off) ends it quietly, and any other error is raised. Ignored while no import is
    // under way.
    void importEnded(std::exception_ptr error);

    std::uint32_t LastScanTick() const noexcept { return m_lastScanTick; }
    std::int32_t OpenAttempts() const noexcept { return m_openAttempts; }
    // Whether TimerScanOpenFile should be running, as last told to the host.
    bool retryTimerEnabled() const noexcept { return m_retryEnabled; }
    bool importing() const noexcept { return m_importing; }
    bool attempting() const noexcept { return m_attempting; }

private:
    void setRetryTimer(bool enabled);
    // A failed attempt: try again on the next tick, or give up after the last one allowed.
    void attemptFailed();
    void runImport();

    ScanHost &m_host;
    SnapshotSource &m_source;
    SnapshotBuffer &m_snapshot;
    std::uint32_t m_lastScanTick = 0;
    std::int32_t m_openAttempts = 0;
    bool m_retryEnabled = false;
    bool m_importing = false;
    bool m_attempting = false;
    // The I/O error of this scan's latest failed copy, reported if the scan gives up.
    std::optional<int> m_scanError;
};
