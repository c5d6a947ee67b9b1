#include "app/core/RefreshStatus.h"

namespace {

QString clockText(QTime time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

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
    }
    if (!m_refreshedAt.isValid()) {
        if (!problem.isEmpty())
            problem[0] = problem[0].toUpper();
        return problem;
    }
    const QString refreshed = QStringLiteral("Обновлено ") + clockText(m_refreshedAt);
    return problem.isEmpty() ? refreshed : refreshed + QStringLiteral(" · ") + problem;
}
