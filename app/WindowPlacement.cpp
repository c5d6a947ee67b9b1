#include "app/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <utility>

namespace {

bool Meets(const WindowSettings &settings, const QRect &area)
{
    // In 64 bits: a stored left near the 32-bit limit plus a width must not overflow. An empty
    // or negative size still occupies the pixel at its corner.
    const std::int64_t left = settings.Left;
    const std::int64_t top = settings.Top;
    const std::int64_t right = left + std::max<std::int64_t>(settings.Width, 1);
    const std::int64_t bottom = top + std::max<std::int64_t>(settings.Height, 1);
    const std::int64_t areaRight = std::int64_t(area.x()) + area.width();
    const std::int64_t areaBottom = std::int64_t(area.y()) + area.height();
    return !area.isEmpty() && left < areaRight && area.x() < right && top < areaBottom &&
           area.y() < bottom;
}

QList<QRect> AvailableAreas()
{
    QList<QRect> areas;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        areas.append(screen->availableGeometry());
    return areas;
}

} // namespace

WindowPlacement::WindowPlacement(QWidget &window)
    : m_window(window)
{
    m_window.installEventFilter(this);
    remember();
}

QPoint WindowPlacement::PlacedTopLeft(const WindowSettings &settings,
                                      const QList<QRect> &availableAreas)
{
    for (const QRect &area : availableAreas) {
        if (Meets(settings, area))
            return {settings.Left, settings.Top};
    }
    const WindowSettings layout;
    return {layout.Left, layout.Top};
}

void WindowPlacement::ReadInto(WindowSettings &settings) const
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

void WindowPlacement::Apply(const WindowSettings &settings)
{
    // move() places the frame; resize() sizes the client area, which equals the outer size
    // as long as the window has no frame, that is until a window manager has mapped it.
    m_window.move(PlacedTopLeft(settings, AvailableAreas()));
    const QSize outer(settings.Width, settings.Height);
    m_window.resize(outer);
    m_pendingOuterSize = outer;
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
