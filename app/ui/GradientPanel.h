#pragma once

#include <QWidget>
#include <cstdint>

// A panel that paints a vertical gradient in bands over its whole height, behind its children.
class GradientPanel : public QWidget
{
    Q_OBJECT

public:
    GradientPanel(std::uint32_t startColor, std::uint32_t endColor, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::uint32_t m_startColor;
    std::uint32_t m_endColor;
};
