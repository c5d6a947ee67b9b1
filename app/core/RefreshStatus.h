#pragma once

#include <QString>
#include <QTime>

// What the tool strip says about the table's freshness: when the last refresh succeeded, and
// whether the scans since then gave up on a file another program held or found no file at
// all, with the time. The window reports each outcome with the time of day it happened at.
class RefreshStatus
{
public:
    // The table was refreshed from the file.
    void refreshed(QTime at);
    // A scan gave up: the file stayed locked or kept changing for all its attempts.
    void fileBusy(QTime at);
    // A scan found no file. Reported at every attempt while the file stays missing; the time
    // shown is that of the first.
    void fileMissing(QTime at);

    // Empty before anything happened, e.g. "Обновлено 12:03:05",
    // "Обновлено 12:03:05 · файл занят в 12:04:15", "Файл не найден с 12:04:15".
    QString text() const;

private:
    enum class Problem { None, Busy, Missing };

    QTime m_refreshedAt; // invalid until the first refresh
    Problem m_problem = Problem::None;
    QTime m_problemAt;
};
