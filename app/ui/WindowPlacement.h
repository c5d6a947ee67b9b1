#pragma once

#include "app/core/WindowSettings.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

// Reads and applies the window's part of the settings (left, top, height, width, state) in the
// terms the settings file uses: the frame's position and the outer size. It watches the window
// so that it can tell, while the window is minimised, the state and frame it had before, and
// so that it can correct the outer size once the window manager has given the window a frame.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    // Watches `window`, a top-level widget, from now on; meant to live as long as the window,
    // as a member of the window's class.
    explicit WindowPlacement(QWidget &window);

    // Fills Left, Top, Height, Width and WindowState of `settings`; the interval is left alone.
    // Normal or Maximized, never Minimized: a minimised window gives the state and frame it had
    // before it was minimised. A maximised one gives its maximised outer rectangle.
    void readInto(WindowSettings &settings) const;

    // Applies Left, Top, Height, Width and WindowState, in that order; meant for before the
    // window is shown. The rectangle goes through placed() first.
    void apply(const WindowSettings &settings);

    struct Frame
    {
        QPoint topLeft;
        QSize size;
        bool operator==(const Frame &) const = default;
    };

    // Where a stored rectangle goes. Width and height are kept within 1 and the extent of all
    // `screens` together: a larger window is of no use, and one of billions of pixels cannot
    // even be painted. Then a rectangle that meets none of `availableAreas` (a monitor that is
    // gone) moves to the window's built-in position, keeping its size; anything partly visible
    // stays as stored. Computed without overflow for any 32-bit values.
    static Frame placed(const WindowSettings &settings, const QList<QRect> &screens,
                        const QList<QRect> &availableAreas);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void remember();
    void correctOuterSize();

    QWidget &m_window;
    // The last state and frame seen while the window was shown and not minimised.
    bool m_remembered = false;
    bool m_rememberedMaximized = false;
    QRect m_rememberedFrame;
    // The outer size apply() asked for, until the frame is known and the size has been fixed.
    std::optional<QSize> m_pendingOuterSize;
};
