#pragma once

#include <QString>
#include <QTime>

// What the tool strip says about the table's freshness: when the last refresh succeeded, and
// what the scans since then met (a file another program held, no file at all, or an error),
// with the time; and, for its tooltip, which file is watched and the last error's message.
// The window reports each outcome with the time of day it happened at.
class RefreshStatus
{
public:
    explicit RefreshStatus(QString watchedFile = {});

    // The table was refreshed from the file.
    void refreshed(QTime at);
    // A scan gave up: the file stayed locked or kept changing for all its attempts.
    void fileBusy(QTime at);
    // A scan found no file. Reported at every attempt while the file stays missing; the time
    // shown is that of the first.
    void fileMissing(QTime at);
    // A scan ended in an error, which the error report shows with `message`.
    void failed(QTime at, const QString &message);

    // Empty before anything happened, e.g. "Обновлено 12:03:05",
    // "Обновлено 12:03:05 · файл занят в 12:04:15", "Файл не найден с 12:04:15",
    // "Обновлено 12:03:05 · ошибка в 12:04:15".
    QString text() const;
    // The watched file's full path, and under it the last error with its time, kept after
    // later refreshes so that a passing error can still be read.
    QString toolTip() const;

private:
    enum class Problem { None, Busy, Missing, Failed };

    QString m_watchedFile;
    QTime m_refreshedAt; // invalid until the first refresh
    Problem m_problem = Problem::None;
    QTime m_problemAt;
    QString m_lastError;
    QTime m_lastErrorAt;
};
