#include "app/core/ScanScheduler.h"

#include "app/core/TornSnapshot.h"
#include "util/InOutError.h"

#include <limits>

namespace {

std::uint32_t intervalMs(int intervalSeconds)
{
    return static_cast<std::uint32_t>(intervalSeconds) * 1000u;
}

// Set for the duration of an import.
class ImportGuard
{
public:
    explicit ImportGuard(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~ImportGuard() { m_flag = false; }
    ImportGuard(const ImportGuard &) = delete;
    ImportGuard &operator=(const ImportGuard &) = delete;

private:
    bool &m_flag;
};

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
    if (m_importing)
        return;
    if (m_openAttempts < std::numeric_limits<std::int32_t>::max())
        ++m_openAttempts;

    const SnapshotResult result = m_source.take(resultFileName, m_snapshot);
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
    try {
        const ImportGuard guard(m_importing);
        m_host.LoadResults();
    } catch (const TornSnapshot &) {
        // The attempt that took this snapshot has been counted already.
        if (m_openAttempts < MaxOpenAttempts)
            setRetryTimer(true);
        else
            attemptFailed();
    }
}

void ScanScheduler::attemptFailed()
{
    if (m_openAttempts < MaxOpenAttempts)
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
