#include "tools/HeadlessScan.h"

#include "app/core/ImportTarget.h"
#include "app/core/ResultImport.h"
#include "app/core/ScanScheduler.h"
#include "app/core/ScanTiming.h"
#include "app/core/TornSnapshot.h"

namespace {

// Any valid interval: the scan is started by hand and only one is run.
constexpr int IntervalSeconds = ScanTiming::MinIntervalSeconds;

} // namespace

HeadlessScan::HeadlessScan(SnapshotSource &source, QString tempPath, Pause pause, Clock clock)
    : m_source(source)
    , m_tempPath(std::move(tempPath))
    , m_pause(std::move(pause))
    , m_clock(std::move(clock))
{
}

HeadlessScan::Outcome HeadlessScan::run(const QString &workbook, ImportTarget &table,
                                        std::chrono::milliseconds retry)
{
    m_workbook = workbook;
    m_table = &table;
    m_missing = false;
    m_imported = false;
    m_torn = 0;
    ScanScheduler scheduler(*this, m_source, m_snapshot);
    scheduler.startCadence(0, IntervalSeconds);
    scheduler.cadenceTick(0, IntervalSeconds);
    for (bool first = true; scheduler.retryTimerEnabled(); first = false) {
        if (!first)
            m_pause(retry);
        m_attempts = scheduler.OpenAttempts() + 1;
        scheduler.retryTick(workbook);
        if (m_missing)
            return Outcome::Missing;
    }
    return m_imported ? Outcome::Imported : Outcome::GaveUp;
}

void HeadlessScan::ClearGrid()
{
    m_missing = true;
    m_table->ClearGrid();
}

void HeadlessScan::LoadResults()
{
    try {
        importSnapshot(m_snapshot, m_workbook, m_tempPath, *m_table, m_clock(), nullptr,
                       m_copySeen);
        m_imported = true;
    } catch (const TornSnapshot &) {
        ++m_torn;
        throw;
    }
}
