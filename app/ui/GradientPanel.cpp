#include "app/ui/GradientPanel.h"

#include "app/core/Gradient.h"

#include <QPaintEvent>
#include <QPainter>

GradientPanel::GradientPanel(std::uint32_t startColor, std::uint32_t endColor, QWidget *parent)
    : QWidget(parent)
    , m_startColor(startColor)
    , m_endColor(endColor)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    for (const GradientBand &band : gradientBands(height(), m_startColor, m_endColor)) {
        if (band.bottom <= dirty.top() || band.top > dirty.bottom())
            continue;
        painter.fillRect(QRect(0, band.top, width(), band.bottom - band.top), QColor(band.color));
    }
}
