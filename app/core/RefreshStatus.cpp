#include "app/core/RefreshStatus.h"

#include "util/ReportText.h"

namespace {

QString clockText(QTime time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

RefreshStatus::RefreshStatus(QString watchedFile)
    : m_watchedFile(std::move(watchedFile))
{
}

void RefreshStatus::refreshed(QTime at)
{
    m_refreshedAt = at;
    m_problem = Problem::None;
}

void RefreshStatus::fileBusy(QTime at)
{
    m_problem = Problem::Busy;
    m_problemAt = at;
}

void RefreshStatus::fileMissing(QTime at)
{
    if (m_problem == Problem::Missing)
        return;
    m_problem = Problem::Missing;
    m_problemAt = at;
}

void RefreshStatus::failed(QTime at, const QString &message)
{
    m_problem = Problem::Failed;
    m_problemAt = at;
    m_lastError = reportText(message);
    m_lastErrorAt = at;
}

QString RefreshStatus::text() const
{
    QString problem;
    switch (m_problem) {
    case Problem::None:
        break;
    case Problem::Busy:
        problem = QStringLiteral("файл занят в ") + clockText(m_problemAt);
        break;
    case Problem::Missing:
        problem = QStringLiteral("файл не найден с ") + clockText(m_problemAt);
        break;
    case Problem::Failed:
        problem = QStringLiteral("ошибка в ") + clockText(m_problemAt);
        break;
    }
    if (!m_refreshedAt.isValid()) {
        if (!problem.isEmpty())
            problem[0] = problem[0].toUpper();
        return problem;
    }
    const QString refreshed = QStringLiteral("Обновлено ") + clockText(m_refreshedAt);
    return problem.isEmpty() ? refreshed : refreshed + QStringLiteral(" · ") + problem;
}

QString RefreshStatus::toolTip() const
{
    QString tip = m_watchedFile;
    if (m_lastErrorAt.isValid())
        tip += QStringLiteral("\nОшибка в ") + clockText(m_lastErrorAt) + QStringLiteral(": ") +
               m_lastError;
    return tip;
}
