#include "app/ui/NoticeDialog.h"

#include "platform/ExecutablePath.h"
#include "util/ReportText.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {

// Keeps a window's outer frame centred on the primary screen: placed before it is shown, from
// its own size, and once more when a window manager has put a frame around it. Qt's own
// placement of a dialog without a parent guesses the frame and misses the centre by that guess.
class CentreOnScreen : public QObject
{
public:
    explicit CentreOnScreen(QWidget &window)
        : m_window(window)
    {
        m_window.adjustSize();
        centre();
        m_window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && !m_framed &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
            m_window.frameGeometry().size() != m_window.size()) {
            m_framed = true;
            centre();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void centre()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QSize outer = m_window.frameGeometry().size();
        // move() places the frame.
        m_window.move(screen->availableGeometry().center() -
                      QPoint((outer.width() - 1) / 2, (outer.height() - 1) / 2));
    }

    QWidget &m_window;
    bool m_framed = false;
};

} // namespace

void showNotice(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(executablePath()), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    const CentreOnScreen centring(box);
    box.exec();
}
