#include "app/ui/ErrorReport.h"

#include "util/ReportText.h"
#include "util/ViewerError.h"

#include <QMessageBox>
#include <exception>

ErrorReport::ErrorReport(QString title, Presenter presenter)
    : m_title(std::move(title))
    , m_presenter(presenter ? std::move(presenter) : Presenter(&ErrorReport::showMessageBox))
{
}

void ErrorReport::showMessageBox(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

bool ErrorReport::isShowing(const QString &message) const
{
    return m_open.contains(reportText(message));
}

void ErrorReport::report(const QString &message)
{
    const QString text = reportText(message);
    if (m_open.contains(text))
        return;
    m_open.insert(text);
    // The box runs its own event loop: timers keep ticking behind it and may report again.
    try {
        m_presenter(m_title, text);
    } catch (...) {
        m_open.remove(text);
        throw;
    }
    m_open.remove(text);
}

void ErrorReport::guard(const std::function<void()> &handler,
                        const std::function<void(const QString &)> &noted)
{
    QString message;
    try {
        handler();
        return;
    } catch (const ViewerError &e) {
        message = e.message();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    }
    if (noted)
        noted(message);
    report(message);
}
