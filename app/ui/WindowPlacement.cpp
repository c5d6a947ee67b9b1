#include "app/ui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <utility>

namespace {

bool meets(const QPoint &topLeft, const QSize &size, const QRect &area)
{
    // In 64 bits: a stored left near the 32-bit limit plus a width must not overflow.
    const std::int64_t right = std::int64_t(topLeft.x()) + size.width();
    const std::int64_t bottom = std::int64_t(topLeft.y()) + size.height();
    const std::int64_t areaRight = std::int64_t(area.x()) + area.width();
    const std::int64_t areaBottom = std::int64_t(area.y()) + area.height();
    return !area.isEmpty() && topLeft.x() < areaRight && area.x() < right &&
           topLeft.y() < areaBottom && area.y() < bottom;
}

} // namespace

WindowPlacement::WindowPlacement(QWidget &window)
    : m_window(window)
{
    m_window.installEventFilter(this);
    remember();
}

WindowPlacement::Frame WindowPlacement::placed(const WindowSettings &settings,
                                               const QList<QRect> &screens,
                                               const QList<QRect> &availableAreas)
{
    QRect desktop;
    for (const QRect &screen : screens)
        desktop |= screen;
    const QSize largest =
        desktop.isEmpty() ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : desktop.size();
    Frame frame{{settings.Left, settings.Top},
                {std::clamp(settings.Width, 1, largest.width()),
                 std::clamp(settings.Height, 1, largest.height())}};
    const bool visible =
        std::any_of(availableAreas.begin(), availableAreas.end(),
                    [&](const QRect &area) { return meets(frame.topLeft, frame.size, area); });
    if (!visible) {
        const WindowSettings layout;
        frame.topLeft = {layout.Left, layout.Top};
    }
    return frame;
}

void WindowPlacement::readInto(WindowSettings &settings) const
{
    const Qt::WindowStates states = m_window.windowState();
    bool maximized = states.testFlag(Qt::WindowMaximized);
    QRect frame = m_window.frameGeometry();
    if (states.testFlag(Qt::WindowMinimized) && m_remembered) {
        maximized = m_rememberedMaximized;
        frame = m_rememberedFrame;
    }
    settings.Left = frame.x();
    settings.Top = frame.y();
    settings.Height = frame.height();
    settings.Width = frame.width();
    settings.WindowState = maximized ? WindowSettings::Maximized : WindowSettings::Normal;
}

void WindowPlacement::apply(const WindowSettings &settings)
{
    // move() places the frame; resize() sizes the client area, which equals the outer size
    // as long as the window has no frame, that is until a window manager has mapped it.
    QList<QRect> screens;
    QList<QRect> availableAreas;
    const QList<QScreen *> all = QGuiApplication::screens();
    for (const QScreen *screen : all) {
        screens.append(screen->geometry());
        availableAreas.append(screen->availableGeometry());
    }
    const Frame frame = placed(settings, screens, availableAreas);
    m_window.move(frame.topLeft);
    m_window.resize(frame.size);
    m_pendingOuterSize = frame.size;
    correctOuterSize();

    Qt::WindowStates states = m_window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (settings.WindowState == WindowSettings::Maximized)
        states |= Qt::WindowMaximized;
    else if (settings.WindowState == WindowSettings::Minimized)
        states |= Qt::WindowMinimized;
    m_window.setWindowState(states);
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            correctOuterSize();
            remember();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::remember()
{
    const Qt::WindowStates states = m_window.windowState();
    if (!m_window.isVisible() || states.testFlag(Qt::WindowMinimized))
        return;
    m_remembered = true;
    m_rememberedMaximized = states.testFlag(Qt::WindowMaximized);
    m_rememberedFrame = m_window.frameGeometry();
}

void WindowPlacement::correctOuterSize()
{
    // The stored size is the normal one: a window opened maximised gets it when restored.
    if (!m_pendingOuterSize || (m_window.windowState() &
                                (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QSize margins = m_window.frameGeometry().size() - m_window.size();
    if (margins.isNull())
        return;
    // Once: the frame is known now, and later sizes are the user's.
    m_window.resize(*std::exchange(m_pendingOuterSize, std::nullopt) - margins);
}
