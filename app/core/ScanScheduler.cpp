#include "app/core/ScanScheduler.h"

#include "app/core/TornSnapshot.h"
#include "sheet/model/ReadControl.h"
#include "util/InOutError.h"

#include <limits>
#include <utility>

namespace {

std::uint32_t intervalMs(int intervalSeconds)
{
    return static_cast<std::uint32_t>(intervalSeconds) * 1000u;
}

} // namespace

ScanScheduler::ScanScheduler(ScanHost &host, SnapshotSource &source, SnapshotBuffer &snapshot)
    : m_host(host)
    , m_source(source)
    , m_snapshot(snapshot)
{
}

void ScanScheduler::startCadence(std::uint32_t now, int intervalSeconds)
{
    m_lastScanTick = now - intervalMs(intervalSeconds);
}

void ScanScheduler::cadenceTick(std::uint32_t now, int intervalSeconds)
{
    // Unsigned difference: right across the wrap of the tick counter.
    if (now - m_lastScanTick < intervalMs(intervalSeconds))
        return;
    m_lastScanTick = now;
    m_openAttempts = 0;
    m_scanError.reset();
    setRetryTimer(true);
}

void ScanScheduler::retryTick(const QString &resultFileName)
{
    if (beginAttempt())
        attemptEnded(m_source.take(resultFileName, m_snapshot));
}

bool ScanScheduler::beginAttempt()
{
    if (m_importing || m_attempting)
        return false;
    if (m_openAttempts < std::numeric_limits<std::int32_t>::max())
        ++m_openAttempts;
    m_attempting = true;
    return true;
}

void ScanScheduler::callOff()
{
    m_attempting = false;
    m_importing = false;
}

void ScanScheduler::attemptEnded(const SnapshotResult &result)
{
    if (!std::exchange(m_attempting, false))
        return;
    switch (result.outcome) {
    case SnapshotOutcome::Missing:
        // No attempt limit while the file is missing.
        m_host.ClearGrid();
        return;
    case SnapshotOutcome::Refused:
    case SnapshotOutcome::Torn:
        attemptFailed();
        return;
    case SnapshotOutcome::Failed:
        m_scanError = result.errorCode;
        attemptFailed();
        return;
    case SnapshotOutcome::TooLarge:
        // Retrying cannot help; the next scan looks again.
        setRetryTimer(false);
        throw ViewerError(
            QStringLiteral("The workbook is %1 bytes; the viewer reads at most %2 bytes")
                .arg(result.fileSize)
                .arg(m_snapshot.limit()));
    case SnapshotOutcome::Taken:
        setRetryTimer(false);
        runImport();
        return;
    }
}

void ScanScheduler::runImport()
{
    m_importing = true;
    try {
        m_host.LoadResults();
    } catch (...) {
        importEnded(std::current_exception());
        return;
    }
    if (!m_host.importUnderWay())
        importEnded({});
}

void ScanScheduler::importEnded(std::exception_ptr error)
{
    if (!std::exchange(m_importing, false) || !error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const TornSnapshot &) {
        // The attempt that took this snapshot has been counted already.
        if (m_openAttempts < ScanTiming::MaxOpenAttempts)
            setRetryTimer(true);
        else
            attemptFailed();
    } catch (const ReadCancelled &) {
        // Called off by the window, which is closing: nothing to report.
    }
}

void ScanScheduler::attemptFailed()
{
    if (m_openAttempts < ScanTiming::MaxOpenAttempts)
        return;
    setRetryTimer(false);
    if (const std::optional<int> error = std::exchange(m_scanError, std::nullopt))
        throw InOutError(*error);
    m_host.scanGaveUp();
}

void ScanScheduler::setRetryTimer(bool enabled)
{
    if (m_retryEnabled == enabled)
        return;
    m_retryEnabled = enabled;
    m_host.setRetryTimerEnabled(enabled);
}
