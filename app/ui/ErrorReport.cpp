#include "app/ui/ErrorReport.h"

#include "util/ReportText.h"
#include "util/ViewerError.h"

#include <QMessageBox>
#include <exception>

ErrorReport::ErrorReport(QString title, Presenter presenter)
    : m_title(std::move(title))
    , m_presenter(presenter ? std::move(presenter) : Presenter(&ErrorReport::ShowMessageBox))
{
}

void ErrorReport::ShowMessageBox(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

bool ErrorReport::IsShowing(const QString &message) const
{
    return m_open.contains(ReportText(message));
}

void ErrorReport::Report(const QString &message)
{
    const QString text = ReportText(message);
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

void ErrorReport::Guard(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const ViewerError &e) {
        Report(e.message());
    } catch (const std::bad_alloc &) {
        Report(QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        Report(QString::fromLocal8Bit(e.what()));
    }
}
